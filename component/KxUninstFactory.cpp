#include "KxUninstFactory.h"

#include <new>

#include "ErrorEdge.h"
#include "KxUninstMgr.h"
#include "KxUninstModule.h"
#include "ScopedHandle.h"

CKxUninstFactory& CKxUninstFactory::Instance() {
    static CKxUninstFactory factory;
    return factory;
}

HRESULT CKxUninstFactory::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
        *ppv = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG CKxUninstFactory::AddRef() { return static_cast<ULONG>(CKxUninstModule::Instance().Lock()) + 1; }

ULONG CKxUninstFactory::Release() { return static_cast<ULONG>(CKxUninstModule::Instance().Unlock()) + 1; }

HRESULT CKxUninstFactory::CreateInstance(IUnknown* pOuter, REFIID riid, void** ppv) try {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    // An aggregated object can only be handed out as its own (inner) IUnknown.
    if (pOuter && !IsEqualIID(riid, IID_IUnknown)) return CLASS_E_NOAGGREGATION;
    CKxUninstMgr* pObject = new (std::nothrow) CKxUninstMgr(pOuter);
    if (!pObject) return E_OUTOFMEMORY;
    // The object starts with no reference: hold one while asking, so that a refused interface destroys it.
    kx::com_ptr<IUnknown> inner;
    pObject->GetInnerUnknown()->AddRef();
    inner.reset(pObject->GetInnerUnknown());
    return inner->QueryInterface(riid, ppv);
} KX_CATCH_RETURN()

HRESULT CKxUninstFactory::LockServer(BOOL bLock) {
    if (bLock)
        CKxUninstModule::Instance().Lock();
    else
        CKxUninstModule::Instance().Unlock();
    return S_OK;
}
