// Token matching, the rule lookup and the item factory of the uninstallable list.
#include <gtest/gtest.h>

#include <memory>

#include "CategoryTable.h"
#include "KxUninstStartup.h"
#include "ListBuild.h"
#include "ListTestSupport.h"
#include "kxtest/FakeDataMgr.h"
#include "kxtest/Log.h"
#include "kxtest/TempDir.h"

using listtest::MakeRule;

namespace {

TokenList Tokens(std::initializer_list<const wchar_t*> texts) {
    TokenList list;
    for (const wchar_t* t : texts) AddToken(list, t);
    return list;
}

UnItemInside Record(const std::wstring& name, const std::wstring& subkey) {
    UnItemInside r;
    r.DisplayName = name, r.UninstallKey = subkey, r.InstallDate = L"2023-01-02", r.DisplayIcon = L"C:\\App\\app.exe, 0";
    r.KeyPath = L"HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + subkey;
    r.InstallLocation = L"C:\\App\\", r.UninstallString = L"C:\\App\\uninst.exe /S", r.Size = 4096, r.Use = 3;
    return r;
}

}  // namespace

TEST(MatchTokens, TwoForAnExactPairOneForASubstringEitherWay) {
    const struct {
        std::initializer_list<const wchar_t*> a, b;
        int result;
    } cases[] = {
        {{L"abc"}, {L"xabcx", L"abc"}, 2},  // an exact pair wins even after a partial one
        {{L"abc"}, {L"xabcx"}, 1},
        {{L"xabcx"}, {L"abc"}, 1},
        {{L"abc", L"zzz"}, {L"xabcx"}, 1},  // a later element matching nothing keeps the partial
        {{L"abc"}, {L"abd"}, 0},
        {{L"abc"}, {L""}, 0},  // empty texts never match
        {{L""}, {L""}, 0},
        {{}, {L"abc"}, 0},
        {{L"NotePad"}, {L"notepad"}, 2},  // lower-cased as they are added
    };
    for (const auto& c : cases) EXPECT_EQ(MatchTokens(Tokens(c.a), Tokens(c.b)), c.result) << *c.a.begin();
    EXPECT_EQ(Tokens({L"Text EDITOR 2", L"中文 ABC"}), (TokenList{L"text editor 2", L"中文 abc"}));
}

TEST(MatchRule, ExactRuleElseTheLastCandidate) {
    const struct {
        std::vector<const wchar_t*> rules;
        const wchar_t* name;
        const wchar_t* subkey;
        bool stop;
        int result;  // index of the rule, -1 for none
    } cases[] = {
        {{L"editor", L"Text Editor 2"}, L"TEXT EDITOR 2", L"te2", false, 1},  // exact after a candidate
        {{L"Text Editor 2", L"editor"}, L"TEXT EDITOR 2", L"te2", false, 0},  // exact first stops the scan
        {{L"edit", L"nothing", L"editor", L"Zip"}, L"Text Editor 2", L"te2", false, 2},
        {{L"{ABCDEF}", L"7-zip"}, L"Archiver 7", L"{abcdef}", false, 0},  // the subkey's name matches too
        {{L"a", L"Uninstall", L""}, L"", L"", false, -1},  // empty name, key ending in a backslash
        {{L"editor", L"Text Editor 2"}, L"TEXT EDITOR 2", L"te2", true, -1},  // stopped: the candidate so far
    };
    for (const auto& c : cases) {
        listtest::RecordingMgr mgr;
        for (const wchar_t* r : c.rules) mgr.m_vecRule.push_back(MakeRule(r));
        std::unique_ptr<CSoftItem> item(listtest::MakeSoft(c.name, std::wstring(L"HKEY_LOCAL_MACHINE\\Uninstall\\") + c.subkey));
        kx::unique_handle stop(CreateEventW(nullptr, TRUE, c.stop, nullptr));
        EXPECT_EQ(MatchRule(mgr.m_vecRule, *item, stop.get()), c.result < 0 ? nullptr : mgr.m_vecRule[c.result]) << c.name;
    }
}

class CreateSoftItemTest : public ::testing::Test {
protected:
    void SetUp() override { KxUninstStartup(nullptr); }
    std::unique_ptr<CSoftItem> Create(UnItemInside r) {
        return std::unique_ptr<CSoftItem>(CreateSoftItem(mgr.BuildContext(), &r));
    }
    listtest::RecordingMgr mgr;
};

