// CMesWnd: the component's hidden top-level window. The data component posts its rule notifications
// (WM_LISTMGR of type 4) here; the window belongs to the thread that called Init, so they are handled by the
// host's message loop and turned into tasks by the owner's GetData.
#pragma once

#include <windows.h>

class CKxUninstMgr;

class CMesWnd {
public:
    CMesWnd() = default;
    CMesWnd(const CMesWnd&) = delete;
    CMesWnd& operator=(const CMesWnd&) = delete;

    // Handles a message of the window's own map; false sends it on to the default window procedure.
    virtual bool ProcessWindowMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult);
    virtual ~CMesWnd();
    virtual WNDPROC GetWindowProc();
    // Called after the last message (WM_NCDESTROY) reached the window; nothing to do here.
    virtual void OnFinalMessage(HWND hWnd);

    void SetOwner(CKxUninstMgr* pOwner) { m_pOwner = pOwner; }
    // Registers the window class once per process and creates the hidden window; NULL on failure.
    HWND Create();
    BOOL DestroyWindow();

    HWND m_hWnd = nullptr;

private:
    static LRESULT CALLBACK StartWindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK WindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);

    // Routes the system's calls to this object: the window's user data holds it from WM_NCCREATE on.
    struct Thunk {
        CMesWnd* pThis = nullptr;
    } m_thunk;
    WNDPROC m_pfnSuperWindowProc = ::DefWindowProcW;
    CKxUninstMgr* m_pOwner = nullptr;
};
