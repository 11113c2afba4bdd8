// The leftover dialog of the window host: the leftovers an uninstall offers (list 0x200) as a tree with check
// boxes, the chosen ones handed to PowerSweep with a progress bar, and what became of each one checked on the
// machine afterwards. The window's class and control ids are in WinHostIds.h.
#pragma once

#include <windows.h>

#include <functional>

#include "ComponentHost.h"
#include "DataStates.h"
#include "SoftItem.h"

struct LeftoverDialogResult {
    bool bSwept = false;    // PowerSweep was called (and took the request) at least once
    UINT nFinalState = 0;   // the program's uninstall state when the dialog closed: 20 gone, 18 still offered
};

// Modal: shows list 0x200 of program `program`, lets the user tick and sweep, returns when the user closes it.
// Notifications of the component reach the dialog through `host`'s handler while it is open (the dialog
// installs its own handler with SetNotificationHandler and restores `restore` when it closes). Meanwhile every
// notification except the sweep's progress goes on to `restore` as well, so the owner's lists stay current.
LeftoverDialogResult RunLeftoverDialog(HWND owner, ComponentHost& host, const DataStates& states,
                                       const CSoftItem& program,
                                       std::function<void(const ListNotification&)> restore);
