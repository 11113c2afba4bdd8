// The list tasks over a real (overridden) registry: the full build from discovery and the single-software add.
#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <set>

#include "KxUninstStartup.h"
#include "ListTestSupport.h"
#include "kxtest/HostLayout.h"
#include "kxtest/RegistryOverride.h"
#include "kxtest/TempDir.h"

using listtest::RecordingMgr;
using listtest::TestDataMgr;

namespace {

const wchar_t kUninstall[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

std::wstring RootName(HKEY root) { return root == HKEY_CURRENT_USER ? L"HKEY_CURRENT_USER" : L"HKEY_LOCAL_MACHINE"; }

class ListTasksTest : public ::testing::Test {
protected:
    void SetUp() override { KxUninstStartup(nullptr); }

    std::wstring AddEntry(HKEY root, const std::wstring& subkey, const std::wstring& name,
                          const std::wstring& folder = L"", bool withCommand = false) {
        std::wstring key = std::wstring(kUninstall) + subkey;
        kxtest::SetString(root, key, L"DisplayName", name);
        if (withCommand)
            kxtest::SetString(root, key, L"UninstallString", L"C:\\NoSuch\\" + subkey + L"\\uninst.exe /S");
        if (!folder.empty()) kxtest::SetString(root, key, L"InstallLocation", folder);
        return RootName(root) + L"\\" + key;
    }
    // Lines the component logged under a function since `from`, without their time prefix.
    std::vector<std::wstring> LinesOf(const wchar_t* function, size_t from) {
        std::vector<std::wstring> out;
        const std::wstring tag = std::wstring(L"[F.") + function + L"()] ";
        auto lines = kxtest::ReadLogLines(kxtest::ComponentLogPath());
        for (size_t i = from; i < lines.size(); ++i) {
            size_t at = lines[i].find(tag);
            if (at != std::wstring::npos) out.push_back(lines[i].substr(at + tag.size()));
        }
        return out;
    }
    std::vector<std::pair<WPARAM, LPARAM>> SoftNotes() {
        std::vector<std::pair<WPARAM, LPARAM>> out;
        for (const auto& n : mgr.notes)
            if ((n.first >> 16) == 0x20) out.push_back(n);
        return out;
    }

    kxtest::RegistryOverride registry;
    RecordingMgr mgr;
};

std::vector<std::wstring> ProgressLines(const std::vector<std::wstring>& lines) {
    std::vector<std::wstring> out;
    for (const auto& l : lines)
        if (l.rfind(L"progress: [", 0) == 0) out.push_back(l);
    return out;
}

std::vector<std::wstring> Expected(std::initializer_list<int> counts, int total) {
    std::vector<std::wstring> out;
    for (int c : counts) out.push_back(L"progress: [" + std::to_wstring(c) + L"/" + std::to_wstring(total) + L"]");
    return out;
}

}  // namespace

TEST_F(ListTasksTest, SevenRecordsLogEveryCountAndTheListIsReady) {
    for (int i = 0; i < 7; ++i) AddEntry(HKEY_LOCAL_MACHINE, L"app" + std::to_wstring(i), L"App " + std::to_wstring(i));
    size_t from = kxtest::ComponentLogLineCount();
    mgr.TaskCreateUnList();
    auto lines = LinesOf(L"CKxUninstMgr::TaskCreateUnList", from);
    EXPECT_EQ(ProgressLines(lines), Expected({1, 2, 3, 4, 5, 6, 7}, 7));
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines.front(), L"Begin");
    EXPECT_EQ(lines[lines.size() - 2], L"step.5 创建可卸载软件列表[7]个");
    EXPECT_EQ(lines.back(), L"End");
    EXPECT_EQ(mgr.m_vecSoft.size(), 7u);
    EXPECT_TRUE(mgr.m_bListReady);
    ASSERT_GE(mgr.notes.size(), 2u);
    EXPECT_EQ(mgr.notes[mgr.notes.size() - 2], std::make_pair(WPARAM(0x1000001), LPARAM(0)));
    EXPECT_EQ(mgr.notes.back(), std::make_pair(WPARAM(0x200001), LPARAM(0)));
}

