// The list tasks over a real (overridden) registry: the full build from discovery and the single-software add.
#include <gtest/gtest.h>

#include <set>

#include "KxUninstStartup.h"
#include "ListTestSupport.h"
#include "kxtest/FakeDataMgr.h"
#include "kxtest/Log.h"
#include "kxtest/Pump.h"
#include "kxtest/RegistryOverride.h"
#include "kxtest/TempDir.h"

using listtest::MakeSoft;

namespace {

const wchar_t kUninstall[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

class ListTasksTest : public ::testing::Test {
protected:
    void SetUp() override { KxUninstStartup(nullptr); }
    std::wstring AddEntry(HKEY root, const std::wstring& subkey, const std::wstring& name,
                          const std::wstring& folder = L"") {
        std::wstring key = kUninstall + subkey;
        kxtest::SetString(root, key, L"DisplayName", name);
        if (!folder.empty()) kxtest::SetString(root, key, L"InstallLocation", folder);
        return (root == HKEY_CURRENT_USER ? L"HKEY_CURRENT_USER\\" : L"HKEY_LOCAL_MACHINE\\") + key;
    }
    kxtest::RegistryOverride registry;
    listtest::RecordingMgr mgr;
};

}  // namespace

TEST_F(ListTasksTest, ProgressEveryRecordUpToTenThenEveryTenthAndTheListReady) {
    const struct {
        int records;
        std::vector<int> progress;
    } cases[] = {{4, {}}, {7, {1, 2, 3, 4, 5, 6, 7}}, {50, {10, 20, 30, 40, 50}}};
    for (const auto& c : cases) {
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software");
        for (int i = 0; i < c.records; ++i) AddEntry(HKEY_LOCAL_MACHINE, L"app" + std::to_wstring(i), L"App " + std::to_wstring(i));
        listtest::RecordingMgr m;
        kxtest::LogMark log;
        m.TaskCreateUnList();
        std::vector<std::wstring> expected;
        for (int n : c.progress) expected.push_back(L"progress: [" + std::to_wstring(n) + L"/" + std::to_wstring(c.records) + L"]");
        std::vector<std::wstring> progress, messages = log.Messages(L"CKxUninstMgr::TaskCreateUnList");
        for (const auto& line : messages)
            if (line.rfind(L"progress: [", 0) == 0) progress.push_back(line);
        EXPECT_EQ(progress, expected) << c.records;
        EXPECT_EQ(messages.end()[-2], L"step.5 创建可卸载软件列表[" + std::to_wstring(c.records) + L"]个");
        EXPECT_EQ(m.m_vecSoft.size(), static_cast<size_t>(c.records));
        EXPECT_TRUE(m.m_bListReady);
        EXPECT_EQ(m.notes, (kxtest::Notes{{0x1000001, 0}, {0x200001, 0}}));
    }
}

TEST_F(ListTasksTest, OwnComponentsNeverBecomeItemsInAnyCase) {
    AddEntry(HKEY_LOCAL_MACHINE, L"orvanecm", L"Suite helper");
    AddEntry(HKEY_CURRENT_USER, L"ORVANECM", L"Suite helper for the user");
    AddEntry(HKEY_LOCAL_MACHINE, L"pelMORA", L"Suite service");
    std::wstring kept = AddEntry(HKEY_LOCAL_MACHINE, L"OrvaneCmTools", L"Not ours");
    mgr.TaskCreateUnList();
    ASSERT_EQ(mgr.m_vecSoft.size(), 1u);
    EXPECT_EQ(mgr.m_vecSoft[0]->Key, kept);
}

TEST_F(ListTasksTest, SecondPassRefreshesSizeAndUseInsteadOfAdding) {
    kxtest::TempDir folder;
    kxtest::WriteFileBytes(folder / L"app.exe", "12345");
    std::wstring key = AddEntry(HKEY_LOCAL_MACHINE, L"viewer", L"Viewer", folder.Path());
    AddEntry(HKEY_CURRENT_USER, L"editor", L"Editor");
    // An item known before discovery (as from the cache), with no size yet and a name of its own.
    CSoftItem* known = MakeSoft(L"Old name", key);
    known->Size = 0, known->Use = 0, known->Folder = folder.Path() + L"\\";
    mgr.m_vecSoft.push_back(known);
    mgr.TaskCreateUnList();
    mgr.TaskCreateUnList();
    std::set<std::wstring> keys;
    for (CSoftItem* p : mgr.m_vecSoft) EXPECT_TRUE(keys.insert(p->Key).second) << p->Key.c_str();
    ASSERT_EQ(mgr.m_vecSoft.size(), 2u);
    EXPECT_EQ(mgr.m_vecSoft[0], known);
    EXPECT_EQ(known->Name, L"Old name");
    EXPECT_EQ(known->Size, 5);
    EXPECT_EQ(known->Use, 3u);
}

TEST_F(ListTasksTest, StopEventEndsThePassWithoutReadyNotification) {
    for (int i = 0; i < 3; ++i) AddEntry(HKEY_LOCAL_MACHINE, L"app" + std::to_wstring(i), L"App " + std::to_wstring(i));
    mgr.m_hStopEvent.reset(CreateEventW(nullptr, TRUE, TRUE, nullptr));
    kxtest::LogMark log;
    mgr.TaskCreateUnList();
    mgr.m_hStopEvent.reset();
    EXPECT_EQ(log.Messages(L"CKxUninstMgr::TaskCreateUnList").end()[-2], L"!!iErr code:[15]");
    EXPECT_FALSE(mgr.m_bListReady);
    EXPECT_TRUE(mgr.notes.empty());
}

class TaskAddTest : public ListTasksTest {
protected:
    void SetUp() override {
        ListTasksTest::SetUp();
        CSoftInfoItem& info = data.infos[42];
        info.MatchName = L"Photo Viewer", info.SoftId = L"sid-42", info.Id = 42, info.Category = L"图像";
        mgr.m_pDataMgr.reset(&data);
    }
    void TearDown() override { (void)mgr.m_pDataMgr.detach(); }
    kxtest::FakeDataMgr data;
};

// The old item of the id and one of the same subkey name go (removal notes), the discovered one comes (an add).
TEST_F(TaskAddTest, ExistingItemIsReplacedRemovalsThenTheAdd) {
    std::wstring key = AddEntry(HKEY_LOCAL_MACHINE, L"PhotoViewer", L"Photo Viewer");
    AddEntry(HKEY_LOCAL_MACHINE, L"other", L"Other");
    mgr.m_vecSoft = {MakeSoft(L"Photo Viewer (old)", L"HKEY_LOCAL_MACHINE\\Elsewhere\\pv-old", L"其他", 42),
                     MakeSoft(L"Unrelated", L"HKEY_LOCAL_MACHINE\\X\\unrelated", L"其他", 5),
                     MakeSoft(L"Same subkey", L"HKEY_CURRENT_USER\\Y\\PhotoViewer", L"其他", 6)};
    mgr.TaskAdd(42);
    EXPECT_EQ(mgr.SoftNotes(), (kxtest::Notes{{0x200008, 42}, {0x200008, 6}, {0x200004, 42}}));
    ASSERT_EQ(mgr.m_vecSoft.size(), 2u);
    EXPECT_EQ(mgr.m_vecSoft[0]->Name, L"Unrelated");
    const CSoftItem& added = *mgr.m_vecSoft[1];
    EXPECT_EQ(std::make_tuple(added.Key, added.Id, added.SoftId, added.Category),
              std::make_tuple(key, 42u, std::wstring(L"sid-42"), std::wstring(L"图像")));
}

TEST_F(TaskAddTest, ExactNameBeatsAnEarlierPartialMatch) {
    AddEntry(HKEY_LOCAL_MACHINE, L"a-pv", L"A Photo Viewer Plus");
    std::wstring exact = AddEntry(HKEY_LOCAL_MACHINE, L"pv", L"Photo Viewer");
    AddEntry(HKEY_LOCAL_MACHINE, L"z-pv", L"Z Photo Viewer Lite");
    mgr.TaskAdd(42);
    ASSERT_EQ(mgr.m_vecSoft.size(), 1u);
    EXPECT_EQ(mgr.m_vecSoft[0]->Key, exact);
}

TEST_F(TaskAddTest, NoMatchingRecordOrUnknownIdChangesNothing) {
    AddEntry(HKEY_LOCAL_MACHINE, L"other", L"Other");
    mgr.m_vecSoft = {MakeSoft(L"Photo Viewer", L"HKEY_LOCAL_MACHINE\\X\\pv", L"其他", 42)};
    mgr.TaskAdd(42);
    mgr.TaskAdd(43);
    EXPECT_TRUE(mgr.notes.empty());
    ASSERT_EQ(mgr.m_vecSoft.size(), 1u);
    EXPECT_EQ(mgr.m_vecSoft[0]->Name, L"Photo Viewer");
}