TEST_F(CreateSoftItemTest, OwnComponentsAreNeverItemsInAnyCase) {
    for (const wchar_t* key : {L"OrvaneCm", L"orvanecm", L"ORVANECM", L"oRvAnEcM", L"Pelmora", L"PELMORA"})
        EXPECT_EQ(Create(Record(L"Suite part", key)), nullptr) << key;
    EXPECT_NE(Create(Record(L"Suite part", L"OrvaneCm2")), nullptr);
    EXPECT_EQ(CreateSoftItem(mgr.BuildContext(), nullptr), nullptr);
}

TEST_F(CreateSoftItemTest, FieldsFromTheRecordWithoutRule) {
    UnItemInside r = Record(L"Viewer", L"viewer");
    r.Virtual = 1;
    r.GUID = L"0D1C2B3A-0000-1111-2222-333344445555";
    CSoftItem expected;
    expected.Virtual = 1, expected.Time = r.InstallDate, expected.Name = r.DisplayName, expected.Icon = r.DisplayIcon;
    expected.Key = r.KeyPath, expected.Size = 4096, expected.Use = 3, expected.Folder = r.InstallLocation;
    expected.Category = L"其他", expected.SoftId = r.GUID;
    EXPECT_EQ(listtest::Bytes(*Create(r)), listtest::Bytes(expected));
    r.Virtual = 2;
    EXPECT_EQ(Create(r)->Virtual, 0);
    // Without a rule and a GUID: a new GUID's text.
    auto a = Create(Record(L"Viewer", L"viewer")), b = Create(Record(L"Viewer", L"viewer"));
    EXPECT_TRUE(a->SoftId.size() == 36 && a->SoftId[8] == L'-' && a->SoftId.find_first_of(L"{}") == std::wstring::npos)
        << a->SoftId.c_str();
    EXPECT_NE(a->SoftId, b->SoftId);
}

TEST_F(CreateSoftItemTest, RuleGivesSoftIdTextsCategoryAndMissingIcon) {
    kxtest::TempDir dir;
    kxtest::WriteUtf16File(dir / L"category.ini", L"[List]\r\n0.全部软件\r\n1.Games\r\n5.Tools\r\n");
    LoadCategories((dir / L"category.ini").c_str());
    CUninstallRuleItem* rule = MakeRule(L"viewer", L"rule-soft-id", 5);
    rule->Brief = L"A viewer", rule->InfoUrl = L"http://example.invalid/viewer", rule->SoftLogo = L"logo.png";
    mgr.m_vecRule = {rule};
    UnItemInside r = Record(L"Viewer", L"viewer");
    r.GUID = L"0D1C2B3A-0000-1111-2222-333344445555";
    auto item = Create(r);
    EXPECT_EQ(item->SoftId, L"rule-soft-id");
    EXPECT_EQ(item->Brief, L"A viewer");
    EXPECT_EQ(item->InfoUrl, L"http://example.invalid/viewer");
    EXPECT_EQ(item->Category, L"Tools");
    EXPECT_EQ(item->Icon, r.DisplayIcon) << "a record's own icon stays";
    r.DisplayIcon.clear();
    EXPECT_EQ(Create(r)->Icon, L"logo.png");
    LoadCategories(nullptr);
}

TEST_F(CreateSoftItemTest, DataComponentGivesIdAndCategory) {
    kxtest::FakeDataMgr data;
    data.ids[L"rule-soft-id"] = 77;
    data.infos[77].Category = L"Tools";
    data.infos[77].MatchName = L"Viewer";
    mgr.m_pDataMgr.reset(&data);
    mgr.m_vecRule = {MakeRule(L"viewer", L"rule-soft-id", 5)};
    auto item = Create(Record(L"Viewer", L"viewer"));
    EXPECT_EQ(item->Id, 77u);
    EXPECT_EQ(item->Category, L"Tools");
    // The information record crosses the transfer buffer whole.
    std::unique_ptr<CSoftInfoItem> info(GetItemFromKxData(&data, 77));
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->MatchName, L"Viewer");
    EXPECT_EQ(GetItemFromKxData(&data, 10), nullptr);
    EXPECT_EQ(GetItemFromKxData(nullptr, 77), nullptr);
    // An information record with an empty category still replaces the rule's.
    data.infos[77].Category.clear();
    EXPECT_EQ(Create(Record(L"Viewer", L"viewer"))->Category, L"");
    // An unknown software keeps id 0 and what the rule step gave.
    auto other = Create(Record(L"Other", L"other"));
    EXPECT_EQ(other->Id, 0u);
    EXPECT_EQ(other->Category, L"其他");
    (void)mgr.m_pDataMgr.detach();
}
