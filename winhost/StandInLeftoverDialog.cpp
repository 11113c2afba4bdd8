#include "StandInLeftoverDialog.h"

#include "KxUninstIf.h"

// Leaves the leftovers where they are: nothing is swept.
LeftoverDialogResult RunLeftoverDialog(HWND, ComponentHost&, const DataStates&, const CSoftItem&,
                                       std::function<void(const ListNotification&)>) {
    return {false, SOFT_STATE_LEFTOVERS_OFFERED};
}
