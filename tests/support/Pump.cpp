#include "kxtest/Pump.h"

#include "KxUninstIf.h"

namespace kxtest {

bool PumpUntil(const std::function<bool()>& done, DWORD dwMs) {
    for (DWORD start = GetTickCount();; Sleep(5)) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (done()) return true;
        if (GetTickCount() - start > dwMs) return false;
    }
}

ListenerWindow::ListenerWindow() {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = Proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"KxTestListener";
    RegisterClassW(&wc);
    m_hWnd = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    SetWindowLongPtrW(m_hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

ListenerWindow::~ListenerWindow() { DestroyWindow(m_hWnd); }

LRESULT CALLBACK ListenerWindow::Proc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<ListenerWindow*>(GetWindowLongPtrW(hWnd, GWLP_USERDATA));
    if (uMsg != WM_LISTMGR || !self) return DefWindowProcW(hWnd, uMsg, wParam, lParam);
    self->received.emplace_back(wParam, lParam);
    return 0;
}

bool ListenerWindow::WaitFor(WPARAM wParam, DWORD dwMs) {
    return PumpUntil([&] {
        for (const auto& note : received)
            if (note.first == wParam) return true;
        return false;
    }, dwMs);
}

Notes ListenerWindow::Drain(DWORD dwMs) {
    PumpFor(dwMs);
    Notes notes;
    notes.swap(received);
    return notes;
}

}  // namespace kxtest
