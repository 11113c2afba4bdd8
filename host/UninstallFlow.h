// kxuninst uninstall NAME|ID: the host's uninstall flow. The program is found by its name (exactly, ignoring
// case, else by the component's search), confirmed, uninstalled through Uninstall, and each state is printed as
// it is notified; leftovers are offered and swept in the same run (SweepRun).
#pragma once

#include <string>
#include <vector>

#include "CliSession.h"
#include "ComponentHost.h"
#include "DataStates.h"
#include "SweepRun.h"
#include "UninstallStates.h"

// Why uninstall may not run at all here (checked before the component starts); empty when it may.
std::string UninstallRefusal(const CliOptions& opt);

class UninstallFlow {
public:
    UninstallFlow(CliContext& cli, ComponentHost& host, const std::vector<SoftRecord>& records);
    int Run();

private:
    int FindTarget();
    int Confirm();
    int RunUninstaller();
    void Reached(UINT nState);
    // The exit code and the words of a final state.
    int Outcome(UINT nState);
    int OfferLeftovers();
    void PrintJson();

    CliContext& m_cli;
    ComponentHost& m_host;
    const std::vector<SoftRecord>& m_records;
    CSoftItem m_target;
    DataStates m_states;
    StateTrail m_trail;
    std::vector<StateEvent> m_events;
    ULONGLONG m_nStart = 0;
    bool m_bCancelled = false;
    std::string m_strResult;
    std::vector<Leftover> m_leftovers;
    SweepResult m_sweep;
};
