// The uninstall task: it runs a program's uninstaller and waits for its job, judges whether the program is
// gone, looks for what it left behind, and either offers the leftovers or takes the program out of the list.
// Every step moves the program to a new uninstall state in the data component and tells the host.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "DustGuard.h"
#include "SoftLists.h"

class CPowerSweepItem;

// What the scan that filled the leftover list knew of the program (its entry name and install folder, the other
// programs and the folders never to be offered): the forced sweep checks each deletion against it again. Kept
// beside the leftover list, under its lock.
using LeftoverOrigin = DustGuardContext;

// What the uninstall task works on. Lock order: csSweep before csList.
struct UninstallContext {
    SoftLists lists;
    CRITICAL_SECTION& csList;
    CRITICAL_SECTION& csSweep;
    std::vector<CPowerSweepItem*>& vecSweep;
    LeftoverOrigin& origin;
    IKxDataMgr* pDataMgr;
    HANDLE hStopEvent;
    HANDLE hCancelEvent;
    HANDLE hActiveEvent;
};

// The program's new state in the data component (its answer is not looked at), then 0x00200040 to the host.
void SetUninstallState(SoftLists& lists, IKxDataMgr* pDataMgr, UINT nSoftId, UINT nState);

// TaskUninstall.
void UninstallSoftware(UninstallContext& ctx, UINT nSoftId);

// Takes the program out of the soft list and its category counts, tells the host (0x00200008) and sets state 20;
// nothing for an id that is not listed. Takes m_csList; a caller that holds m_csSweep keeps the lock order.
void DeleteUnItem(SoftLists& lists, CRITICAL_SECTION& csList, IKxDataMgr* pDataMgr, UINT nSoftId);
