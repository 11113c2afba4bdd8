// Placeholder until the list cache lands.
#include "KxUninstMgr.h"

HRESULT CKxListMgr::DumpToDisk(UINT, UINT, BSTR) { return E_NOTIMPL; }
HRESULT CKxListMgr::LoadFromDisk(UINT, UINT, BSTR) { return E_NOTIMPL; }
int CKxUninstMgr::_DumpToDisk(UINT, CSerializer&) { return 1; }
int CKxUninstMgr::_LoadFromDisk(UINT, CSerializer&) { return 1; }
void CKxUninstMgr::TaskLoadCache() {}
std::wstring CKxUninstMgr::CacheFilePath(UINT) const { return std::wstring(); }
