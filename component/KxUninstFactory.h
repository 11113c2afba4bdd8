// The class object of CKxUninstMgr: one static factory for the process, cached by the module. Its references
// lock the module, so a host holding it keeps the DLL loaded.
#pragma once

#include <unknwn.h>

class CKxUninstFactory : public IClassFactory {
public:
    static CKxUninstFactory& Instance();

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* pOuter, REFIID riid, void** ppv) override;
    HRESULT STDMETHODCALLTYPE LockServer(BOOL bLock) override;

private:
    CKxUninstFactory() = default;
};
