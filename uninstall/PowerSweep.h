// The forced sweep: deletes the leftovers the host chose (files and folders to the Recycle Bin, files in use at the
// next restart, registry keys and values), reports progress in percent, tidies the leftover list, and when
// nothing is left takes the program out of the list.
#pragma once

#include <windows.h>

#include <vector>

#include "UninstallTask.h"

struct SweepContext {
    UninstallContext uninstall;  // the lists, locks, leftover list and its origin, data component, stop event
    std::vector<UINT>& vecSweepId;
};

// TaskPowerSweep: holds m_csSweep for the whole task.
void SweepLeftovers(SweepContext& ctx, UINT nSoftId);

// Removes the group heads left without entries and empties a list that holds only its root.
void PruneSweepList(std::vector<CPowerSweepItem*>& vecSweep);
