// Placeholder until the list dumps land.
#include "KxUninstMgr.h"

void CKxUninstMgr::DumpList(UINT) {}
