// The uninstall states of the process: one table however many data-component objects exist, so that a host's
// own object reads the states the component's object set.
#pragma once

#include <map>

#include "KxUninstIf.h"
#include "ScopedHandle.h"

class CSoftStates {
public:
    static CSoftStates& Instance();

    // Whether a move of a software from nFrom to nTo is allowed (the table in README.md).
    static bool IsTransitionAllowed(UINT nFrom, UINT nTo);

    // The 36-byte record {id, state, previous state, number of changes, 0...}; state 0 = never set.
    void Get(UINT nSoftId, KX_SOFT_STATE& state);
    // False, and nothing changed, when the move is not allowed.
    bool Set(UINT nSoftId, UINT nState);
    // The number of ids that have a state.
    UINT Count();

private:
    struct State {
        UINT nState = 0;
        UINT nPrevious = 0;
        UINT nChanges = 0;
    };

    CSoftStates() = default;
    kx::critical_section m_cs;
    std::map<UINT, State> m_map;
};
