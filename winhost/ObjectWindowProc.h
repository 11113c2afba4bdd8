// The window procedure of a window that a C++ object owns: the object arrives as CreateWindowEx's parameter,
// is kept in GWLP_USERDATA and handles every later message. Nothing it throws gets past the procedure: the
// message then goes to DefWindowProc, as if the object had not handled it.
#pragma once

#include <windows.h>

// T befriends this and has `HWND m_hWnd` and `LRESULT Handle(UINT, WPARAM, LPARAM)`.
template <class T>
LRESULT CALLBACK ObjectWindowProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    T* self = nullptr;
    if (msg == WM_NCCREATE) {
        self = static_cast<T*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->m_hWnd = hWnd;
        SetWindowLongPtrW(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    } else {
        self = reinterpret_cast<T*>(GetWindowLongPtrW(hWnd, GWLP_USERDATA));
    }
    if (!self) return DefWindowProcW(hWnd, msg, wParam, lParam);
    try {
        return self->Handle(msg, wParam, lParam);
    } catch (...) {
        return DefWindowProcW(hWnd, msg, wParam, lParam);
    }
}
