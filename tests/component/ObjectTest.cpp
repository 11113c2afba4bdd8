// The methods that only validate, record and queue, without a data component.
#include "ComponentTestUtil.h"

#include <gtest/gtest.h>

#include "kxtest/Log.h"

using kxct::Pairs;
using kxct::Queue;

TEST(Object, MethodsThatOnlyRecordAndQueue) {
    kxct::MgrRef mgr;
    kxtest::LogMark log;
    // Without a data component: Uninstall fails, even with the flag set, and OnNotify does nothing.
    EXPECT_EQ(mgr->Uninstall(5), E_FAIL);
    mgr->m_bInited = TRUE;
    EXPECT_EQ(mgr->Uninstall(5), E_FAIL);
    mgr->m_bInited = FALSE;
    EXPECT_TRUE(log.Messages(L"CKxUninstMgr::Uninstall").empty());
    for (auto n : {std::make_tuple(8u, 0x40u, 7u), std::make_tuple(8u, 0x40u, 0u), std::make_tuple(4u, 0x01u, 7u)})
        EXPECT_EQ(mgr->OnNotify(std::get<0>(n), std::get<1>(n), std::get<2>(n)), S_OK);
    EXPECT_EQ(mgr->Reserved(42), S_OK);
    EXPECT_EQ(mgr->SetCacheDir(kx::MakeBstr(L"C:\\cache").get()), S_OK);
    EXPECT_EQ(mgr->m_strCacheDir, L"C:\\cache");
    EXPECT_EQ(mgr->SetCacheDir(nullptr), S_OK);
    EXPECT_EQ(mgr->m_strCacheDir, L"");
    EXPECT_TRUE(Queue(mgr.get()).empty());

    // PowerSweep keeps the non-zero ids and queues the sweep; a count of 0 empties the selection.
    EXPECT_EQ(mgr->PowerSweep(3, nullptr, 2), E_POINTER);
    UINT ids[] = {0, 4, 0, 9};
    EXPECT_EQ(mgr->PowerSweep(3, ids, 4), S_OK);
    EXPECT_EQ(mgr->m_vecSweepId, (std::vector<UINT>{4, 9}));
    EXPECT_EQ(mgr->PowerSweep(3, nullptr, 0), S_OK);
    EXPECT_TRUE(mgr->m_vecSweepId.empty());
    EXPECT_EQ(mgr->PowerSweep(4, ids, 0), S_OK);
    EXPECT_EQ(Queue(mgr.get()), (Pairs{{8, 3}, {8, 4}}));

    // IsLoaded answers the list flag for any type; Refresh clears it and queues a build.
    BOOL bLoaded = TRUE;
    EXPECT_EQ(mgr->IsLoaded(0x20, nullptr), E_POINTER);
    EXPECT_EQ(mgr->IsLoaded(0x20, &bLoaded), S_OK);
    EXPECT_FALSE(bLoaded);
    mgr->m_bListReady = TRUE;
    EXPECT_EQ(mgr->IsLoaded(0x12345, &bLoaded), S_OK);
    EXPECT_TRUE(bLoaded);
    EXPECT_EQ(mgr->Refresh(), S_OK);
    EXPECT_EQ(mgr->IsLoaded(0x100, &bLoaded), S_OK);
    EXPECT_FALSE(bLoaded);
    EXPECT_EQ(Queue(mgr.get()), (Pairs{{6, 0}, {8, 3}, {8, 4}}));
}

TEST(Object, ActiveAndCancelSignalTheirEvents) {
    kxct::TaskRecorder recorder;
    kxct::MgrRef mgr;
    EXPECT_EQ(mgr->Active(1), S_OK);  // before Init: no event, nothing happens
    EXPECT_EQ(mgr->CancelUninstall(1), S_OK);
    ASSERT_EQ(mgr->Init(), S_OK);
    auto signalled = [](const kx::unique_handle& h) { return WaitForSingleObject(h.get(), 0) == WAIT_OBJECT_0; };
    EXPECT_FALSE(signalled(mgr->m_hActiveEvent));
    EXPECT_EQ(mgr->Active(7), S_OK);
    EXPECT_TRUE(signalled(mgr->m_hActiveEvent));
    EXPECT_FALSE(signalled(mgr->m_hActiveEvent)) << "auto reset";
    EXPECT_EQ(mgr->CancelUninstall(7), S_OK);
    EXPECT_TRUE(signalled(mgr->m_hCancelEvent));
    EXPECT_TRUE(signalled(mgr->m_hCancelEvent)) << "manual reset";
    EXPECT_FALSE(signalled(mgr->m_hStopEvent));
    ASSERT_EQ(mgr->Uninit(), S_OK);
}
