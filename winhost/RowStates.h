// The words a program's row shows while its uninstall runs and once it has ended.
#pragma once

#include <windows.h>

// How an uninstall that ended in state 19 (did not take place) is told apart, as the command line tells it.
struct UninstallEnd {
    bool bCancelled = false;          // the user cancelled it
    bool bSoftCentreRemoved = false;  // a software-centre program whose qz.ini is no longer initialised
    bool bSawUninstaller = false;     // state 17 was reached
};

// The string id of a state: 16 is preparing before the uninstaller ran and analysing leftovers after it; 19 is
// worded by how it came about. 0 for a state without words of its own (shown as its number).
UINT StateTextId(UINT nState, bool bAfterUninstaller, const UninstallEnd& end);
