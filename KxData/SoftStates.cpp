#include "SoftStates.h"

CSoftStates& CSoftStates::Instance() {
    static CSoftStates states;
    return states;
}

bool CSoftStates::IsTransitionAllowed(UINT nFrom, UINT nTo) {
    const bool bBusy = nFrom == SOFT_STATE_TASK_WORKING || nFrom == SOFT_STATE_UNINSTALLER_RUNNING;
    switch (nTo) {
    case SOFT_STATE_INSTALLED_A:
    case SOFT_STATE_INSTALLED_B:
    case SOFT_STATE_UNINSTALL_REQUESTED:
        return !bBusy;
    case SOFT_STATE_TASK_WORKING:
    case SOFT_STATE_UNINSTALLER_RUNNING:
    case SOFT_STATE_LEFTOVERS_OFFERED:
    case SOFT_STATE_NOT_UNINSTALLED:
    case SOFT_STATE_REMOVED:
        return nFrom >= SOFT_STATE_UNINSTALL_REQUESTED && nFrom <= SOFT_STATE_LEFTOVERS_OFFERED;
    default:
        return false;
    }
}

void CSoftStates::Get(UINT nSoftId, KX_SOFT_STATE& state) {
    kx::CritSecLock lock(m_cs);
    ZeroMemory(&state, sizeof(state));
    state.nSoftId = nSoftId;
    auto it = m_map.find(nSoftId);
    if (it == m_map.end()) return;
    state.nState = it->second.nState;
    state.nReserved[0] = it->second.nPrevious;
    state.nReserved[1] = it->second.nChanges;
}

bool CSoftStates::Set(UINT nSoftId, UINT nState) {
    kx::CritSecLock lock(m_cs);
    auto it = m_map.find(nSoftId);
    const UINT nFrom = it == m_map.end() ? 0 : it->second.nState;
    if (!IsTransitionAllowed(nFrom, nState)) return false;
    State& s = it == m_map.end() ? m_map[nSoftId] : it->second;
    s.nPrevious = s.nState;
    s.nState = nState;
    ++s.nChanges;
    return true;
}

UINT CSoftStates::Count() {
    kx::CritSecLock lock(m_cs);
    return static_cast<UINT>(m_map.size());
}
