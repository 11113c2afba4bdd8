// The rule tasks driven the way the host drives them: Init, the data component's notifications to the real
// message window, shutdown while the rules are still loading, and the two host calls that ask the data
// component for a state (Uninstall, OnNotify).
#include <windows.h>

#include <gtest/gtest.h>

#include "ComponentTestUtil.h"
#include "KxUninstMgr.h"
#include "kxtest/DataDll.h"
#include "kxtest/Log.h"
#include "kxtest/Processes.h"
#include "kxtest/Pump.h"
#include "kxtest/RegistryOverride.h"

using kxct::Pairs;

namespace {

class RulesFlow : public ::testing::Test {
protected:
    void SetUp() override { kxtest::WriteRules(kxtest::RulesText(120)); }
    void TearDown() override {
        m_p->Uninit();
        // Tasks called straight from the test thread leave the data component to the test.
        m_p->ReleaseDataComponent();
        m_p->m_hDll.reset();
        SetEnvironmentVariableW(L"KXDATA_LOAD_DELAY", nullptr);
        DeleteFileW(kxtest::RulesPath().c_str());
    }
    kxtest::RegistryOverride m_registry;
    kxct::MgrRef m_p;
};

}  // namespace

// Loaded, appended (only the new rules fetched), changed (cleared, all fetched from 0): each notification is
// logged by the message window and leads to its fetch.
TEST_F(RulesFlow, RulesArriveThroughTheMessageWindowAndFollowTheFile) {
    SetEnvironmentVariableW(L"KXDATA_LOAD_DELAY", L"300");  // not loaded yet when TaskInit asks
    std::string edited = kxtest::RulesText(125);
    edited.replace(edited.find("Program 3"), 9, "Program 3x");
    const struct {
        std::string rules;  // written before the step; empty: Init
        const wchar_t* notification;
        const wchar_t* fetch;
    } steps[] = {
        {"", L"WM_LISTMGR, type=4, act=1", L"step.3 卸载规则更新完成, size=120"},
        {kxtest::RulesText(125), L"WM_LISTMGR, type=4, act=4", L"step.2 IKxListMgr nNewSize=125, nCurSize=120"},
        {edited, L"WM_LISTMGR, type=4, act=10", L"step.2 IKxListMgr nNewSize=125, nCurSize=0"},
    };
    for (const auto& s : steps) {
        kxtest::LogMark log;
        if (s.rules.empty()) ASSERT_EQ(m_p->Init(), S_OK);
        else kxtest::WriteRules(s.rules);
        ASSERT_TRUE(kxtest::PumpUntil([&] { return log.Has(s.fetch); }, 10000)) << kxtest::WideToUtf8(s.fetch);
        EXPECT_TRUE(log.Has(s.notification));
        if (s.rules.empty()) {
            EXPECT_TRUE(log.Has(L"step.4 初始化完成") && !log.Has(L"step.4 加载关心数据已经完成"));
        }
    }
}

TEST_F(RulesFlow, FiftyInitUninitRoundsWhileLoading) {
    SetEnvironmentVariableW(L"KXDATA_LOAD_DELAY", L"40");
    size_t threads = kxtest::ThreadCount();
    for (int round = 0; round < 50; ++round) {
        ASSERT_EQ(m_p->Init(), S_OK);
        kxtest::PumpFor(static_cast<DWORD>(round % 6) * 12);
        ASSERT_EQ(m_p->Uninit(), S_OK);
        ASSERT_EQ(GetModuleHandleW(L"KxData.dll"), nullptr) << round;
    }
    EXPECT_EQ(kxtest::ThreadCount(), threads);
}

TEST_F(RulesFlow, UninstallAsksTheDataComponentForState15) {
    m_p->TaskInit();  // no message window outside Init: connected, but not initialised
    ASSERT_TRUE(m_p->m_pDataMgr);
    EXPECT_EQ(m_p->Uninstall(5001), E_FAIL);
    EXPECT_TRUE(kxct::Queue(m_p.get()).empty());
    m_p->m_bInited = TRUE;
    kxtest::LogMark log;
    EXPECT_EQ(m_p->Uninstall(5001), S_OK);
    EXPECT_EQ(m_p->Uninstall(5001), S_OK);  // still queued: one task
    EXPECT_EQ(kxct::Queue(m_p.get()), (Pairs{{TASK_UNINSTALL, 5001}}));
    EXPECT_EQ(log.Lines(L"状态转换成功[5001]").size(), 2u);
    ASSERT_EQ(m_p->m_pDataMgr->SetSoftState(5001, 16), S_OK);  // the task works on it
    EXPECT_EQ(m_p->Uninstall(5001), E_FAIL);
    EXPECT_EQ(log.Messages(L"CKxUninstMgr::Uninstall"),
              (std::vector<std::wstring>{L"状态转换成功[5001]", L"状态转换成功[5001]", L"状态转换失败[5001]", L"当前状态[16]"}));
    EXPECT_EQ(kxct::Queue(m_p.get()).size(), 1u);
    m_p->m_bInited = FALSE;
    for (UINT t = 0, p = 0; t != TASK_EMPTY;) m_p->TaskPop(t, p);
}

TEST_F(RulesFlow, OnNotifyQueuesTaskAddForInstalledStatesOnly) {
    m_p->TaskInit();
    ASSERT_TRUE(m_p->m_pDataMgr);
    IKxDataMgr* data = m_p->m_pDataMgr.get();
    data->SetSoftState(5001, 8);
    data->SetSoftState(5002, 11);
    data->SetSoftState(5003, 15);
    for (UINT id : {5001u, 5002u, 5003u, 5004u, 0u}) EXPECT_EQ(m_p->OnNotify(DATA_SOFT_STATE, ACT_STATE_CHANGED, id), S_OK);
    m_p->OnNotify(DATA_UNINSTALL_RULE, ACT_STATE_CHANGED, 5001);
    m_p->OnNotify(DATA_SOFT_STATE, ACT_ITEM_CHANGED, 5002);
    EXPECT_EQ(kxct::Queue(m_p.get()), (Pairs{{TASK_ADD, 5001}, {TASK_ADD, 5002}}));
    for (UINT t = 0, p = 0; t != TASK_EMPTY;) m_p->TaskPop(t, p);
}
