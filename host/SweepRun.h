// The leftovers of an uninstall, offered and swept in the same run (the list lives in the component's memory):
// shown as a numbered tree, chosen on the terminal or by --sweep, handed to PowerSweep with a progress bar, and
// each chosen entry checked on the machine afterwards.
//
// For tests only: when KXUNINST_TEST_PAUSE_BEFORE_SWEEP names a file, the CLI writes that file once the choice is
// made and waits, before asking the component to sweep, until the file is deleted. A test takes its snapshot of
// the machine meanwhile.
#pragma once

#include <string>
#include <vector>

#include "CliSession.h"
#include "ComponentHost.h"
#include "DataStates.h"
#include "LeftoverTree.h"
#include "SweepOutcome.h"

struct SweepResult {
    bool bAsked = false;            // PowerSweep was called
    std::vector<UINT> ids;          // the ids handed to it
    std::vector<EntryOutcome> outcomes;
    UINT nFinalState = 0;           // 20 when the program left the list, 18 when it stays with the rest
};

class SweepRun {
public:
    SweepRun(CliContext& cli, ComponentHost& host, const DataStates& states, const CSoftItem& program);
    // Exit code: 0, 2 for a LIST that does not fit the entries, 130 interrupted.
    int Run(const std::vector<Leftover>& leftovers, SweepResult& result);

private:
    // The ids to sweep; keep: false with rc 0.
    bool Choose(const std::vector<Leftover>& leftovers, std::vector<UINT>& ids, int& rc);
    bool PauseForTest();
    int Sweep(const std::vector<Leftover>& leftovers, SweepResult& result);

    CliContext& m_cli;
    ComponentHost& m_host;
    const DataStates& m_states;
    const CSoftItem& m_program;
};
