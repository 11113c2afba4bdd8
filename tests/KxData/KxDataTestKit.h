// Test helpers around the real KxData.dll: loading it beside the test binary, rules files of a chosen size,
// a window that collects WM_LISTMGR, and the thread count of the process.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "KxUninstIf.h"

class CKxUninstMgr;

namespace kxdatatest {

// Rules text with version and the given number of software lines, ids 5000 + i, SoftId "soft<i>", category
// 1 + i % 3, names "Program <i>".
std::string RulesText(UINT nCount, UINT nVersion = 7, UINT nFirst = 0);
// Writes the rules file beside KxData.dll in the test folder.
void WriteRules(const std::string& text);
std::wstring RulesPath();

// LoadLibrary + DllGetClassObject + CreateInstance; frees the library on destruction (after the objects).
class DataDll {
public:
    DataDll();
    ~DataDll();
    bool Loaded() const { return m_hDll != nullptr && m_pMgr != nullptr; }
    HMODULE Module() const { return m_hDll; }
    IKxDataMgr* Mgr() const { return m_pMgr; }
    IKxListMgr* List() const { return m_pList; }
    HRESULT CanUnloadNow() const;
    void ReleaseObjects();

private:
    HMODULE m_hDll = nullptr;
    IKxDataMgr* m_pMgr = nullptr;
    IKxListMgr* m_pList = nullptr;
};

// A message-only window on the calling thread that records every WM_LISTMGR it receives.
class ListenerWindow {
public:
    ListenerWindow();
    ~ListenerWindow();
    HWND Handle() const { return m_hWnd; }
    // Pumps messages until a WM_LISTMGR with this wParam arrived (true) or the time is up.
    bool WaitFor(WPARAM wParam, DWORD dwTimeoutMs);
    // Pumps for the given time and returns what arrived.
    std::vector<std::pair<WPARAM, LPARAM>> Collect(DWORD dwMs);
    std::vector<std::pair<WPARAM, LPARAM>>& Received();

private:
    HWND m_hWnd = nullptr;
};

// Pumps the calling thread's messages for up to dwMs or until pred() holds.
template <typename Pred>
bool PumpUntil(Pred pred, DWORD dwMs) {
    DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (pred()) return true;
        if (GetTickCount() - start > dwMs) return false;
        Sleep(10);
    }
}

size_t ThreadCount();

// Releases what tasks called straight from a test thread left loaded in the object: the data component's
// object and library (the exit task would have done it on the worker).
void ReleaseDataComponent(CKxUninstMgr& mgr);

}  // namespace kxdatatest
