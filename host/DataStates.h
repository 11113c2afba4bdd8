// The host's own data-component object: the uninstall-state notification carries only the program's id, and the
// state itself is read from the data component, whose state table is one per process.
#pragma once

#include <windows.h>

#include <string>

#include "KxUninstIf.h"
#include "ScopedHandle.h"

class DataStates {
public:
    DataStates() = default;
    ~DataStates();
    DataStates(const DataStates&) = delete;
    DataStates& operator=(const DataStates&) = delete;

    // Loads KxData.dll from the host's folder and creates and initialises an IKxDataMgr; false with a reason.
    bool Open(const std::wstring& folder, std::wstring& error);
    // The 36-byte record {id, state, previous state, number of changes}; all 0 when it cannot be read.
    KX_SOFT_STATE Get(UINT nSoftId) const;

private:
    kx::unique_hmodule m_hDll;
    kx::com_ptr<IKxDataMgr> m_pData;
};
