// The uninstall and sweep tasks of the worker: each hands the object's lists, locks, events and data component
// to the uninstall code.
#define KX_LOG_SOURCE ".\\KxUninstMgr"
#include "KxUninstMgr.h"
#include "PowerSweep.h"

void CKxUninstMgr::TaskUninstall(UINT nSoftId) {
    UninstallContext ctx = UninstallWork();
    UninstallSoftware(ctx, nSoftId);
}

void CKxUninstMgr::TaskPowerSweep(UINT nSoftId) {
    SweepContext ctx{UninstallWork(), m_vecSweepId};
    SweepLeftovers(ctx, nSoftId);
}
