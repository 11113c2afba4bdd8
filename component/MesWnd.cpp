#define KX_LOG_SOURCE ".\\KxUninstMgr"
#include "MesWnd.h"

#include <cwchar>

#include "ErrorEdge.h"
#include "KxUninstIf.h"
#include "KxUninstMgr.h"
#include "KxUninstModule.h"

namespace {

const DWORD kMesWndStyle = WS_CAPTION | WS_SYSMENU | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;  // 0x06C80000

// The class name carries the address of the window procedure, so a module loaded anew (or a second copy of
// the component in the process) never meets a class whose procedure is gone.
const wchar_t* ClassName(WNDPROC pfn) {
    static wchar_t szName[64] = {};
    if (!szName[0]) swprintf(szName, 64, L"KxUninst:%p", reinterpret_cast<void*>(pfn));
    return szName;
}

INIT_ONCE g_classOnce = INIT_ONCE_STATIC_INIT;
ATOM g_atom = 0;

BOOL CALLBACK RegisterClassOnce(PINIT_ONCE, PVOID pParam, PVOID*) {
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
    wc.lpfnWndProc = reinterpret_cast<WNDPROC>(pParam);
    wc.hInstance = CKxUninstModule::Instance().ModuleHandle();
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = ClassName(wc.lpfnWndProc);
    g_atom = RegisterClassExW(&wc);
    if (!g_atom && GetLastError() == ERROR_CLASS_ALREADY_EXISTS)
        g_atom = static_cast<ATOM>(GetClassInfoExW(wc.hInstance, wc.lpszClassName, &wc));
    return g_atom != 0;
}

}  // namespace

CMesWnd::~CMesWnd() {
    // A window of another thread cannot be destroyed from here; it must at least stop calling this object.
    if (m_hWnd && !DestroyWindow()) SetWindowLongPtrW(m_hWnd, GWLP_USERDATA, 0);
}

WNDPROC CMesWnd::GetWindowProc() { return WindowProc; }

void CMesWnd::OnFinalMessage(HWND) {}

bool CMesWnd::ProcessWindowMessage(HWND, UINT uMsg, WPARAM wParam, LPARAM, LRESULT& lResult) {
    if (uMsg != WM_LISTMGR) return false;
    if (m_pOwner) m_pOwner->GetData(HIWORD(wParam), LOWORD(wParam));
    lResult = 0;
    return true;
}

HWND CMesWnd::Create() {
    if (!InitOnceExecuteOnce(&g_classOnce, RegisterClassOnce, reinterpret_cast<PVOID>(StartWindowProc), nullptr))
        return nullptr;
    m_thunk.pThis = this;
    HWND hWnd = CreateWindowExW(0, ClassName(StartWindowProc), L"", kMesWndStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                                CKxUninstModule::Instance().ModuleHandle(), this);
    return hWnd;  // m_hWnd was set by WM_NCCREATE
}

BOOL CMesWnd::DestroyWindow() {
    if (!m_hWnd) return FALSE;
    return ::DestroyWindow(m_hWnd);
}

LRESULT CALLBACK CMesWnd::StartWindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    if (uMsg == WM_NCCREATE) {
        auto* pThis = static_cast<CMesWnd*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        pThis->m_hWnd = hWnd;
        SetWindowLongPtrW(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&pThis->m_thunk));
        SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(pThis->GetWindowProc()));
        return pThis->GetWindowProc()(hWnd, uMsg, wParam, lParam);
    }
    return ::DefWindowProcW(hWnd, uMsg, wParam, lParam);
}

LRESULT CALLBACK CMesWnd::WindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    auto* pThunk = reinterpret_cast<Thunk*>(GetWindowLongPtrW(hWnd, GWLP_USERDATA));
    CMesWnd* pThis = pThunk ? pThunk->pThis : nullptr;
    if (!pThis) return ::DefWindowProcW(hWnd, uMsg, wParam, lParam);
    LRESULT lResult = 0;
    try {
        kx::FaultPoint("CMesWnd::WindowProc");
        if (pThis->ProcessWindowMessage(hWnd, uMsg, wParam, lParam, lResult)) return lResult;
    } catch (...) {
        kx::LogCurrentException("CMesWnd::WindowProc");
        return 0;
    }
    lResult = pThis->m_pfnSuperWindowProc(hWnd, uMsg, wParam, lParam);
    if (uMsg == WM_NCDESTROY) {
        SetWindowLongPtrW(hWnd, GWLP_USERDATA, 0);
        pThis->m_hWnd = nullptr;
        pThis->OnFinalMessage(hWnd);
    }
    return lResult;
}
