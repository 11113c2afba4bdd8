// The rule tasks driven the way the host drives them: Init, the data component's notifications to the real
// message window, shutdown while the rules are still loading, and the two host calls that ask the data
// component for a state (Uninstall, OnNotify).
#include <windows.h>

#include <gtest/gtest.h>

#include "KxDataTestKit.h"
#include "KxUninstMgr.h"
#include "KxUninstStartup.h"
#include "ScopedHandle.h"
#include "kxtest/HostLayout.h"
#include "kxtest/RegistryOverride.h"

using namespace kxdatatest;

namespace {

bool LogShows(const std::wstring& needle, size_t from, DWORD dwMs) {
    return PumpUntil([&] { return !kxtest::LogLinesContaining(needle, from).empty(); }, dwMs);
}

std::vector<TASK_ITEM> Queued(CKxUninstMgr* p) {
    kx::CritSecLock lock(p->m_csTask);
    std::vector<TASK_ITEM> tasks;
    for (const TASK_ITEM* t : p->m_vecTask) tasks.push_back(*t);
    return tasks;
}

class RulesFlow : public ::testing::Test {
protected:
    static void SetUpTestSuite() { KxUninstStartup(nullptr); }
    void SetUp() override {
        SetEnvironmentVariableW(L"KXDATA_RULES", nullptr);
        SetEnvironmentVariableW(L"KXDATA_LOAD_DELAY", nullptr);
        WriteRules(RulesText(120));
        m_p = new CKxUninstMgr();
        m_p->AddRef();
    }
    void TearDown() override {
        m_p->Uninit();
        // Tasks called straight from the test thread leave the data component to the test.
        ReleaseDataComponent(*m_p);
        m_p->Release();
        SetEnvironmentVariableW(L"KXDATA_RULES", nullptr);
        SetEnvironmentVariableW(L"KXDATA_LOAD_DELAY", nullptr);
        DeleteFileW(RulesPath().c_str());
    }
    kxtest::RegistryOverride m_registry;
    CKxUninstMgr* m_p = nullptr;
};

}  // namespace

TEST_F(RulesFlow, RulesArriveThroughTheMessageWindowAndFollowTheFile) {
    SetEnvironmentVariableW(L"KXDATA_LOAD_DELAY", L"300");  // not loaded yet when TaskInit asks
    size_t from = kxtest::ComponentLogLineCount();
    ASSERT_EQ(m_p->Init(), S_OK);
    ASSERT_TRUE(LogShows(L"step.3 卸载规则更新完成, size=120", from, 10000));
    EXPECT_FALSE(kxtest::LogLinesContaining(L"WM_LISTMGR, type=4, act=1", from).empty());
    EXPECT_TRUE(kxtest::LogLinesContaining(L"step.4 加载关心数据已经完成", from).empty());
    EXPECT_FALSE(kxtest::LogLinesContaining(L"step.4 初始化完成", from).empty());

    // Appended rules: only the new ones are fetched.
    from = kxtest::ComponentLogLineCount();
    WriteRules(RulesText(125));
    ASSERT_TRUE(LogShows(L"step.2 IKxListMgr nNewSize=125, nCurSize=120", from, 10000));
    EXPECT_FALSE(kxtest::LogLinesContaining(L"WM_LISTMGR, type=4, act=4", from).empty());

    // Changed rules: cleared, then all fetched from 0.
    from = kxtest::ComponentLogLineCount();
    std::string edited = RulesText(125);
    edited.replace(edited.find("Program 3"), 9, "Program 3x");
    WriteRules(edited);
    ASSERT_TRUE(LogShows(L"step.2 IKxListMgr nNewSize=125, nCurSize=0", from, 10000));
    EXPECT_FALSE(kxtest::LogLinesContaining(L"WM_LISTMGR, type=4, act=10", from).empty());
    EXPECT_FALSE(kxtest::LogLinesContaining(L"CKxUninstMgr::TaskClearRules", from).empty());
}

