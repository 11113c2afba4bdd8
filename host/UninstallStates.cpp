#include "UninstallStates.h"

void StateTrail::Begin(const KX_SOFT_STATE& now) {
    m_nState = now.nState;
    m_nChanges = now.nReserved[1];
}

std::vector<UINT> StateTrail::Advance(const KX_SOFT_STATE& now) {
    std::vector<UINT> reached;
    const UINT nChanges = now.nReserved[1];
    if (nChanges == m_nChanges) return reached;
    // {id, state, previous state, number of changes}: two changes since the last look show both.
    if (nChanges - m_nChanges >= 2) reached.push_back(now.nReserved[0]);
    reached.push_back(now.nState);
    for (UINT s : reached)
        if (s == SOFT_STATE_UNINSTALLER_RUNNING) m_bSawUninstaller = true;
    m_nState = now.nState;
    m_nChanges = nChanges;
    return reached;
}

std::string StateWords(UINT nState, bool bAfterUninstaller) {
    switch (nState) {
        case SOFT_STATE_UNINSTALL_REQUESTED: return "uninstall requested";
        case SOFT_STATE_TASK_WORKING: return bAfterUninstaller ? "looking for leftovers" : "preparing the uninstall";
        case SOFT_STATE_UNINSTALLER_RUNNING: return "uninstaller running";
        case SOFT_STATE_LEFTOVERS_OFFERED: return "leftovers found";
        case SOFT_STATE_NOT_UNINSTALLED: return "uninstall did not take place";
        case SOFT_STATE_REMOVED: return "removed from the list";
        default: return "state " + std::to_string(nState);
    }
}

bool IsFinalState(UINT nState) {
    return nState == SOFT_STATE_LEFTOVERS_OFFERED || nState == SOFT_STATE_NOT_UNINSTALLED ||
           nState == SOFT_STATE_REMOVED;
}

bool SoftCentreRemoved(const std::wstring& installFolder) {
    std::wstring ini = installFolder;
    while (!ini.empty() && ini.back() == L'\\') ini.pop_back();
    // The software centre's own file: [Soft] Initialized, 0 when missing.
    return GetPrivateProfileIntW(L"Soft", L"Initialized", 0, (ini + L"\\qz.ini").c_str()) == 0;
}
