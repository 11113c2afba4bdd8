// The module object of KxUninst.dll: its lock count, its one class object and its registration.
#pragma once

#include <windows.h>

#include <string>

#include "resource.h"

class CKxUninstModule {
public:
    static CKxUninstModule& Instance();

    // Called once from the DLL's process attach; FALSE when the module cannot work.
    BOOL Init(HINSTANCE hInstance);

    // Every live object and every outstanding class-factory reference or LockServer(TRUE) holds one lock.
    LONG Lock() { return InterlockedIncrement(&m_nLockCount); }
    LONG Unlock() { return InterlockedDecrement(&m_nLockCount); }
    LONG GetLockCount() const { return m_nLockCount; }

    HRESULT CanUnloadNow() const { return m_nLockCount == 0 ? S_OK : S_FALSE; }
    HRESULT GetClassObject(REFCLSID rclsid, REFIID riid, void** ppv);
    HRESULT RegisterServer();
    HRESULT UnregisterServer();

    // The module holding this code: the DLL, or the executable that links the component statically.
    HMODULE ModuleHandle() const;
    std::wstring ModulePath() const;

private:
    CKxUninstModule() = default;
    HINSTANCE m_hInstance = nullptr;
    volatile LONG m_nLockCount = 0;
};
