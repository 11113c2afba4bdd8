// Placeholder until the listener registry lands.
#include "KxListMgr.h"

CKxListMgr::CKxListMgr() { InitializeCriticalSection(&m_csListener); }
CKxListMgr::~CKxListMgr() { DeleteCriticalSection(&m_csListener); }
HRESULT CKxListMgr::AddListener(HWND, UINT) { return E_NOTIMPL; }
HRESULT CKxListMgr::RemoveListener(HWND, UINT) { return E_NOTIMPL; }
HRESULT CKxListMgr::Notify(WPARAM, LPARAM) { return E_NOTIMPL; }
HRESULT CKxListMgr::NotifyByType(UINT, WPARAM, LPARAM) { return E_NOTIMPL; }
