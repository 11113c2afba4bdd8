#include "KxUninstAPI.h"

#include <windows.h>

namespace {
// Filled on first use and never cleared; its first use is on the worker thread.
std::wstring g_strHostFolder;
}

std::wstring GetHostFolder() {
    if (g_strHostFolder.empty()) {
        HMODULE hModule = GetModuleHandleW(L"KxInstUI.dll");
        if (!hModule) hModule = GetModuleHandleW(L"KxVinst.dll");
        wchar_t szPath[MAX_PATH] = {};
        DWORD n = GetModuleFileNameW(hModule, szPath, MAX_PATH);
        if (n == 0 || n >= MAX_PATH) return std::wstring();
        std::wstring path(szPath, n);
        size_t slash = path.rfind(L'\\');
        g_strHostFolder = slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
    }
    return g_strHostFolder;
}

std::wstring GetSoftIniPath() { return GetHostFolder() + L"\\" + L"conf\\soft.ini"; }
