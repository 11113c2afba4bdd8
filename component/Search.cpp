// Placeholder until search lands.
#include "KxUninstMgr.h"

HRESULT CKxUninstMgr::Search(UINT, UINT, BSTR, UINT*, UINT*) { return E_NOTIMPL; }
