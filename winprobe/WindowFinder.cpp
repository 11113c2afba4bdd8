#include "WindowFinder.h"

#include <vector>

bool UseDesktop(const std::wstring& name) {
    // The thread keeps the desktop for the life of the process, so the handle is never closed.
    HDESK desk = OpenDesktopW(name.c_str(), 0, FALSE, GENERIC_ALL);
    return desk && SetThreadDesktop(desk);
}

std::wstring ClassOf(HWND hwnd) {
    wchar_t name[256] = {};
    GetClassNameW(hwnd, name, 256);
    return name;
}

namespace {

// Named callbacks: a lambda does not convert to the 32-bit stdcall callback type.
BOOL CALLBACK CollectWindow(HWND h, LPARAM lp) {
    reinterpret_cast<std::vector<HWND>*>(lp)->push_back(h);
    return TRUE;
}

struct ControlSearch {
    int id;
    HWND found;
};

BOOL CALLBACK MatchControl(HWND h, LPARAM lp) {
    auto* s = reinterpret_cast<ControlSearch*>(lp);
    if (GetDlgCtrlID(h) != s->id) return TRUE;
    s->found = h;
    return FALSE;
}

std::vector<HWND> TopWindows() {
    std::vector<HWND> all;
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&all));
    return all;
}

}  // namespace

HWND FindTopWindow(const std::wstring& className) {
    for (HWND h : TopWindows())
        if (IsWindowVisible(h) && ClassOf(h) == className) return h;
    return nullptr;
}

HWND FindOwnedWindow(HWND owner, const std::wstring& className) {
    for (HWND h : TopWindows())
        if (IsWindowVisible(h) && GetWindow(h, GW_OWNER) == owner && ClassOf(h) == className) return h;
    return nullptr;
}

HWND FindControl(HWND parent, int id) {
    ControlSearch search{id, nullptr};
    EnumChildWindows(parent, MatchControl, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool WaitUntil(double seconds, const std::function<bool()>& done) {
    ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(seconds * 1000);
    for (;;) {
        if (done()) return true;
        if (GetTickCount64() >= end) return false;
        Sleep(100);
    }
}