TEST_F(RulesFlow, ShippedRulesLoadOnInit) {
    std::wstring shipped = kxtest::ExeFolder() + L"shipped\\KxDataRules.txt";
    SetEnvironmentVariableW(L"KXDATA_RULES", shipped.c_str());
    size_t from = kxtest::ComponentLogLineCount();
    ASSERT_EQ(m_p->Init(), S_OK);
    ASSERT_TRUE(LogShows(L"step.3 卸载规则更新完成, size=", from, 10000));
    auto line = kxtest::LogLinesContaining(L"step.3 卸载规则更新完成, size=", from).front();
    EXPECT_GE(wcstoul(line.substr(line.rfind(L'=') + 1).c_str(), nullptr, 10), 150u);
}

TEST_F(RulesFlow, FiftyInitUninitRoundsWhileLoading) {
    SetEnvironmentVariableW(L"KXDATA_LOAD_DELAY", L"40");
    size_t threads = ThreadCount();
    for (int round = 0; round < 50; ++round) {
        ASSERT_EQ(m_p->Init(), S_OK);
        PumpUntil([] { return false; }, static_cast<DWORD>(round % 6) * 12);
        ASSERT_EQ(m_p->Uninit(), S_OK);
        ASSERT_EQ(GetModuleHandleW(L"KxData.dll"), nullptr) << round;
    }
    EXPECT_EQ(ThreadCount(), threads);
}

TEST_F(RulesFlow, UninstallAsksTheDataComponentForState15) {
    m_p->TaskInit();  // no message window outside Init: connected, but not initialised
    ASSERT_TRUE(m_p->m_pDataMgr);
    EXPECT_EQ(m_p->Uninstall(5001), E_FAIL);
    EXPECT_TRUE(Queued(m_p).empty());
    m_p->m_bInited = TRUE;

    size_t from = kxtest::ComponentLogLineCount();
    EXPECT_EQ(m_p->Uninstall(5001), S_OK);
    EXPECT_EQ(m_p->Uninstall(5001), S_OK);  // still queued: one task
    auto tasks = Queued(m_p);
    ASSERT_EQ(tasks.size(), 1u);
    EXPECT_EQ(tasks[0].nTask, TASK_UNINSTALL);
    EXPECT_EQ(tasks[0].nParam, 5001u);
    EXPECT_EQ(kxtest::LogLinesContaining(L"状态转换成功[5001]", from).size(), 2u);

    ASSERT_EQ(m_p->m_pDataMgr->SetSoftState(5001, 16), S_OK);  // the task works on it
    from = kxtest::ComponentLogLineCount();
    EXPECT_EQ(m_p->Uninstall(5001), E_FAIL);
    EXPECT_EQ(kxtest::LogLinesContaining(L"状态转换失败[5001]", from).size(), 1u);
    EXPECT_EQ(kxtest::LogLinesContaining(L"当前状态[16]", from).size(), 1u);
    EXPECT_EQ(Queued(m_p).size(), 1u);
    m_p->m_bInited = FALSE;
}

TEST_F(RulesFlow, OnNotifyQueuesTaskAddForInstalledStatesOnly) {
    m_p->TaskInit();
    ASSERT_TRUE(m_p->m_pDataMgr);
    IKxDataMgr* data = m_p->m_pDataMgr.get();
    data->SetSoftState(5001, 8);
    data->SetSoftState(5002, 11);
    data->SetSoftState(5003, 15);
    for (UINT id : {5001u, 5002u, 5003u, 5004u}) EXPECT_EQ(m_p->OnNotify(DATA_SOFT_STATE, ACT_STATE_CHANGED, id), S_OK);
    m_p->OnNotify(DATA_SOFT_STATE, ACT_STATE_CHANGED, 0);
    m_p->OnNotify(DATA_UNINSTALL_RULE, ACT_STATE_CHANGED, 5001);
    m_p->OnNotify(DATA_SOFT_STATE, ACT_ITEM_CHANGED, 5002);
    auto tasks = Queued(m_p);
    ASSERT_EQ(tasks.size(), 2u);
    EXPECT_EQ(tasks[0].nTask, TASK_ADD);
    EXPECT_EQ(tasks[0].nParam, 5001u);
    EXPECT_EQ(tasks[1].nTask, TASK_ADD);
    EXPECT_EQ(tasks[1].nParam, 5002u);
}
