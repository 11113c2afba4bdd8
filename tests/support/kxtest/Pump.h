// This thread's message loop for a while, and a window of it that hears the component's notifications.
#pragma once

#include <windows.h>

#include <functional>
#include <utility>
#include <vector>

namespace kxtest {

// Serves this thread's messages until done() holds or dwMs passed; done()'s last answer.
bool PumpUntil(const std::function<bool()>& done, DWORD dwMs);
inline void PumpFor(DWORD dwMs) { PumpUntil([] { return false; }, dwMs); }

using Notes = std::vector<std::pair<WPARAM, LPARAM>>;

// A message-only window of the calling thread that records every WM_LISTMGR it receives, in order.
class ListenerWindow {
public:
    ListenerWindow();
    ~ListenerWindow();
    ListenerWindow(const ListenerWindow&) = delete;
    ListenerWindow& operator=(const ListenerWindow&) = delete;
    HWND Handle() const { return m_hWnd; }
    // Serves messages until one with wParam has arrived (true) or the time is up.
    bool WaitFor(WPARAM wParam, DWORD dwMs);
    // Serves messages for dwMs (0: only what is queued), then hands out what arrived and forgets it.
    Notes Drain(DWORD dwMs = 0);

    Notes received;

private:
    static LRESULT CALLBACK Proc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
    HWND m_hWnd = nullptr;
};

}  // namespace kxtest
