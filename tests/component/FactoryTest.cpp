// The DLL's exports and its class factory, called the way COM calls them (the DLL copy beside the test).
#include <gtest/gtest.h>

#include "KxUninstIf.h"
#include "ScopedHandle.h"
#include "kxtest/HostLayout.h"

namespace {

class Exports : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dll_);
        for (const char* name : {"DllRegisterServer", "DllUnregisterServer"}) ASSERT_NE(GetProcAddress(dll_.get(), name), nullptr);
        ASSERT_TRUE(getClassObject_ && canUnloadNow_);
        ASSERT_EQ(getClassObject_(CLSID_KxUninstMgr, IID_IClassFactory, factory_.put_void()), S_OK);
    }
    void TearDown() override {
        factory_.reset();
        EXPECT_EQ(canUnloadNow_(), S_OK);
    }
    template <class Fn>
    Fn Export(const char* name) { return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(dll_.get(), name))); }

    kx::unique_hmodule dll_{LoadLibraryW((kxtest::ExeFolder() + L"KxUninst.dll").c_str())};
    HRESULT(STDAPICALLTYPE* getClassObject_)(REFCLSID, REFIID, void**) = Export<decltype(getClassObject_)>("DllGetClassObject");
    HRESULT(STDAPICALLTYPE* canUnloadNow_)() = Export<decltype(canUnloadNow_)>("DllCanUnloadNow");
    kx::com_ptr<IClassFactory> factory_;
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

TEST_F(Exports, GetClassObjectAndCreateInstanceResults) {
    void* p = reinterpret_cast<void*>(1);
    EXPECT_EQ(getClassObject_(CLSID_KxUninstMgr, IID_IClassFactory, nullptr), E_POINTER);
    EXPECT_EQ(getClassObject_(CLSID_KxDataMgr, IID_IClassFactory, &p), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(p, nullptr);
    kx::com_ptr<IUnknown> unk;
    ASSERT_EQ(getClassObject_(CLSID_KxUninstMgr, IID_IUnknown, unk.put_void()), S_OK);
    EXPECT_EQ(static_cast<void*>(unk.get()), static_cast<void*>(factory_.get())) << "one cached factory";

    Outer outer;
    EXPECT_EQ(factory_->CreateInstance(nullptr, IID_IKxUninstMgr, nullptr), E_POINTER);
    for (auto [pOuter, iid, hr] : {std::make_tuple(static_cast<IUnknown*>(&outer), IID_IKxUninstMgr, CLASS_E_NOAGGREGATION),
                                   std::make_tuple(static_cast<IUnknown*>(nullptr), IID_IDispatch, E_NOINTERFACE)}) {
        p = reinterpret_cast<void*>(1);
        EXPECT_EQ(factory_->CreateInstance(pOuter, iid, &p), hr);
        EXPECT_EQ(p, nullptr);
    }
    EXPECT_EQ(outer.refs, 1u);
    kx::com_ptr<IKxListMgr> list;
    kx::com_ptr<IKxUninstMgr> mgr;
    ASSERT_EQ(factory_->CreateInstance(nullptr, IID_IKxListMgr, list.put_void()), S_OK);
    ASSERT_EQ(list->QueryInterface(IID_IUnknown, unk.put_void()), S_OK);
    ASSERT_EQ(list->QueryInterface(IID_IKxUninstMgr, mgr.put_void()), S_OK);
    EXPECT_EQ(static_cast<void*>(unk.get()), static_cast<void*>(mgr.get())) << "IUnknown is the IKxUninstMgr pointer";
    for (const IID& iid : {IID_IDispatch, IID_IKxDataMgr}) {
        p = reinterpret_cast<void*>(1);
        EXPECT_EQ(mgr->QueryInterface(iid, &p), E_NOINTERFACE);
        EXPECT_EQ(p, nullptr);
    }
    EXPECT_EQ(mgr->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
    EXPECT_EQ(canUnloadNow_(), S_FALSE);
    mgr.reset(), unk.reset();
    EXPECT_EQ(list.detach()->Release(), 0u);
}

TEST_F(Exports, AnAggregatedObjectDelegatesToItsOuter) {
    Outer outer;
    IUnknown* pInner = nullptr;
    ASSERT_EQ(factory_->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&pInner)), S_OK);
    outer.inner = pInner;
    EXPECT_EQ(outer.refs, 1u) << "the inner unknown holds no reference on the outer";
    {
        kx::com_ptr<IKxListMgr> list;
        kx::com_ptr<IUnknown> identity;
        kx::com_ptr<IKxUninstMgr> mgr;
        ASSERT_EQ(pInner->QueryInterface(IID_IKxListMgr, list.put_void()), S_OK);
        EXPECT_EQ(outer.refs, 2u) << "interfaces count on the outer object";
        ASSERT_EQ(list->QueryInterface(IID_IUnknown, identity.put_void()), S_OK);
        EXPECT_EQ(identity.get(), static_cast<IUnknown*>(&outer));
        ASSERT_EQ(list->QueryInterface(IID_IKxUninstMgr, mgr.put_void()), S_OK);
        EXPECT_EQ(outer.delegated, 1);
        EXPECT_EQ(mgr->SetCacheDir(nullptr), S_OK);
    }
    EXPECT_EQ(outer.refs, 1u);
    EXPECT_EQ(canUnloadNow_(), S_FALSE);
    EXPECT_EQ(pInner->Release(), 0u);
}

TEST_F(Exports, LockServerAndOutstandingFactoryReferencesKeepTheModule) {
    EXPECT_EQ(canUnloadNow_(), S_FALSE) << "the fixture holds the factory";
    factory_.reset();
    EXPECT_EQ(canUnloadNow_(), S_OK);
    for (BOOL bLock : {TRUE, FALSE}) {
        ASSERT_EQ(getClassObject_(CLSID_KxUninstMgr, IID_IClassFactory, factory_.put_void()), S_OK);
        EXPECT_EQ(factory_->LockServer(bLock), S_OK);
        factory_.reset();
        EXPECT_EQ(canUnloadNow_(), bLock ? S_FALSE : S_OK);
    }
}
