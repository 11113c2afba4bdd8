// Placeholder until the list store lands.
#include "KxUninstMgr.h"

HRESULT CKxUninstMgr::GetItemByIndex(UINT, UINT, BYTE*, UINT) { return E_NOTIMPL; }
HRESULT CKxUninstMgr::GetItemById(UINT, UINT, BYTE*, UINT) { return E_NOTIMPL; }
HRESULT CKxUninstMgr::GetSize(UINT, UINT*) { return E_NOTIMPL; }
CSoftItem* CKxUninstMgr::FindSoft(const std::vector<CSoftItem*>&, const std::wstring&, UINT) { return nullptr; }
CCategoryItem* CKxUninstMgr::FindCategory(const std::vector<CCategoryItem*>&, const std::wstring&, UINT) { return nullptr; }
