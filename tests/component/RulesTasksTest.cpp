// The rule tasks against the real KxData.dll beside this binary: connecting, incremental fetch, clear, stop,
// the result codes and step lines, both threads on the data component, and the rule and soft-list dumps.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>

#include "KxUninstMgr.h"
#include "KxUninstStartup.h"
#include "ListDump.h"
#include "SoftItem.h"
#include "UninstallRuleItem.h"
#include "kxtest/DataDll.h"
#include "kxtest/HostLayout.h"
#include "kxtest/Log.h"
#include "kxtest/Pump.h"

namespace {

class RuleTasks : public ::testing::Test {
protected:
    static void SetUpTestSuite() { KxUninstStartup(nullptr); }
    void SetUp() override {
        kxtest::SetDiagConfig(L"Dump", nullptr, 0);
        kxtest::WriteRules(kxtest::RulesText(120));
        m_p->AddRef();
    }
    void TearDown() override {
        // Tasks called straight from the test thread leave the data component to the test.
        m_p->TaskClearRules();
        m_p->ReleaseDataComponent();
        m_p->m_hDll.reset();
        m_p->m_hStopEvent.reset();
        m_p->Release();
        kxtest::SetDiagConfig(L"Dump", nullptr, 0);
        DeleteFileW(kxtest::RulesPath().c_str());
    }
    // The data component connected as TaskInit leaves it (without a message window it is not initialised:
    // nothing could hear the rules arrive), its rules loaded.
    void Connect() {
        m_p->TaskInit();
        ASSERT_TRUE(m_p->m_pDataMgr);
        if (!m_p->m_bInited) {
            ASSERT_EQ(m_p->m_pDataMgr->LoadData(DATA_UNINSTALL_RULE), S_OK);
        }
        ASSERT_TRUE(WaitForSize(120));
    }
    bool WaitForSize(UINT n) {
        kx::com_ptr<IKxListMgr> list;
        m_p->m_pDataMgr->QueryInterface(IID_IKxListMgr, list.put_void());
        return kxtest::PumpUntil([&] {
            UINT size = 0;
            BOOL loaded = FALSE;
            return SUCCEEDED(list->IsLoaded(DATA_UNINSTALL_RULE, &loaded)) && loaded &&
                   SUCCEEDED(list->GetSize(DATA_UNINSTALL_RULE, &size)) && size == n;
        }, 5000);
    }
    void Append(UINT nTotal) {
        kxtest::WriteRules(kxtest::RulesText(nTotal));
        m_p->m_pDataMgr->ReloadData(DATA_UNINSTALL_RULE);
        ASSERT_TRUE(WaitForSize(nTotal));
    }
    CKxUninstMgr* m_p = new CKxUninstMgr();
};

}  // namespace

TEST_F(RuleTasks, TaskInitConnectsTheDataComponent) {
    kxtest::LogMark log;
    m_p->TaskInit();
    auto step1 = log.Lines(L"step.1 LoadLibrary:[" + kxtest::ExeFolder() + L"KxData.dll], m_hDll=[0x");
    ASSERT_EQ(step1.size(), 1u);
    EXPECT_EQ(step1[0].find(L"m_hDll=[0x0]"), std::wstring::npos);
    EXPECT_TRUE(m_p->m_hDll && m_p->m_pDataMgr);
    EXPECT_TRUE(log.Has(L"step.2 IKxDataMgr初始化, hr=[0x0]"));
    // Nothing could hear the rules arrive without the message window: registration counts as failed.
    EXPECT_TRUE(log.Has(L"!!iErr code:[51]"));
    EXPECT_FALSE(m_p->m_bInited);
    // A second attempt starts again from the library and leaves one data component.
    m_p->TaskInit();
    EXPECT_TRUE(m_p->m_pDataMgr);
    EXPECT_EQ(log.Messages(L"CKxUninstMgr::TaskInit").back(), L"End");
}

// The fetch appends what the data component has beyond what is held; a dump of the rules when switched on.
TEST_F(RuleTasks, FetchesOnlyWhatIsNewUntilCleared) {
    Connect();
    kxtest::SetDiagConfig(L"Dump", L"UnRule", 1);
    kxtest::RemoveDumps(L"D_UnRule_");
    const struct {
        UINT total;      // rules in the file
        bool clearFirst;
        const wchar_t* step2;
        const wchar_t* result;  // the step-3 line, or the error code
        size_t held, dumps;
    } cases[] = {
        {120, false, L"step.2 IKxListMgr nNewSize=120, nCurSize=0", L"step.3 卸载规则更新完成, size=120", 120, 1},
        {120, false, L"step.2 IKxListMgr nNewSize=120, nCurSize=120", L"!!iErr code:[53]", 120, 0},
        {130, false, L"step.2 IKxListMgr nNewSize=130, nCurSize=120", L"step.3 卸载规则更新完成, size=130", 130, 1},
        {130, true, L"step.2 IKxListMgr nNewSize=130, nCurSize=0", L"step.3 卸载规则更新完成, size=130", 130, 1},
    };
    std::vector<CUninstallRuleItem*> held;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.step2);
        if (c.total != 120) Append(c.total);
        if (c.clearFirst) m_p->TaskClearRules(), held.clear();
        kxtest::LogMark log;
        m_p->TaskGetUnRules();
        EXPECT_TRUE(log.Has(L"step.1 取IKxListMgr, hr=0"));
        EXPECT_TRUE(log.Has(c.step2));
        EXPECT_TRUE(log.Has(c.result));
        EXPECT_EQ(log.Lines(L"!!iErr code:").size(), c.result[0] == L'!' ? 1u : 0u);
        ASSERT_EQ(m_p->m_vecRule.size(), c.held);
        EXPECT_TRUE(std::equal(held.begin(), held.end(), m_p->m_vecRule.begin())) << "the rules held stay";
        for (size_t i = held.size(); i < c.held; ++i) {
            EXPECT_EQ(m_p->m_vecRule[i]->Id, 5000 + i);
            EXPECT_EQ(m_p->m_vecRule[i]->SoftId, L"soft" + std::to_wstring(i));
        }
        held = m_p->m_vecRule;
        EXPECT_EQ(kxtest::DumpFiles(L"D_UnRule_").size(), c.dumps);
        kxtest::RemoveDumps(L"D_UnRule_");
    }
}

