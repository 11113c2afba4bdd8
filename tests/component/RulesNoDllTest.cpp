// The rule tasks in an install without KxData.dll.
#include <windows.h>

#include <gtest/gtest.h>

#include "KxUninstMgr.h"
#include "KxUninstStartup.h"
#include "ScopedHandle.h"
#include "kxtest/HostLayout.h"
#include "kxtest/Log.h"
#include "kxtest/Pump.h"
#include "kxtest/TempDir.h"

TEST(RulesWithoutKxData, TaskInitLogsThePathAndGives23AndTheObjectStillRuns) {
    KxUninstStartup(nullptr);
    ASSERT_FALSE(kxtest::PathExists(kxtest::ExeFolder() + L"KxData.dll"));
    CKxUninstMgr* pNew = new CKxUninstMgr();
    pNew->AddRef();
    kx::com_ptr<CKxUninstMgr> p;
    p.reset(pNew);  // takes over the reference
    kxtest::LogMark log;
    p->TaskInit();
    EXPECT_FALSE(p->m_hDll || p->m_pDataMgr || p->m_bInited);
    EXPECT_EQ(log.Lines(L"step.1 LoadLibrary:[" + kxtest::ExeFolder() + L"KxData.dll], m_hDll=[0x0]").size(), 1u);
    EXPECT_EQ(log.Lines(L"!!iErr code:[23]").size(), 1u);
    EXPECT_FALSE(log.Has(L"step.2"));
    p->TaskGetUnRules();
    EXPECT_EQ(log.Lines(L"!!iErr code:[101]").size(), 1u);

    // Through Init and Uninit: the exit task runs its own steps and skips the data component's.
    kxtest::LogMark run;
    ASSERT_EQ(p->Init(), S_OK);
    kxtest::PumpUntil([&] { return run.Has(L"!!iErr code:[23]"); }, 5000);
    EXPECT_EQ(p->Uninstall(5001), E_FAIL);
    ASSERT_EQ(p->Uninit(), S_OK);
    EXPECT_EQ(run.Lines(L"step.5 释放KxData.dll").size(), 1u);
    EXPECT_EQ(run.Messages(L"CKxUninstMgr::TaskFree").back(), L"End");
}
