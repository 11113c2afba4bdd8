// The DLL's exports and its class factory, called the way COM calls them (the DLL copy beside the test).
#include <gtest/gtest.h>

#include "KxUninstIf.h"
#include "kxtest/HostLayout.h"

namespace {

using PfnGetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
using PfnCanUnloadNow = HRESULT(STDAPICALLTYPE*)();

class Exports : public ::testing::Test {
protected:
    void SetUp() override {
        hDll_ = LoadLibraryW((kxtest::ExeFolder() + L"KxUninst.dll").c_str());
        ASSERT_NE(hDll_, nullptr);
        getClassObject_ = reinterpret_cast<PfnGetClassObject>(reinterpret_cast<void*>(GetProcAddress(hDll_, "DllGetClassObject")));
        canUnloadNow_ = reinterpret_cast<PfnCanUnloadNow>(reinterpret_cast<void*>(GetProcAddress(hDll_, "DllCanUnloadNow")));
        ASSERT_NE(getClassObject_, nullptr);
        ASSERT_NE(canUnloadNow_, nullptr);
        ASSERT_NE(GetProcAddress(hDll_, "DllRegisterServer"), nullptr);
        ASSERT_NE(GetProcAddress(hDll_, "DllUnregisterServer"), nullptr);
        ASSERT_EQ(getClassObject_(CLSID_KxUninstMgr, IID_IClassFactory, reinterpret_cast<void**>(&factory_)), S_OK);
    }
    void TearDown() override {
        if (factory_) factory_->Release();
        if (hDll_) {
            EXPECT_EQ(canUnloadNow_(), S_OK);
            FreeLibrary(hDll_);
        }
    }
    HMODULE hDll_ = nullptr;
    PfnGetClassObject getClassObject_ = nullptr;
    PfnCanUnloadNow canUnloadNow_ = nullptr;
    IClassFactory* factory_ = nullptr;
};

// An outer object that aggregates the component: it answers IUnknown itself and hands the rest to the inner.
class Outer : public IUnknown {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (IsEqualIID(riid, IID_IUnknown)) {
            *ppv = this;
            AddRef();
            return S_OK;
        }
        ++delegated;
        return inner ? inner->QueryInterface(riid, ppv) : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }
    ULONG refs = 1;
    int delegated = 0;
    IUnknown* inner = nullptr;
};

}  // namespace

TEST_F(Exports, GetClassObjectChecksItsArguments) {
    void* p = reinterpret_cast<void*>(1);
    EXPECT_EQ(getClassObject_(CLSID_KxUninstMgr, IID_IClassFactory, nullptr), E_POINTER);
    EXPECT_EQ(getClassObject_(CLSID_KxDataMgr, IID_IClassFactory, &p), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(p, nullptr);
    IUnknown* pUnk = nullptr;
    ASSERT_EQ(getClassObject_(CLSID_KxUninstMgr, IID_IUnknown, reinterpret_cast<void**>(&pUnk)), S_OK);
    EXPECT_EQ(static_cast<void*>(pUnk), static_cast<void*>(factory_));  // one cached factory
    pUnk->Release();
}

TEST_F(Exports, CreateInstanceResults) {
    EXPECT_EQ(factory_->CreateInstance(nullptr, IID_IKxUninstMgr, nullptr), E_POINTER);
    Outer outer;
    void* p = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory_->CreateInstance(&outer, IID_IKxUninstMgr, &p), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(p, nullptr);
    p = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory_->CreateInstance(nullptr, IID_IDispatch, &p), E_NOINTERFACE);
    EXPECT_EQ(p, nullptr);
    EXPECT_EQ(outer.refs, 1u);

    IKxListMgr* pList = nullptr;
    ASSERT_EQ(factory_->CreateInstance(nullptr, IID_IKxListMgr, reinterpret_cast<void**>(&pList)), S_OK);
    IUnknown* pUnk = nullptr;
    ASSERT_EQ(pList->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&pUnk)), S_OK);
    IKxUninstMgr* pMgr = nullptr;
    ASSERT_EQ(pList->QueryInterface(IID_IKxUninstMgr, reinterpret_cast<void**>(&pMgr)), S_OK);
    EXPECT_EQ(static_cast<void*>(pUnk), static_cast<void*>(pMgr));  // IUnknown is the IKxUninstMgr pointer
    EXPECT_EQ(canUnloadNow_(), S_FALSE);
    pMgr->Release();
    pUnk->Release();
    EXPECT_EQ(pList->Release(), 0u);
}

TEST_F(Exports, AnAggregatedObjectDelegatesToItsOuter) {
    Outer outer;
    IUnknown* pInner = nullptr;
    ASSERT_EQ(factory_->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&pInner)), S_OK);
    outer.inner = pInner;
    EXPECT_EQ(outer.refs, 1u);  // the inner unknown holds no reference on the outer

    IKxListMgr* pList = nullptr;
    ASSERT_EQ(pInner->QueryInterface(IID_IKxListMgr, reinterpret_cast<void**>(&pList)), S_OK);
    EXPECT_EQ(outer.refs, 2u);  // interfaces count on the outer object
    IUnknown* pIdentity = nullptr;
    ASSERT_EQ(pList->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&pIdentity)), S_OK);
    EXPECT_EQ(pIdentity, static_cast<IUnknown*>(&outer));
    EXPECT_EQ(outer.refs, 3u);
    IKxUninstMgr* pMgr = nullptr;
    const int before = outer.delegated;
    ASSERT_EQ(pList->QueryInterface(IID_IKxUninstMgr, reinterpret_cast<void**>(&pMgr)), S_OK);
    EXPECT_EQ(outer.delegated, before + 1);
    EXPECT_EQ(pMgr->SetCacheDir(nullptr), S_OK);
    pMgr->Release();
    pIdentity->Release();
    pList->Release();
    EXPECT_EQ(outer.refs, 1u);
    EXPECT_EQ(canUnloadNow_(), S_FALSE);
    EXPECT_EQ(pInner->Release(), 0u);
}

TEST_F(Exports, LockServerAndOutstandingFactoryReferencesKeepTheModule) {
    EXPECT_EQ(canUnloadNow_(), S_FALSE);  // the fixture holds the factory
    factory_->Release();
    factory_ = nullptr;
    EXPECT_EQ(canUnloadNow_(), S_OK);
    IClassFactory* pFactory = nullptr;
    ASSERT_EQ(getClassObject_(CLSID_KxUninstMgr, IID_IClassFactory, reinterpret_cast<void**>(&pFactory)), S_OK);
    EXPECT_EQ(pFactory->LockServer(TRUE), S_OK);
    pFactory->Release();
    EXPECT_EQ(canUnloadNow_(), S_FALSE);
    ASSERT_EQ(getClassObject_(CLSID_KxUninstMgr, IID_IClassFactory, reinterpret_cast<void**>(&pFactory)), S_OK);
    EXPECT_EQ(pFactory->LockServer(FALSE), S_OK);
    pFactory->Release();
    EXPECT_EQ(canUnloadNow_(), S_OK);
}
