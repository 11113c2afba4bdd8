// Placeholder until the component object lands: enough for the other pieces to link.
#define KX_LOG_SOURCE ".\\KxUninstMgr"
#include "KxUninstMgr.h"

CKxUninstMgr::CKxUninstMgr(IUnknown* pOuter) : m_pOuter(pOuter) {
    InitializeCriticalSection(&m_csList);
    InitializeCriticalSection(&m_csTask);
    InitializeCriticalSection(&m_csSweep);
}
CKxUninstMgr::~CKxUninstMgr() {
    DeleteCriticalSection(&m_csList);
    DeleteCriticalSection(&m_csTask);
    DeleteCriticalSection(&m_csSweep);
}
HRESULT CKxUninstMgr::QueryInterface(REFIID, void** ppv) { if (ppv) *ppv = nullptr; return E_NOINTERFACE; }
ULONG CKxUninstMgr::AddRef() { return ++m_cRef; }
ULONG CKxUninstMgr::Release() { ULONG n = --m_cRef; if (n == 0) delete this; return n; }
HRESULT CKxUninstMgr::Init() { return E_NOTIMPL; }
HRESULT CKxUninstMgr::Uninit() { return E_NOTIMPL; }
HRESULT CKxUninstMgr::Uninstall(UINT) { return E_NOTIMPL; }
HRESULT CKxUninstMgr::PowerSweep(UINT, UINT*, UINT) { return E_NOTIMPL; }
HRESULT CKxUninstMgr::SetCacheDir(BSTR) { return E_NOTIMPL; }
HRESULT CKxUninstMgr::Active(UINT) { return E_NOTIMPL; }
HRESULT CKxUninstMgr::Refresh() { return E_NOTIMPL; }
HRESULT CKxUninstMgr::CancelUninstall(UINT) { return E_NOTIMPL; }
HRESULT CKxUninstMgr::Reserved(UINT) { return S_OK; }
HRESULT CKxUninstMgr::OnNotify(UINT, UINT, UINT) { return E_NOTIMPL; }
HRESULT CKxUninstMgr::IsLoaded(UINT, BOOL*) { return E_NOTIMPL; }
void CKxUninstMgr::GetData(UINT, UINT) {}