TEST_F(RuleTasks, StopEventGives15AndNoDataComponent101) {
    kxtest::LogMark none;
    m_p->TaskGetUnRules();
    EXPECT_TRUE(none.Has(L"!!iErr code:[101]"));
    EXPECT_FALSE(none.Has(L"step.1"));
    Connect();
    m_p->TaskGetUnRules();
    Append(130);
    m_p->m_hStopEvent.reset(CreateEventW(nullptr, TRUE, TRUE, nullptr));
    kxtest::LogMark log;
    m_p->TaskGetUnRules();
    EXPECT_TRUE(log.Has(L"!!iErr code:[15]"));
    EXPECT_FALSE(log.Has(L"step.3"));
    EXPECT_EQ(m_p->m_vecRule.size(), 120u) << "the rules held are kept";
}

// The two dumps, byte for byte: UTF-16 with a byte-order mark, one block per record.
TEST(ListDumps, ExactText) {
    KxUninstStartup(nullptr);
    std::vector<CUninstallRuleItem*> rules;
    for (UINT i = 0; i < 2; ++i) {
        auto* r = new CUninstallRuleItem();
        r->Id = 7 + i, r->DelTick = 3, r->TypeId = 2, r->SoftId = L"qq" + std::to_wstring(i), r->Hide = i;
        r->MatchType = 1, r->SoftLogo = L"logo.png", r->Brief = L"即时通讯", r->InfoUrl = L"https://im.qq.com/";
        r->UninstallName = L"腾讯QQ";
        rules.push_back(r);
    }
    CSoftItem a, b;
    a.Id = 12, a.SoftId = L"wechat", a.Name = L"微信", a.Size = 5368709120LL, a.Time = L"20261201";
    a.Category = L"聊天通讯", a.Icon = L"C:\\Wx\\WeChat.exe,0", a.Folder = L"C:\\Wx";
    a.Key = L"HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\WeChat";
    std::vector<CSoftItem*> soft = {&a, &b};
    const struct { const wchar_t* prefix; std::function<void()> dump; std::wstring text; } cases[] = {
        {L"D_UnRule_", [&] { DumpRuleList(rules); },
         L"Dump begin, Total Find: 2\r\n\r\n"
         L"No.0\r\nid:7, DelTick:3\r\nTypeId:2, SoftId:qq0, Hide:0, MatchType:1, SoftLogo:logo.png, Brief:即时通讯, "
         L"InfoUrl:https://im.qq.com/, UninstallName:腾讯QQ, LogoCrc:\r\n\r\n"
         L"No.1\r\nid:8, DelTick:3\r\nTypeId:2, SoftId:qq1, Hide:1, MatchType:1, SoftLogo:logo.png, Brief:即时通讯, "
         L"InfoUrl:https://im.qq.com/, UninstallName:腾讯QQ, LogoCrc:\r\n\r\nDump end\r\n"},
        {L"D_UnSoft_", [&] { DumpSoftList(soft); },
         L"Dump begin, Total Find: 2\r\n\r\n"
         L"No.0\tName:微信, size:5368709120, time:20261201\r\n\tCategory:聊天通讯\r\n\tIcon:C:\\Wx\\WeChat.exe,0\r\n"
         L"\tFolder:C:\\Wx\r\n\tKey:HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\WeChat\r\n"
         L"GUID:wechat\r\nID:12\r\n\r\n"
         L"No.1\tName:, size:0, time:\r\n\tCategory:\r\n\tIcon:\r\n\tFolder:\r\n\tKey:\r\nGUID:\r\nID:0\r\n\r\nDump end\r\n"},
    };
    for (const auto& c : cases) {
        kxtest::RemoveDumps(c.prefix);
        kxtest::SetDiagConfig(L"Dump", nullptr, 0);
        c.dump();
        EXPECT_TRUE(kxtest::DumpFiles(c.prefix).empty()) << "switched off";
        kxtest::SetDiagConfig(L"Dump", std::wstring(c.prefix).substr(2, 6).c_str(), 1);
        c.dump();
        auto files = kxtest::DumpFiles(c.prefix);
        ASSERT_EQ(files.size(), 1u);
        EXPECT_EQ(kxtest::ReadFileBytes(files[0]), "\xFF\xFE" + kxtest::Utf16Bytes(c.text));
        kxtest::RemoveDumps(c.prefix);
    }
    kxtest::SetDiagConfig(L"Dump", nullptr, 0);
    for (auto* r : rules) delete r;
}
