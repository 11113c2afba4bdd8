#include "WinText.h"

#include <cwchar>

namespace {

std::wstring SystemMessage(DWORD code) {
    wchar_t* text = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    if (!text) return std::wstring();
    std::wstring message(text);
    LocalFree(text);
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L' '))
        message.pop_back();
    return message;
}

using UnixNameFn = char*(CDECL*)(const wchar_t*);

UnixNameFn WineUnixName() {
    static UnixNameFn fn = reinterpret_cast<UnixNameFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    return fn;
}

using DosNameFn = wchar_t*(CDECL*)(const char*);

DosNameFn WineDosName() {
    static DosNameFn fn = reinterpret_cast<DosNameFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_dos_file_name")));
    return fn;
}

bool SameFolder(const std::wstring& a, const std::wstring& b) {
    BY_HANDLE_FILE_INFORMATION ia, ib;
    auto info = [](const std::wstring& path, BY_HANDLE_FILE_INFORMATION& out) {
        HANDLE h = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (h == INVALID_HANDLE_VALUE) return false;
        bool ok = GetFileInformationByHandle(h, &out) != 0;
        CloseHandle(h);
        return ok;
    };
    return info(a, ia) && info(b, ib) && ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber &&
           ia.nFileIndexHigh == ib.nFileIndexHigh && ia.nFileIndexLow == ib.nFileIndexLow;
}

// Wine names C: through the prefix's link ".../dosdevices/c:"; users know the folder it points at, the
// prefix's drive_c. Taken only when the two are the same folder.
std::wstring ThroughDriveC(const std::wstring& unixPath) {
    const std::wstring link = L"/dosdevices/c:";
    size_t at = unixPath.find(link);
    if (at == std::wstring::npos || (unixPath.size() > at + link.size() && unixPath[at + link.size()] != L'/'))
        return unixPath;
    std::wstring driveC = unixPath.substr(0, at) + L"/drive_c";
    DosNameFn fn = WineDosName();
    wchar_t* dosName = fn ? fn(ToUtf8(driveC).c_str()) : nullptr;
    if (!dosName) return unixPath;
    bool same = SameFolder(dosName, L"C:\\");
    HeapFree(GetProcessHeap(), 0, dosName);
    return same ? driveC + unixPath.substr(at + link.size()) : unixPath;
}

}  // namespace

std::wstring ErrorText(DWORD dwError) {
    std::wstring message = SystemMessage(dwError);
    std::wstring number = L"error " + std::to_wstring(dwError);
    return message.empty() ? number : message + L" (" + number + L")";
}

std::wstring HResultText(HRESULT hr) {
    wchar_t hex[16];
    _snwprintf(hex, 16, L"0x%08lX", static_cast<unsigned long>(hr));
    hex[15] = L'\0';
    std::wstring message = SystemMessage(static_cast<DWORD>(hr));
    return message.empty() ? hex : message + L" (" + hex + L")";
}

bool RunningUnderWine() { return WineUnixName() != nullptr; }

std::wstring LinuxPath(const std::wstring& windowsPath) {
    UnixNameFn fn = WineUnixName();
    if (!fn || windowsPath.empty()) return std::wstring();
    char* unixName = fn(windowsPath.c_str());
    if (!unixName) return std::wstring();
    // Linux file names are bytes; ours are UTF-8.
    std::wstring out = FromUtf8(unixName);
    HeapFree(GetProcessHeap(), 0, unixName);
    return ThroughDriveC(out);
}

std::wstring WindowsPathOfLinux(const std::wstring& linuxPath) {
    DosNameFn fn = WineDosName();
    wchar_t* dosName = fn && !linuxPath.empty() ? fn(ToUtf8(linuxPath).c_str()) : nullptr;
    if (!dosName) return std::wstring();
    std::wstring out(dosName);
    HeapFree(GetProcessHeap(), 0, dosName);
    return out;
}

std::wstring UserPath(const std::wstring& windowsPath) {
    std::wstring unixPath = LinuxPath(windowsPath);
    return unixPath.empty() ? windowsPath : unixPath;
}

std::string ToUtf8(const std::wstring& s) {
    if (s.empty()) return std::string();
    int n = WideCharToMultiByte(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0, nullptr, nullptr);
    std::string out(n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), &out[0], n, nullptr, nullptr);
    return out;
}

std::wstring FromUtf8(const std::string& s) {
    if (s.empty()) return std::wstring();
    int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring out(n, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), &out[0], n);
    return out;
}
