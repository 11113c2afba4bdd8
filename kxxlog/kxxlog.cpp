// Stand-in for the suite's log library: each call becomes one timestamped UTF-8 line with its class, appended
// to Log\kxxlog_YYYYMMDD.log below the host executable's folder. A missing folder loses the line silently.
#define KXXLOG_BUILD
#include "kxxlog.h"

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

CRITICAL_SECTION g_cs;

std::wstring LogPath(const SYSTEMTIME& st) {
    wchar_t szExe[MAX_PATH] = {};
    DWORD n = GetModuleFileNameW(nullptr, szExe, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return std::wstring();
    std::wstring path(szExe, n);
    path.erase(path.rfind(L'\\') + 1);
    wchar_t szName[64];
    _snwprintf(szName, 64, L"Log\\kxxlog_%04d%02d%02d.log", st.wYear, st.wMonth, st.wDay);
    szName[63] = L'\0';
    return path + szName;
}

std::string ToUtf8(const std::wstring& s) {
    if (s.empty()) return std::string();
    int n = WideCharToMultiByte(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? n : 0, '\0');
    if (n > 0) WideCharToMultiByte(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), &out[0], n, nullptr, nullptr);
    return out;
}

std::wstring FormatMessageText(const wchar_t* pszFormat, va_list args) {
    if (!pszFormat) return std::wstring();
    va_list probe;
    va_copy(probe, args);
    int needed = _vscwprintf(pszFormat, probe);
    va_end(probe);
    if (needed <= 0) return std::wstring();
    std::vector<wchar_t> buffer(static_cast<size_t>(needed) + 1);
    _vsnwprintf(buffer.data(), buffer.size(), pszFormat, args);
    buffer.back() = L'\0';
    return std::wstring(buffer.data());
}

}  // namespace

void XLogV(LogClass nClass, const wchar_t* pszText, const wchar_t* pszFormat, va_list args) {
    try {
        SYSTEMTIME st;
        GetLocalTime(&st);
        wchar_t szHead[64];
        _snwprintf(szHead, 64, L"%04d-%02d-%02d %02d:%02d:%02d.%03d [%d] ", st.wYear, st.wMonth, st.wDay, st.wHour,
                   st.wMinute, st.wSecond, st.wMilliseconds, static_cast<int>(nClass));
        szHead[63] = L'\0';
        std::wstring line = szHead;
        if (pszText && *pszText) line += std::wstring(pszText) + L" ";
        line += FormatMessageText(pszFormat, args);
        line += L"\r\n";
        std::string bytes = ToUtf8(line);
        std::wstring path = LogPath(st);
        if (path.empty()) return;
        struct Lock {
            Lock() { EnterCriticalSection(&g_cs); }
            ~Lock() { LeaveCriticalSection(&g_cs); }
        } lock;
        HANDLE h = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            DWORD written = 0;
            WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
            CloseHandle(h);
        }
    } catch (...) {
        // The caller is a logger's client: nothing may reach it.
    }
}

// The statically linked C++ runtime keeps an emergency exception pool that nothing frees when the DLL is unloaded.
namespace __gnu_cxx {
void __freeres() noexcept;
}

BOOL WINAPI DllMain(HINSTANCE, DWORD dwReason, LPVOID pReserved) {
    if (dwReason == DLL_PROCESS_ATTACH) InitializeCriticalSection(&g_cs);
    if (dwReason == DLL_PROCESS_DETACH) {
        DeleteCriticalSection(&g_cs);
        if (!pReserved) __gnu_cxx::__freeres();
    }
    return TRUE;
}
