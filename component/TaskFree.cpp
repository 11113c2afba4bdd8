// Placeholder until the exit task lands.
#include "KxUninstMgr.h"

void CKxUninstMgr::TaskFree() {}
