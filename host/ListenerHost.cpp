#include "ListenerHost.h"

#include <objbase.h>

#include <chrono>

namespace kxhost {
namespace {

const wchar_t kClassName[] = L"KxHostListener";
const UINT WM_HOST_INVOKE = WM_APP + 1;
const UINT WM_HOST_SYNC = WM_APP + 2;

ATOM RegisterListenerClass(WNDPROC pfn) {
    static ATOM atom = 0;
    static std::once_flag once;
    std::call_once(once, [pfn] {
        WNDCLASSEXW wc = {};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = pfn;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = kClassName;
        atom = RegisterClassExW(&wc);
    });
    return atom;
}

}  // namespace

CListenerHost::CListenerHost(bool bComApartment) {
    RegisterListenerClass(WindowProc);
    m_hReady = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    m_thread = std::thread([this, bComApartment] { Run(bComApartment); });
    WaitForSingleObject(m_hReady, INFINITE);
}

CListenerHost::~CListenerHost() {
    if (m_hControl) PostMessageW(m_hControl, WM_CLOSE, 0, 0);
    if (m_thread.joinable()) m_thread.join();
    CloseHandle(m_hReady);
}

void CListenerHost::Run(bool bComApartment) {
    if (bComApartment) CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    m_dwThreadId = GetCurrentThreadId();
    m_hControl = CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleW(nullptr),
                                 this);
    SetEvent(m_hReady);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    if (bComApartment) CoUninitialize();
}

LRESULT CALLBACK CListenerHost::WindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    if (uMsg == WM_NCCREATE) {
        auto* pThis = static_cast<CListenerHost*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        SetWindowLongPtrW(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(pThis));
    }
    auto* pThis = reinterpret_cast<CListenerHost*>(GetWindowLongPtrW(hWnd, GWLP_USERDATA));
    if (!pThis) return DefWindowProcW(hWnd, uMsg, wParam, lParam);
    switch (uMsg) {
    case WM_LISTMGR: {
        std::lock_guard<std::mutex> lock(pThis->m_mutex);
        pThis->m_messages.push_back({hWnd, wParam, lParam});
        pThis->m_changed.notify_all();
        return 0;
    }
    case WM_HOST_SYNC: {
        std::lock_guard<std::mutex> lock(pThis->m_mutex);
        ++pThis->m_nSyncSeen;
        pThis->m_changed.notify_all();
        return 0;
    }
    case WM_HOST_INVOKE:
        (*reinterpret_cast<const std::function<void()>*>(lParam))();
        return 0;
    case WM_CLOSE:
        if (hWnd == pThis->m_hControl) {
            std::vector<HWND> windows;
            {
                std::lock_guard<std::mutex> lock(pThis->m_mutex);
                windows.swap(pThis->m_windows);
            }
            for (HWND h : windows) DestroyWindow(h);
            DestroyWindow(hWnd);
            PostQuitMessage(0);
        }
        return 0;
    default:
        return DefWindowProcW(hWnd, uMsg, wParam, lParam);
    }
}

void CListenerHost::Invoke(const std::function<void()>& fn) {
    if (GetCurrentThreadId() == m_dwThreadId) {
        fn();
        return;
    }
    SendMessageW(m_hControl, WM_HOST_INVOKE, 0, reinterpret_cast<LPARAM>(&fn));
}

HWND CListenerHost::CreateListener() {
    HWND hWnd = nullptr;
    Invoke([&] {
        hWnd = CreateWindowExW(0, kClassName, L"", WS_OVERLAPPED, 0, 0, 0, 0, nullptr, nullptr,
                               GetModuleHandleW(nullptr), this);
    });
    if (hWnd) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_windows.push_back(hWnd);
    }
    return hWnd;
}

void CListenerHost::DestroyListener(HWND hWnd) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (auto it = m_windows.begin(); it != m_windows.end(); ++it)
            if (*it == hWnd) {
                m_windows.erase(it);
                break;
            }
    }
    Invoke([hWnd] { DestroyWindow(hWnd); });
}

std::vector<ListMessage> CListenerHost::Messages() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_messages;
}

std::vector<ListMessage> CListenerHost::MessagesFor(HWND hWnd) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<ListMessage> result;
    for (const auto& m : m_messages)
        if (m.hWnd == hWnd) result.push_back(m);
    return result;
}

size_t CListenerHost::Count() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_messages.size();
}

void CListenerHost::Clear() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_messages.clear();
}

bool CListenerHost::WaitFor(const std::function<bool(const std::vector<ListMessage>&)>& pred, DWORD dwTimeoutMs) {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::milliseconds(dwTimeoutMs), [&] { return pred(m_messages); });
}

bool CListenerHost::WaitForCount(size_t n, DWORD dwTimeoutMs) {
    return WaitFor([n](const std::vector<ListMessage>& messages) { return messages.size() >= n; }, dwTimeoutMs);
}

bool CListenerHost::Sync(HWND hWnd, DWORD dwTimeoutMs) {
    unsigned nTarget;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        nTarget = m_nSyncSeen + 1;
    }
    // Posted messages of one thread are handled in the order they were posted.
    if (!PostMessageW(hWnd, WM_HOST_SYNC, 0, 0)) return false;
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::milliseconds(dwTimeoutMs), [&] { return m_nSyncSeen >= nTarget; });
}

bool PumpUntil(const std::function<bool()>& pred, DWORD dwTimeoutMs) {
    const DWORD dwStart = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (pred()) return true;
        DWORD dwElapsed = GetTickCount() - dwStart;
        if (dwElapsed >= dwTimeoutMs) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, dwTimeoutMs - dwElapsed < 10 ? dwTimeoutMs - dwElapsed : 10,
                                  QS_ALLINPUT);
    }
}

void PumpFor(DWORD dwMs) {
    PumpUntil([] { return false; }, dwMs);
}

}  // namespace kxhost
