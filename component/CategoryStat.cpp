// Placeholder until category counting lands.
#include "KxUninstMgr.h"

void CKxUninstMgr::StatCategory(BOOL, LPCWSTR) {}
