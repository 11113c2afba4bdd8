#include "HostExe.h"

#include <windows.h>

std::wstring GetHostExeFolder() {
    wchar_t szPath[MAX_PATH] = {};
    DWORD n = GetModuleFileNameW(nullptr, szPath, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return std::wstring();
    std::wstring path(szPath, n);
    size_t slash = path.rfind(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}
