// A host's side of the component, for any host on a thread with a message loop (the CLI, a window): it loads
// KxUninst.dll from the host's folder, creates the object through the DLL's class factory, listens for
// WM_LISTMGR with a hidden window of the host thread and reads and searches the lists through IKxListMgr.
// Everything here runs on the host thread, the thread that called Create; a console Ctrl-C only posts to it.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "CategoryItem.h"
#include "PowerSweepItem.h"
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
    // Creates the listener window and the object, and asks the object for IKxListMgr.
    bool Create(std::wstring& error);
    // Registers the listener for the soft, category and leftover lists, hands over the cache folder (when not
    // empty) and calls Init.
    bool Start(const std::wstring& cacheDir, std::wstring& error);
    // Removes the listener, calls Uninit and releases the object.
    void Stop();

    // Notifications go to onNotify as they arrive (a window host); without one they are queued for Pump.
    void SetNotificationHandler(std::function<void(const ListNotification&)> onNotify) {
        m_onNotify = std::move(onNotify);
    }
    // Console Ctrl-C and Ctrl-Break stop being fatal: each is posted to the host thread, which calls
    // onInterrupt (when given) and remembers it for Interrupted().
    void ForwardConsoleInterrupt(std::function<void()> onInterrupt = nullptr);
    bool Interrupted() const { return m_bInterrupted; }
    // What a later Ctrl-C does on the host thread (an uninstall cancels), replacing the earlier handler.
    void OnInterrupt(std::function<void()> onInterrupt) { m_onInterrupt = std::move(onInterrupt); }

    // Runs the thread's message loop for at most waitMs, or until a message arrives, and returns the queued
    // notifications. The component's own window lives on this thread too.
    std::vector<ListNotification> Pump(DWORD waitMs);

    // True when the component has a top-level window on this thread (its message window; without it the data
    // component cannot tell it that the rules are loaded, and no list is ever built).
    bool ComponentHasWindow() const;
    // The soft list's ready flag (IsLoaded).
    bool ListReady() const;

    bool ReadSoftList(std::vector<SoftRecord>& records, std::wstring& error);
    bool ReadCategories(std::vector<CCategoryItem>& items, std::wstring& error);
    // Search of the soft list: by category (nSearchType 1) or by name (2). The ids, in the component's order.
    HRESULT Search(UINT nSearchType, const std::wstring& text, std::vector<UINT>& ids);
    HRESULT Refresh();

    // The uninstall and the forced sweep; the states are the data component's (DataStates).
    HRESULT Uninstall(UINT nSoftId);
    HRESULT CancelUninstall(UINT nSoftId);
    // Brings the running uninstaller's windows to the front.
    HRESULT Active(UINT nSoftId);
    HRESULT PowerSweep(UINT nSoftId, std::vector<UINT> ids);
    bool ReadSweepList(std::vector<CPowerSweepItem>& items, std::wstring& error);
    // The leftover list's size; a sweep holds the list for its whole length, so this also waits for it to end.
    UINT SweepListSize();

private:
    static LRESULT CALLBACK ListenerProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);
    bool CreateListener(std::wstring& error);
    // Reads record nIndex of a list into bytes, growing the buffer while the component says it is too small.
    HRESULT ReadRecord(UINT nType, UINT nIndex, std::vector<BYTE>& buffer);
    // Every record of a list of plain records (categories, leftovers).
    template <typename Item>
    bool ReadItems(UINT nType, const wchar_t* pszWhat, std::vector<Item>& items, std::wstring& error);

    kx::unique_hmodule m_hDll;
    kx::com_ptr<IKxUninstMgr> m_pUninst;
    kx::com_ptr<IKxListMgr> m_pList;
    HWND m_hListener = nullptr;
    bool m_bStarted = false;
    bool m_bInterrupted = false;
    std::function<void(const ListNotification&)> m_onNotify;
    std::function<void()> m_onInterrupt;
    std::vector<ListNotification> m_vecPending;
};

// Whether this thread can create a hidden top-level window, as the component's Init does; false with the
// system's error. Under Wine without a display this fails unless the prefix selects the null graphics driver.
bool CanCreateTopLevelWindow(DWORD& dwError);
