// The uninstall and sweep tasks of the worker: each hands the object's lists, locks, events and data component
// to the uninstall code.
#define KX_LOG_SOURCE ".\\KxUninstMgr"
#include "KxLog.h"
#include "KxUninstMgr.h"

void CKxUninstMgr::TaskUninstall(UINT nSoftId) {
    UninstallContext ctx = UninstallWork();
    UninstallSoftware(ctx, nSoftId);
}

void CKxUninstMgr::TaskPowerSweep(UINT) {
    KXLOG(1, L"Begin");
    KXLOG(1, L"End");
}
