// Placeholder until the rule tasks land.
#include "KxUninstMgr.h"

void CKxUninstMgr::TaskInit() {}
void CKxUninstMgr::TaskGetUnRules() {}
void CKxUninstMgr::TaskClearRules() {}
