#include "kxtest/HostLayout.h"

#include <windows.h>

#include <ctime>
#include <cwchar>

#include "ScopedHandle.h"

namespace kxtest {

std::wstring ExeFolder() {
    wchar_t szExe[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, szExe, MAX_PATH);
    std::wstring path = szExe;
    return path.substr(0, path.rfind(L'\\') + 1);
}

std::wstring LogFolder() { return ExeFolder() + L"Log\\"; }
std::wstring ConfFolder() { return ExeFolder() + L"conf\\"; }

std::string ReadFileBytes(const std::wstring& path) {
    std::string bytes;
    kx::unique_hfile h(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, 0, nullptr));
    char buffer[65536];
    DWORD got = 0;
    while (h && ReadFile(h.get(), buffer, sizeof(buffer), &got, nullptr) && got > 0) bytes.append(buffer, got);
    return bytes;
}

std::wstring Utf8ToWide(const std::string& s) {
    if (s.empty()) return std::wstring();
    int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring out(n, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), &out[0], n);
    return out;
}

std::string WideToUtf8(const std::wstring& s) {
    if (s.empty()) return std::string();
    int n = WideCharToMultiByte(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0, nullptr, nullptr);
    std::string out(n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), &out[0], n, nullptr, nullptr);
    return out;
}

std::wstring ComponentLogPath() {
    wchar_t szName[64] = {};
    time_t now = time(nullptr);
    wcsftime(szName, 64, L"KxUninst_Log%Y%m%d.log", localtime(&now));
    return LogFolder() + szName;
}

std::vector<std::wstring> ReadLogLines(const std::wstring& path) {
    std::string bytes = ReadFileBytes(path);
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) bytes.erase(0, 3);
    std::wstring text = Utf8ToWide(bytes);
    std::vector<std::wstring> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(L'\n', start);
        if (end == std::wstring::npos) end = text.size();
        std::wstring line = text.substr(start, end - start);
        if (!line.empty() && line.back() == L'\r') line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

size_t ComponentLogLineCount() { return ReadLogLines(ComponentLogPath()).size(); }

std::vector<std::wstring> LogLinesContaining(const std::wstring& needle, size_t from) {
    std::vector<std::wstring> all = ReadLogLines(ComponentLogPath()), hits;
    for (size_t i = from; i < all.size(); ++i)
        if (all[i].find(needle) != std::wstring::npos) hits.push_back(all[i]);
    return hits;
}

void SetDiagConfig(const wchar_t* section, const wchar_t* key, int value) {
    std::wstring path = ExeFolder() + L"Log//KxUnConfig.ini";
    if (!key) {
        DeleteFileW(path.c_str());
        return;
    }
    WritePrivateProfileStringW(section, key, std::to_wstring(value).c_str(), path.c_str());
}

}  // namespace kxtest
