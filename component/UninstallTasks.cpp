// The uninstall and sweep tasks of the worker. For now they only mark their run in the log.
#define KX_LOG_SOURCE ".\\KxUninstMgr"
#include "KxLog.h"
#include "KxUninstMgr.h"

void CKxUninstMgr::TaskUninstall(UINT) {
    KXLOG(1, L"Begin");
    KXLOG(1, L"End");
}

void CKxUninstMgr::TaskPowerSweep(UINT) {
    KXLOG(1, L"Begin");
    KXLOG(1, L"End");
}
