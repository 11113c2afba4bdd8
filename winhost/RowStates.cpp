#include "RowStates.h"

#include "KxUninstIf.h"
#include "WinHostRes.h"

UINT StateTextId(UINT nState, bool bAfterUninstaller, const UninstallEnd& end) {
    switch (nState) {
        case SOFT_STATE_UNINSTALL_REQUESTED: return IDS_STATE_REQUESTED;
        case SOFT_STATE_TASK_WORKING: return bAfterUninstaller ? IDS_STATE_ANALYSING : IDS_STATE_PREPARING;
        case SOFT_STATE_UNINSTALLER_RUNNING: return IDS_STATE_RUNNING;
        case SOFT_STATE_LEFTOVERS_OFFERED: return IDS_STATE_LEFTOVERS;
        case SOFT_STATE_REMOVED: return IDS_STATE_REMOVED;
        case SOFT_STATE_NOT_UNINSTALLED:
            // The software centre's starter removes its programs itself; the component still says 19 for them.
            if (end.bSoftCentreRemoved && !end.bCancelled) return IDS_STATE_SOFTCENTRE_REMOVED;
            if (end.bCancelled) return IDS_STATE_CANCELLED;
            return end.bSawUninstaller ? IDS_STATE_STILL_INSTALLED : IDS_STATE_NOT_UNINSTALLED;
        default: return 0;
    }
}
