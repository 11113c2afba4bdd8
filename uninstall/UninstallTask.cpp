// Placeholder until the uninstall and sweep tasks land.
#include "KxUninstMgr.h"

void CKxUninstMgr::TaskUninstall(UINT) {}
void CKxUninstMgr::TaskPowerSweep(UINT) {}
