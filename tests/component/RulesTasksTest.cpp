// The rule tasks against the real KxData.dll beside this binary: connecting, incremental fetch, clear, stop,
// the result codes and step lines, both threads on the data component, and the rule and soft-list dumps.
#include <windows.h>
#include <initguid.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "KxDataTestKit.h"
#include "KxUninstMgr.h"
#include "KxUninstStartup.h"
#include "ListDump.h"
#include "SoftItem.h"
#include "UninstallRuleItem.h"
#include "kxtest/HostLayout.h"

using namespace kxdatatest;

namespace {

std::vector<std::wstring> Dumps(const wchar_t* prefix) {
    std::vector<std::wstring> files;
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((kxtest::LogFolder() + prefix + L"*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return files;
    do files.push_back(kxtest::LogFolder() + fd.cFileName);
    while (FindNextFileW(h, &fd));
    FindClose(h);
    return files;
}

void RemoveDumps(const wchar_t* prefix) {
    for (const auto& f : Dumps(prefix)) DeleteFileW(f.c_str());
}

std::string Utf16(const std::wstring& s) { return std::string(reinterpret_cast<const char*>(s.data()), s.size() * 2); }

// Log lines written since construction.
class LogMark {
public:
    LogMark() : m_nFrom(kxtest::ComponentLogLineCount()) {}
    std::vector<std::wstring> Lines(const std::wstring& needle) const {
        return kxtest::LogLinesContaining(needle, m_nFrom);
    }
    bool Has(const std::wstring& needle) const { return !Lines(needle).empty(); }

private:
    size_t m_nFrom;
};

class RuleTasks : public ::testing::Test {
protected:
    static void SetUpTestSuite() { KxUninstStartup(nullptr); }

    void SetUp() override {
        kxtest::SetDiagConfig(L"Dump", nullptr, 0);
        WriteRules(RulesText(120));
        m_p = new CKxUninstMgr();
        m_p->AddRef();
    }

    void TearDown() override {
        m_p->TaskClearRules();
        ReleaseDataComponent(*m_p);
        if (m_p->m_hStopEvent && m_bOwnStop) m_p->m_hStopEvent.reset();
        m_p->Release();
        kxtest::SetDiagConfig(L"Dump", nullptr, 0);
        DeleteFileW(RulesPath().c_str());
    }

    // The data component connected as TaskInit leaves it, with its rules loaded.
    void Connect() {
        m_p->TaskInit();
        ASSERT_TRUE(m_p->m_pDataMgr);
        if (!m_p->m_bInited) {
            ASSERT_EQ(m_p->m_pDataMgr->LoadData(DATA_UNINSTALL_RULE), S_OK);
        }
        ASSERT_TRUE(WaitForSize(120));
    }

    bool WaitForSize(UINT n) {
        IKxListMgr* list = nullptr;
        m_p->m_pDataMgr->QueryInterface(IID_IKxListMgr, reinterpret_cast<void**>(&list));
        bool ok = PumpUntil(
            [&] {
                UINT size = 0;
                BOOL loaded = FALSE;
                return SUCCEEDED(list->IsLoaded(DATA_UNINSTALL_RULE, &loaded)) && loaded &&
                       SUCCEEDED(list->GetSize(DATA_UNINSTALL_RULE, &size)) && size == n;
            },
            5000);
        list->Release();
        return ok;
    }

    void Append(UINT nTotal) {
        WriteRules(RulesText(nTotal));
        m_p->m_pDataMgr->ReloadData(DATA_UNINSTALL_RULE);
        ASSERT_TRUE(WaitForSize(nTotal));
    }

    CKxUninstMgr* m_p = nullptr;
    bool m_bOwnStop = false;
};

}  // namespace

TEST_F(RuleTasks, TaskInitConnectsTheDataComponent) {
    LogMark mark;
    m_p->TaskInit();
    auto step1 = mark.Lines(L"step.1 LoadLibrary:[" + kxtest::ExeFolder() + L"KxData.dll], m_hDll=[0x");
    ASSERT_EQ(step1.size(), 1u);
    EXPECT_EQ(step1[0].find(L"m_hDll=[0x0]"), std::wstring::npos);
    EXPECT_TRUE(m_p->m_hDll);
    ASSERT_TRUE(m_p->m_pDataMgr);
    EXPECT_TRUE(mark.Has(L"step.2 IKxDataMgr初始化, hr=[0x0]"));
    if (!m_p->m_pMesWnd) {
        // Nothing could hear the rules arrive without the message window: registration counts as failed.
        EXPECT_TRUE(mark.Has(L"!!iErr code:[51]"));
        EXPECT_FALSE(m_p->m_bInited);
        // A second attempt starts again from the library and leaves one data component.
        m_p->TaskInit();
        EXPECT_TRUE(m_p->m_pDataMgr);
    }
    auto ends = mark.Lines(L"CKxUninstMgr::TaskInit");
    ASSERT_FALSE(ends.empty());
    EXPECT_NE(ends.back().find(L"End"), std::wstring::npos);
}

TEST_F(RuleTasks, FetchesOnlyWhatIsNew) {
    Connect();
    kxtest::SetDiagConfig(L"Dump", L"UnRule", 1);
    RemoveDumps(L"D_UnRule_");
    {
        LogMark mark;
        m_p->TaskGetUnRules();
        ASSERT_EQ(m_p->m_vecRule.size(), 120u);
        EXPECT_TRUE(mark.Has(L"step.1 取IKxListMgr, hr=0"));
        EXPECT_TRUE(mark.Has(L"step.2 IKxListMgr nNewSize=120, nCurSize=0"));
        EXPECT_TRUE(mark.Has(L"step.3 卸载规则更新完成, size=120"));
        EXPECT_FALSE(mark.Has(L"!!iErr code:"));
        EXPECT_EQ(Dumps(L"D_UnRule_").size(), 1u);
    }
    for (UINT i = 0; i < 120; ++i) {
        ASSERT_EQ(m_p->m_vecRule[i]->Id, 5000 + i);
        ASSERT_EQ(m_p->m_vecRule[i]->UninstallName, L"Program " + std::to_wstring(i));
    }
    std::vector<CUninstallRuleItem*> held = m_p->m_vecRule;

    // 120 held, 120 reported: 53, nothing fetched, no dump.
    RemoveDumps(L"D_UnRule_");
    {
        LogMark mark;
        m_p->TaskGetUnRules();
        EXPECT_TRUE(mark.Has(L"step.2 IKxListMgr nNewSize=120, nCurSize=120"));
        EXPECT_TRUE(mark.Has(L"!!iErr code:[53]"));
        EXPECT_FALSE(mark.Has(L"step.3"));
        EXPECT_EQ(m_p->m_vecRule, held);
        EXPECT_TRUE(Dumps(L"D_UnRule_").empty());
    }

    // 130 reported: indices 120 to 129 appended, the held ones untouched.
    Append(130);
    {
        LogMark mark;
        m_p->TaskGetUnRules();
        EXPECT_TRUE(mark.Has(L"step.2 IKxListMgr nNewSize=130, nCurSize=120"));
        EXPECT_TRUE(mark.Has(L"step.3 卸载规则更新完成, size=130"));
    }
    ASSERT_EQ(m_p->m_vecRule.size(), 130u);
    EXPECT_TRUE(std::equal(held.begin(), held.end(), m_p->m_vecRule.begin()));
    for (UINT i = 120; i < 130; ++i) EXPECT_EQ(m_p->m_vecRule[i]->SoftId, L"soft" + std::to_wstring(i));
}

TEST_F(RuleTasks, ClearThenFetchReadsEveryRuleAgain) {
    Connect();
    m_p->TaskGetUnRules();
    ASSERT_EQ(m_p->m_vecRule.size(), 120u);
    LogMark mark;
    m_p->TaskClearRules();
    EXPECT_TRUE(m_p->m_vecRule.empty());
    m_p->TaskGetUnRules();
    EXPECT_TRUE(mark.Has(L"step.2 IKxListMgr nNewSize=120, nCurSize=0"));
    EXPECT_EQ(m_p->m_vecRule.size(), 120u);
    auto lines = mark.Lines(L"CKxUninstMgr::TaskClearRules");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find(L"Begin"), std::wstring::npos);
    EXPECT_NE(lines[1].find(L"End"), std::wstring::npos);
}

TEST_F(RuleTasks, StopEventEndsTheFetchWith15AndKeepsTheRules) {
    Connect();
    m_p->TaskGetUnRules();
    Append(130);
    m_p->m_hStopEvent.reset(CreateEventW(nullptr, TRUE, TRUE, nullptr));
    m_bOwnStop = true;
    LogMark mark;
    m_p->TaskGetUnRules();
    EXPECT_TRUE(mark.Has(L"!!iErr code:[15]"));
    EXPECT_FALSE(mark.Has(L"step.3"));
    EXPECT_EQ(m_p->m_vecRule.size(), 120u);
}

TEST_F(RuleTasks, NoDataComponentGives101) {
    LogMark mark;
    m_p->TaskGetUnRules();
    EXPECT_TRUE(mark.Has(L"!!iErr code:[101]"));
    EXPECT_FALSE(mark.Has(L"step.1"));
}

TEST_F(RuleTasks, WorkerAndHostThreadCallTheDataComponentAtOnce) {
    Connect();
    IKxDataMgr* data = m_p->m_pDataMgr.get();
    IKxListMgr* list = nullptr;
    data->QueryInterface(IID_IKxListMgr, reinterpret_cast<void**>(&list));
    std::atomic<bool> done{false};
    std::thread worker([&] {
        for (int i = 0; i < 15; ++i) {
            m_p->TaskClearRules();
            m_p->TaskGetUnRules();
        }
        done = true;
    });
    int calls = 0, failures = 0;
    std::vector<BYTE> buf(KX_DATA_BUFFER_SIZE);
    while (!done) {
        UINT id = 5000 + calls % 120;
        if (data->SetSoftState(id, 15) != S_OK) ++failures;
        KX_SOFT_STATE s = {};
        data->GetSoftState(id, &s);
        if (s.nState != 15) ++failures;
        data->SetSoftState(id, 16);
        data->SetSoftState(id, 19);
        if (FAILED(list->GetItemById(DATA_SOFT_INFO, id, buf.data(), KX_DATA_BUFFER_SIZE))) ++failures;
        ++calls;
    }
    worker.join();
    list->Release();
    EXPECT_GT(calls, 0);
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(m_p->m_vecRule.size(), 120u);
}

TEST_F(RuleTasks, RuleDumpExactText) {
    for (UINT i = 0; i < 2; ++i) {
        auto* r = new CUninstallRuleItem();
        r->Id = 7 + i;
        r->DelTick = 3;
        r->TypeId = 2;
        r->SoftId = L"qq" + std::to_wstring(i);
        r->Hide = i;
        r->MatchType = 1;
        r->SoftLogo = L"logo.png";
        r->Brief = L"即时通讯";
        r->InfoUrl = L"https://im.qq.com/";
        r->UninstallName = L"腾讯QQ";
        r->LogoCrc = L"";
        m_p->m_vecRule.push_back(r);
    }
    RemoveDumps(L"D_UnRule_");
    DumpRuleList(m_p->m_vecRule);
    EXPECT_TRUE(Dumps(L"D_UnRule_").empty());  // switch off

    kxtest::SetDiagConfig(L"Dump", L"UnRule", 1);
    DumpRuleList(m_p->m_vecRule);
    auto files = Dumps(L"D_UnRule_");
    ASSERT_EQ(files.size(), 1u);
    std::wstring text =
        L"Dump begin, Total Find: 2\r\n\r\n"
        L"No.0\r\nid:7, DelTick:3\r\nTypeId:2, SoftId:qq0, Hide:0, MatchType:1, SoftLogo:logo.png, Brief:即时通讯, "
        L"InfoUrl:https://im.qq.com/, UninstallName:腾讯QQ, LogoCrc:\r\n\r\n"
        L"No.1\r\nid:8, DelTick:3\r\nTypeId:2, SoftId:qq1, Hide:1, MatchType:1, SoftLogo:logo.png, Brief:即时通讯, "
        L"InfoUrl:https://im.qq.com/, UninstallName:腾讯QQ, LogoCrc:\r\n\r\n"
        L"Dump end\r\n";
    EXPECT_EQ(kxtest::ReadFileBytes(files[0]), "\xFF\xFE" + Utf16(text));
    RemoveDumps(L"D_UnRule_");
}

TEST_F(RuleTasks, SoftListDumpExactText) {
    auto* a = new CSoftItem();
    a->Id = 12;
    a->SoftId = L"wechat";
    a->Name = L"微信";
    a->Size = 5368709120LL;
    a->Time = L"20261201";
    a->Category = L"聊天通讯";
    a->Icon = L"C:\\Wx\\WeChat.exe,0";
    a->Folder = L"C:\\Wx";
    a->Key = L"HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\WeChat";
    auto* b = new CSoftItem();
    m_p->m_vecSoft = {a, b};
    RemoveDumps(L"D_UnSoft_");
    kxtest::SetDiagConfig(L"Dump", L"UnSoft", 1);
    DumpSoftList(m_p->m_vecSoft);
    auto files = Dumps(L"D_UnSoft_");
    ASSERT_EQ(files.size(), 1u);
    std::wstring text =
        L"Dump begin, Total Find: 2\r\n\r\n"
        L"No.0\tName:微信, size:5368709120, time:20261201\r\n\tCategory:聊天通讯\r\n\tIcon:C:\\Wx\\WeChat.exe,0\r\n"
        L"\tFolder:C:\\Wx\r\n\tKey:HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\WeChat\r\n"
        L"GUID:wechat\r\nID:12\r\n\r\n"
        L"No.1\tName:, size:0, time:\r\n\tCategory:\r\n\tIcon:\r\n\tFolder:\r\n\tKey:\r\nGUID:\r\nID:0\r\n\r\n"
        L"Dump end\r\n";
    EXPECT_EQ(kxtest::ReadFileBytes(files[0]), "\xFF\xFE" + Utf16(text));
    RemoveDumps(L"D_UnSoft_");
    for (CSoftItem* s : m_p->m_vecSoft) delete s;
    m_p->m_vecSoft.clear();
}

TEST_F(RuleTasks, ShippedRulesArriveWhole) {
    std::wstring shipped = kxtest::ExeFolder() + L"shipped\\KxDataRules.txt";
    SetEnvironmentVariableW(L"KXDATA_RULES", shipped.c_str());
    m_p->TaskInit();
    ASSERT_TRUE(m_p->m_pDataMgr);
    if (!m_p->m_bInited) m_p->m_pDataMgr->LoadData(DATA_UNINSTALL_RULE);
    IKxListMgr* list = nullptr;
    m_p->m_pDataMgr->QueryInterface(IID_IKxListMgr, reinterpret_cast<void**>(&list));
    ASSERT_TRUE(PumpUntil([&] { BOOL b = FALSE; return SUCCEEDED(list->IsLoaded(4, &b)) && b; }, 5000));
    list->Release();
    SetEnvironmentVariableW(L"KXDATA_RULES", nullptr);
    LogMark mark;
    m_p->TaskGetUnRules();
    ASSERT_GE(m_p->m_vecRule.size(), 150u);
    EXPECT_TRUE(mark.Has(L"step.3 卸载规则更新完成, size=" + std::to_wstring(m_p->m_vecRule.size())));
}
