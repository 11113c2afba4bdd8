// A host's side of WM_LISTMGR, for tests and the command-line host: listener windows on a thread of their
// own with a message loop, every WM_LISTMGR they receive recorded in arrival order, and waits with time-outs.
// Header-only use of the component: nothing here needs more than the Windows headers.
#pragma once

#include <windows.h>

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace kxhost {

#ifndef WM_LISTMGR
#define WM_LISTMGR (WM_USER + 2000)
#endif

struct ListMessage {
    HWND hWnd;
    WPARAM wParam;
    LPARAM lParam;
    UINT Type() const { return HIWORD(wParam); }
    UINT Action() const { return LOWORD(wParam); }
};

class CListenerHost {
public:
    // Starts the thread and its message loop. With bComApartment the thread is a single-threaded COM
    // apartment, so objects created through Invoke live there and their windows are served by the loop.
    explicit CListenerHost(bool bComApartment = false);
    // Destroys the windows and ends the thread.
    ~CListenerHost();
    CListenerHost(const CListenerHost&) = delete;
    CListenerHost& operator=(const CListenerHost&) = delete;

    // A new hidden listener window owned by the host thread; NULL on failure.
    HWND CreateListener();
    void DestroyListener(HWND hWnd);

    // Runs fn on the host thread and returns when it has run.
    void Invoke(const std::function<void()>& fn);

    // Every WM_LISTMGR received so far, in order (all windows, or one).
    std::vector<ListMessage> Messages() const;
    std::vector<ListMessage> MessagesFor(HWND hWnd) const;
    size_t Count() const;
    void Clear();

    // Waits until at least n messages have arrived in total; false on time-out.
    bool WaitForCount(size_t n, DWORD dwTimeoutMs);
    // Waits until pred holds for the recorded messages; false on time-out.
    bool WaitFor(const std::function<bool(const std::vector<ListMessage>&)>& pred, DWORD dwTimeoutMs);
    // Waits until everything posted to hWnd before this call has been handled (hWnd must be a listener of
    // this host); false on time-out. After it, Messages() holds all of them: "nothing arrived" can be tested.
    bool Sync(HWND hWnd, DWORD dwTimeoutMs = 5000);

    DWORD ThreadId() const { return m_dwThreadId; }

private:
    static LRESULT CALLBACK WindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
    void Run(bool bComApartment);

    std::thread m_thread;
    DWORD m_dwThreadId = 0;
    HWND m_hControl = nullptr;  // runs Invoke's functions on the host thread
    HANDLE m_hReady = nullptr;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<ListMessage> m_messages;
    std::vector<HWND> m_windows;
    unsigned m_nSyncSeen = 0;
};

// Runs the calling thread's message loop until pred is true or the time is up; returns pred's last answer.
// For hosts that own windows on their own thread (the component's message window belongs to Init's thread).
bool PumpUntil(const std::function<bool()>& pred, DWORD dwTimeoutMs);
// Runs the calling thread's message loop for the given time.
void PumpFor(DWORD dwMs);

}  // namespace kxhost
