// What became of each leftover chosen for the sweep, checked on the machine after the sweep: moved to the
// Recycle Bin (gone, and found there), removed from the registry, scheduled for removal at restart (still there
// and in PendingFileRenameOperations), or not removed (still there: the guard refused it or the deletion failed,
// as the component's log says).
#pragma once

#include <string>
#include <vector>

#include "LeftoverTree.h"

enum class Outcome { RecycleBin, Gone, Registry, AtRestart, NotRemoved };

struct EntryOutcome {
    Leftover entry;
    Outcome outcome;
    std::wstring detail;       // the guard's reason, or what else there is to know
    std::wstring guardReason;  // not removed because the guard refused it: its one-word reason
};

// What the sweep left to look at.
struct SweepEvidence {
    bool bTrashReadable = false;
    std::vector<std::wstring> trashed;        // Windows paths of what the Recycle Bin received
    std::vector<std::wstring> pending;        // files to be deleted at restart
    std::vector<std::wstring> componentLog;   // the component's log lines written during the sweep
};

// The files PendingFileRenameOperations deletes at the next restart, as Windows paths.
std::vector<std::wstring> PendingDeletions();

std::vector<EntryOutcome> CheckSweep(const std::vector<Leftover>& list, const std::vector<UINT>& ids,
                                     const SweepEvidence& evidence);

// "recycle-bin", "gone", "registry", "restart", "not-removed"
const char* OutcomeKey(Outcome outcome);
std::string SweepSummary(const std::vector<EntryOutcome>& outcomes);
std::string SweepJson(const std::vector<EntryOutcome>& outcomes, const std::string& indent);
