// Placeholder until list construction lands.
#include "KxUninstMgr.h"

CSoftItem* CKxUninstMgr::CreateSoftItem(UnItemInside*) { return nullptr; }
CUninstallRuleItem* CKxUninstMgr::MatchRule(CSoftItem*) { return nullptr; }
CSoftInfoItem* CKxUninstMgr::GetItemFromKxData(UINT) { return nullptr; }
void CKxUninstMgr::TaskCreateUnList() {}
void CKxUninstMgr::TaskAdd(UINT) {}
