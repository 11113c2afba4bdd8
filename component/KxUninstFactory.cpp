#include "KxUninstFactory.h"

#include <new>

#include "ErrorEdge.h"
#include "KxUninstMgr.h"
#include "KxUninstModule.h"

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
    IUnknown* pInner = pObject->GetInnerUnknown();
    pInner->AddRef();
    HRESULT hr = pInner->QueryInterface(riid, ppv);
    pInner->Release();  // the object goes away here if the interface was refused
    return hr;
} KX_CATCH_RETURN()

HRESULT CKxUninstFactory::LockServer(BOOL bLock) {
    if (bLock)
        CKxUninstModule::Instance().Lock();
    else
        CKxUninstModule::Instance().Unlock();
    return S_OK;
}
