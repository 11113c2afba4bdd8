// kxuninst's side of the component: it loads KxUninst.dll from its own folder, creates the object through the
// DLL's class factory, listens for WM_LISTMGR with a hidden window of its thread and reads the lists through
// IKxListMgr, as any host of the component does.
#pragma once

#include <windows.h>
#include <string>
#include <vector>

#include "CategoryItem.h"
#include "KxUninstIf.h"
#include "ScopedHandle.h"
#include "SoftItem.h"

struct ListNotification {
    UINT nType;
    UINT nAct;
    LPARAM lParam;
};

// One soft-list record as read from the component, with the bytes it came in.
struct SoftRecord {
    CSoftItem item;
    std::string bytes;
};

class ComponentHost {
public:
    ComponentHost() = default;
    ~ComponentHost();
    ComponentHost(const ComponentHost&) = delete;
    ComponentHost& operator=(const ComponentHost&) = delete;

    // Loads the component DLL; false with a reason when it is missing or not a usable DLL.
    bool Load(const std::wstring& dllPath, std::wstring& error);
    // DllRegisterServer or DllUnregisterServer of the loaded DLL.
    HRESULT Register(bool bUnregister, std::wstring& error);
    // Creates the object and asks it for IKxListMgr.
    bool Create(std::wstring& error);
    // Registers the listener window for the soft, category and leftover lists, hands over the cache folder
    // (when not empty) and calls Init.
    bool Start(const std::wstring& cacheDir, std::wstring& error);
    // Runs the thread's message loop for at most waitMs (the component's own window lives on this thread
    // too) and returns the notifications that arrived.
    std::vector<ListNotification> Pump(DWORD waitMs);
    // Removes the listener, calls Uninit and releases the object.
    void Stop();

    bool ReadSoftList(std::vector<SoftRecord>& records, std::wstring& error);
    bool ReadCategories(std::vector<CCategoryItem>& items, std::wstring& error);
    // Search of the soft list: by category (nSearchType 1) or by name (2). The ids, in the component's order.
    HRESULT Search(UINT nSearchType, const std::wstring& text, std::vector<UINT>& ids);
    HRESULT Refresh();

private:
    static LRESULT CALLBACK ListenerProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);
    bool CreateListener(std::wstring& error);
    // Reads record nIndex of a list into bytes, growing the buffer while the component says it is too small.
    HRESULT ReadRecord(UINT nType, UINT nIndex, std::vector<BYTE>& buffer);

    kx::unique_hmodule m_hDll;
    kx::com_ptr<IKxUninstMgr> m_pUninst;
    kx::com_ptr<IKxListMgr> m_pList;
    HWND m_hListener = nullptr;
    bool m_bStarted = false;
    std::vector<ListNotification> m_vecPending;
};
