// The object's identity and the methods that only validate, record and queue, without a data component.
#include "ComponentTestUtil.h"

#include <oleauto.h>

#include <gtest/gtest.h>

using kxct::Queue;
using Pairs = std::vector<std::pair<UINT, UINT>>;

TEST(Object, AnswersItsTwoInterfacesWithIKxUninstMgrAsIdentity) {
    kxct::MgrRef mgr;
    IUnknown* pUnk = nullptr;
    ASSERT_EQ(mgr->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&pUnk)), S_OK);
    EXPECT_EQ(pUnk, static_cast<IUnknown*>(static_cast<IKxUninstMgr*>(mgr.get())));
    IKxListMgr* pList = nullptr;
    ASSERT_EQ(pUnk->QueryInterface(IID_IKxListMgr, reinterpret_cast<void**>(&pList)), S_OK);
    EXPECT_EQ(pList, static_cast<IKxListMgr*>(mgr.get()));
    IUnknown* pUnk2 = nullptr;
    ASSERT_EQ(pList->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&pUnk2)), S_OK);
    EXPECT_EQ(pUnk2, pUnk);
    IKxUninstMgr* pMgr = nullptr;
    ASSERT_EQ(pList->QueryInterface(IID_IKxUninstMgr, reinterpret_cast<void**>(&pMgr)), S_OK);
    EXPECT_EQ(pMgr, static_cast<IKxUninstMgr*>(mgr.get()));
    void* pOther = reinterpret_cast<void*>(1);
    EXPECT_EQ(pUnk->QueryInterface(IID_IDispatch, &pOther), E_NOINTERFACE);
    EXPECT_EQ(pOther, nullptr);
    EXPECT_EQ(pUnk->QueryInterface(IID_IKxDataMgr, &pOther), E_NOINTERFACE);
    EXPECT_EQ(pUnk->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
    pMgr->Release();
    pUnk2->Release();
    pList->Release();
    EXPECT_EQ(pUnk->Release(), 1u);  // the reference of MgrRef is left
}

TEST(Object, StartsWithTheDefaults) {
    kxct::MgrRef mgr;
    EXPECT_FALSE(mgr->m_bInited);
    EXPECT_FALSE(mgr->m_hDll);
    EXPECT_FALSE(mgr->m_pMesWnd);
    EXPECT_FALSE(mgr->m_hThread);
    EXPECT_FALSE(mgr->m_bListReady);
    EXPECT_TRUE(mgr->m_strCacheDir.empty());
    EXPECT_FALSE(mgr->m_hStopEvent);
    EXPECT_FALSE(mgr->m_pDataMgr);
    EXPECT_TRUE(mgr->m_vecTask.empty());
    EXPECT_TRUE(mgr->m_vecSweepId.empty());
}

TEST(Object, UninstallFailsAndQueuesNothingWithoutADataComponent) {
    kxct::MgrRef mgr;
    const size_t mark = kxct::LogMark();
    EXPECT_EQ(mgr->Uninstall(5), E_FAIL);
    mgr->m_bInited = TRUE;  // even a set flag does not lead to a missing data component
    EXPECT_EQ(mgr->Uninstall(5), E_FAIL);
    mgr->m_bInited = FALSE;
    EXPECT_TRUE(Queue(mgr.get()).empty());
    EXPECT_TRUE(kxct::LogMessages(mark, L"CKxUninstMgr::Uninstall").empty());
}

TEST(Object, OnNotifyDoesNothingWithoutADataComponent) {
    kxct::MgrRef mgr;
    EXPECT_EQ(mgr->OnNotify(8, 0x40, 7), S_OK);
    EXPECT_EQ(mgr->OnNotify(8, 0x40, 0), S_OK);
    EXPECT_EQ(mgr->OnNotify(4, 0x01, 7), S_OK);
    EXPECT_TRUE(Queue(mgr.get()).empty());
}

TEST(Object, PowerSweepKeepsTheNonZeroIdsAndQueuesTheSweep) {
    kxct::MgrRef mgr;
    EXPECT_EQ(mgr->PowerSweep(3, nullptr, 2), E_POINTER);
    EXPECT_TRUE(Queue(mgr.get()).empty());
    UINT ids[] = {0, 4, 0, 9};
    EXPECT_EQ(mgr->PowerSweep(3, ids, 4), S_OK);
    EXPECT_EQ(mgr->m_vecSweepId, (std::vector<UINT>{4, 9}));
    EXPECT_EQ(Queue(mgr.get()), (Pairs{{8, 3}}));
    // A count of 0 empties the selection and still queues (here: already queued).
    EXPECT_EQ(mgr->PowerSweep(3, nullptr, 0), S_OK);
    EXPECT_TRUE(mgr->m_vecSweepId.empty());
    EXPECT_EQ(mgr->PowerSweep(4, ids, 0), S_OK);
    EXPECT_EQ(Queue(mgr.get()), (Pairs{{8, 3}, {8, 4}}));
}

TEST(Object, IsLoadedReportsTheListFlagForAnyTypeAndRefreshClearsIt) {
    kxct::MgrRef mgr;
    EXPECT_EQ(mgr->IsLoaded(0x20, nullptr), E_POINTER);
    BOOL bLoaded = TRUE;
    EXPECT_EQ(mgr->IsLoaded(0x20, &bLoaded), S_OK);
    EXPECT_FALSE(bLoaded);
    mgr->m_bListReady = TRUE;
    EXPECT_EQ(mgr->IsLoaded(0x12345, &bLoaded), S_OK);
    EXPECT_TRUE(bLoaded);
    EXPECT_EQ(mgr->Refresh(), S_OK);
    EXPECT_EQ(mgr->IsLoaded(0x100, &bLoaded), S_OK);
    EXPECT_FALSE(bLoaded);
    EXPECT_EQ(Queue(mgr.get()), (Pairs{{6, 0}}));
}

TEST(Object, SetCacheDirCopiesTheTextAndReservedDoesNothing) {
    kxct::MgrRef mgr;
    BSTR bstr = SysAllocString(L"C:\\cache");
    EXPECT_EQ(mgr->SetCacheDir(bstr), S_OK);
    SysFreeString(bstr);
    EXPECT_EQ(mgr->m_strCacheDir, L"C:\\cache");
    EXPECT_EQ(mgr->SetCacheDir(nullptr), S_OK);
    EXPECT_EQ(mgr->m_strCacheDir, L"");
    EXPECT_EQ(mgr->Reserved(42), S_OK);
    EXPECT_TRUE(Queue(mgr.get()).empty());
}

TEST(Object, ActiveAndCancelSignalTheirEvents) {
    kxct::TaskRecorder recorder;
    kxct::MgrRef mgr;
    EXPECT_EQ(mgr->Active(1), S_OK);  // before Init: no event, nothing happens
    EXPECT_EQ(mgr->CancelUninstall(1), S_OK);
    ASSERT_EQ(mgr->Init(), S_OK);
    EXPECT_EQ(WaitForSingleObject(mgr->m_hActiveEvent.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(mgr->Active(7), S_OK);
    EXPECT_EQ(WaitForSingleObject(mgr->m_hActiveEvent.get(), 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(mgr->m_hActiveEvent.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));  // auto reset
    EXPECT_EQ(mgr->CancelUninstall(7), S_OK);
    EXPECT_EQ(WaitForSingleObject(mgr->m_hCancelEvent.get(), 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(mgr->m_hCancelEvent.get(), 0), WAIT_OBJECT_0);  // manual reset
    EXPECT_EQ(WaitForSingleObject(mgr->m_hStopEvent.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
    ASSERT_EQ(mgr->Uninit(), S_OK);
}
