// Which leftovers the dialog ticks when it opens: what was found from the install folder (its files and folders,
// the shortcuts into it, the startup values whose data runs something in it) and the program's own Uninstall key.
// Keys found only because their name contains the entry name, MUICache entries, folder verbs and whatever else the
// scanner found stay unticked: they may belong to something else, and the user decides.
#pragma once

#include <string>

#include "PowerSweepItem.h"
#include "SoftItem.h"

bool TickedByDefault(const CPowerSweepItem& item, const CSoftItem& program);