TEST_F(ListTasksTest, FourRecordsLogNoProgress) {
    for (int i = 0; i < 4; ++i) AddEntry(HKEY_CURRENT_USER, L"app" + std::to_wstring(i), L"App " + std::to_wstring(i));
    size_t from = kxtest::ComponentLogLineCount();
    mgr.TaskCreateUnList();
    EXPECT_TRUE(ProgressLines(LinesOf(L"CKxUninstMgr::TaskCreateUnList", from)).empty());
    EXPECT_EQ(mgr.m_vecSoft.size(), 4u);
}

TEST_F(ListTasksTest, FiftyRecordsLogEveryTenth) {
    for (int i = 0; i < 50; ++i) AddEntry(HKEY_LOCAL_MACHINE, L"app" + std::to_wstring(i), L"App " + std::to_wstring(i));
    size_t from = kxtest::ComponentLogLineCount();
    mgr.TaskCreateUnList();
    EXPECT_EQ(ProgressLines(LinesOf(L"CKxUninstMgr::TaskCreateUnList", from)), Expected({10, 20, 30, 40, 50}, 50));
    EXPECT_EQ(mgr.m_vecSoft.size(), 50u);
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

TEST_F(ListTasksTest, SecondPassRefreshesInsteadOfAdding) {
    kxtest::TempDir folder;
    kxtest::WriteFileBytes(folder / L"app.exe", "12345");
    std::wstring key = AddEntry(HKEY_LOCAL_MACHINE, L"viewer", L"Viewer", folder.Path());
    AddEntry(HKEY_CURRENT_USER, L"editor", L"Editor");
    // An item known before discovery (as from the cache), with no size yet and a name of its own.
    CSoftItem* known = listtest::MakeSoft(L"Old name", key);
    known->Size = 0;
    known->Use = 0;
    known->Folder = folder.Path() + L"\\";
    mgr.m_vecSoft.push_back(known);

    mgr.TaskCreateUnList();
    mgr.TaskCreateUnList();
    std::set<std::wstring> keys;
    for (CSoftItem* p : mgr.m_vecSoft) EXPECT_TRUE(keys.insert(p->Key).second) << p->Key.c_str();
    ASSERT_EQ(mgr.m_vecSoft.size(), 2u);
    EXPECT_EQ(mgr.m_vecSoft[0], known);
    EXPECT_EQ(known->Name, L"Old name") << "a refresh changes only size and use";
    EXPECT_EQ(known->Size, 5);
    EXPECT_EQ(known->Use, 3u);
}

TEST_F(ListTasksTest, StopEventEndsThePassWithoutReadyNotification) {
    for (int i = 0; i < 3; ++i) AddEntry(HKEY_LOCAL_MACHINE, L"app" + std::to_wstring(i), L"App " + std::to_wstring(i));
    mgr.m_hStopEvent.reset(CreateEventW(nullptr, TRUE, TRUE, nullptr));
    size_t from = kxtest::ComponentLogLineCount();
    mgr.TaskCreateUnList();
    mgr.m_hStopEvent.reset();
    auto lines = LinesOf(L"CKxUninstMgr::TaskCreateUnList", from);
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2], L"!!iErr code:[15]");
    EXPECT_FALSE(mgr.m_bListReady);
    EXPECT_TRUE(mgr.notes.empty());
}

class TaskAddTest : public ListTasksTest {
protected:
    void SetUp() override {
        ListTasksTest::SetUp();
        data.infos[42].MatchName = L"Photo Viewer";
        data.infos[42].SoftId = L"sid-42";
        data.infos[42].Id = 42;
        data.infos[42].Category = L"图像";
        mgr.m_pDataMgr.reset(&data);
    }
    void TearDown() override { (void)mgr.m_pDataMgr.detach(); }
    TestDataMgr data;
};

