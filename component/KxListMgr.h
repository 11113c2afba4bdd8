// The list-manager half of the component object: the listener registry that turns changes into posted
// WM_LISTMGR messages, and the cache-file operations, which hand the payload to the object's own
// _DumpToDisk/_LoadFromDisk.
#pragma once

#include <map>
#include <vector>

#include "KxUninstIf.h"
#include "ScopedHandle.h"

class CSerializer;

class CKxListMgr : public IKxListMgr {
public:
    CKxListMgr();

    // Listener registry (KxListMgr.cpp).
    HRESULT STDMETHODCALLTYPE AddListener(HWND hWnd, UINT nTypeMask) override;
    HRESULT STDMETHODCALLTYPE RemoveListener(HWND hWnd, UINT nTypeMask) override;
    HRESULT STDMETHODCALLTYPE Notify(WPARAM wParam, LPARAM lParam) override;
    HRESULT STDMETHODCALLTYPE NotifyByType(UINT nType, WPARAM wParam, LPARAM lParam) override;

    // Cache file (KxListMgr.cpp).
    HRESULT STDMETHODCALLTYPE DumpToDisk(UINT nType, UINT nVersion, BSTR bstrFile) override;
    HRESULT STDMETHODCALLTYPE LoadFromDisk(UINT nType, UINT nVersion, BSTR bstrFile) override;

    // After the last interface slot: the destructor, then the per-list payload hooks.
    virtual ~CKxListMgr();
    virtual int _DumpToDisk(UINT nType, CSerializer& writer) = 0;
    virtual int _LoadFromDisk(UINT nType, CSerializer& reader) = 0;

protected:
    // Window handle (compared as an unsigned number) to the types it listens for, each at most once.
    std::map<HWND, std::vector<UINT>> m_mapListener;
    kx::critical_section m_csListener;
};
