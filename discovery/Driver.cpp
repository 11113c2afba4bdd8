// Placeholder until the discovery driver lands.
#include "KxUninstMgr.h"

void CKxUninstMgr::CreateUnItemInside(InsideMap&) {}