TEST_F(TaskAddTest, ExistingItemIsReplacedRemovalThenAdded) {
    std::wstring key = AddEntry(HKEY_LOCAL_MACHINE, L"PhotoViewer", L"Photo Viewer", L"", true);
    AddEntry(HKEY_LOCAL_MACHINE, L"other", L"Other");
    mgr.m_vecSoft = {listtest::MakeSoft(L"Photo Viewer (old)", L"HKEY_LOCAL_MACHINE\\Elsewhere\\pv-old", L"其他", 42),
                     listtest::MakeSoft(L"Unrelated", L"HKEY_LOCAL_MACHINE\\X\\unrelated", L"其他", 5),
                     listtest::MakeSoft(L"Same subkey", L"HKEY_CURRENT_USER\\Y\\PhotoViewer", L"其他", 6)};
    size_t from = kxtest::ComponentLogLineCount();
    mgr.TaskAdd(42);

    auto notes = SoftNotes();
    ASSERT_EQ(notes.size(), 3u);
    EXPECT_EQ(notes[0], std::make_pair(WPARAM(0x200008), LPARAM(42)));
    EXPECT_EQ(notes[1], std::make_pair(WPARAM(0x200008), LPARAM(6)));
    EXPECT_EQ(notes[2], std::make_pair(WPARAM(0x200004), LPARAM(42)));
    ASSERT_EQ(mgr.m_vecSoft.size(), 2u);
    EXPECT_EQ(mgr.m_vecSoft[0]->Name, L"Unrelated");
    CSoftItem* added = mgr.m_vecSoft[1];
    EXPECT_EQ(added->Key, key);
    EXPECT_EQ(added->Id, 42u);
    EXPECT_EQ(added->SoftId, L"sid-42");
    EXPECT_EQ(added->Category, L"图像");

    auto lines = LinesOf(L"CKxUninstMgr::TaskAdd", from);
    std::vector<std::wstring> expected = {
        L"Begin",
        L"新加入的item: strKey[PhotoViewer] strUninstallCmd[C:\\NoSuch\\PhotoViewer\\uninst.exe /S]",
        L"已经存在的item: strKey[unrelated]",
        L"删除已经存在的item: strKey[PhotoViewer]",
        L"已经存在的item: strKey[PhotoViewer]",
        L"End"};
    EXPECT_EQ(lines, expected);
}

TEST_F(TaskAddTest, ExactNameBeatsAnEarlierPartialMatch) {
    AddEntry(HKEY_LOCAL_MACHINE, L"a-pv", L"A Photo Viewer Plus");
    std::wstring exact = AddEntry(HKEY_LOCAL_MACHINE, L"pv", L"Photo Viewer");
    AddEntry(HKEY_LOCAL_MACHINE, L"z-pv", L"Z Photo Viewer Lite");
    mgr.TaskAdd(42);
    ASSERT_EQ(mgr.m_vecSoft.size(), 1u);
    EXPECT_EQ(mgr.m_vecSoft[0]->Key, exact);
}

TEST_F(TaskAddTest, NoMatchingRecordChangesNothing) {
    AddEntry(HKEY_LOCAL_MACHINE, L"other", L"Other");
    mgr.m_vecSoft = {listtest::MakeSoft(L"Photo Viewer", L"HKEY_LOCAL_MACHINE\\X\\pv", L"其他", 42)};
    size_t from = kxtest::ComponentLogLineCount();
    mgr.TaskAdd(42);
    EXPECT_TRUE(mgr.notes.empty());
    ASSERT_EQ(mgr.m_vecSoft.size(), 1u);
    EXPECT_EQ(mgr.m_vecSoft[0]->Name, L"Photo Viewer");
    EXPECT_EQ(LinesOf(L"CKxUninstMgr::TaskAdd", from), (std::vector<std::wstring>{L"Begin", L"End"}));

    // An id the data component does not know changes nothing either.
    mgr.TaskAdd(43);
    EXPECT_TRUE(mgr.notes.empty());
}
