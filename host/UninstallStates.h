// One program's uninstall states as the host follows them: the notification only names the program, the state is
// read from the data component, and a state that changed twice before the host looked is recovered from the
// record's previous state.
#pragma once

#include <string>
#include <vector>

#include "KxUninstIf.h"

struct StateEvent {
    UINT nState;
    double seconds;     // since the uninstall was asked for
    std::string words;
};

class StateTrail {
public:
    // The record read right after Uninstall was accepted (state 15).
    void Begin(const KX_SOFT_STATE& now);
    // The states reached since the last look, in order.
    std::vector<UINT> Advance(const KX_SOFT_STATE& now);
    UINT Current() const { return m_nState; }
    bool SawUninstaller() const { return m_bSawUninstaller; }

private:
    UINT m_nState = 0;
    UINT m_nChanges = 0;
    bool m_bSawUninstaller = false;
};

// The state in words; 16 reads differently before and after the uninstaller ran.
std::string StateWords(UINT nState, bool bAfterUninstaller);
bool IsFinalState(UINT nState);
// A program of the software centre whose qz.ini no longer says it is initialised: its starter removed it.
bool SoftCentreRemoved(const std::wstring& installFolder);
