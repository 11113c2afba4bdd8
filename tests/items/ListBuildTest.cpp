// Token matching, the rule lookup and the item factory of the uninstallable list.
#include <gtest/gtest.h>

#include <memory>

#include "KxUninstStartup.h"
#include "KxUninstAPI.h"
#include "ListBuild.h"
#include "ListTestSupport.h"
#include "CategoryTable.h"
#include "kxtest/TempDir.h"

using listtest::MakeRule;
using listtest::RecordingMgr;
using listtest::TestDataMgr;

namespace {

TokenList Tokens(std::initializer_list<const wchar_t*> texts) {
    TokenList list;
    for (const wchar_t* t : texts) AddToken(list, t);
    return list;
}

UnItemInside Record(const std::wstring& name, const std::wstring& subkey) {
    UnItemInside r;
    r.DisplayName = name;
    r.UninstallKey = subkey;
    r.KeyPath = L"HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + subkey;
    r.InstallDate = L"2023-01-02";
    r.DisplayIcon = L"C:\\App\\app.exe, 0";
    r.InstallLocation = L"C:\\App\\";
    r.UninstallString = L"C:\\App\\uninst.exe /S";
    r.Size = 4096;
    r.Use = 3;
    return r;
}

}  // namespace

TEST(MatchTokens, ExactPairWinsEvenAfterAPartialPair) {
    EXPECT_EQ(MatchTokens(Tokens({L"abc"}), Tokens({L"xabcx", L"abc"})), 2);
}

TEST(MatchTokens, EmptyTextsNeverMatch) {
    EXPECT_EQ(MatchTokens(Tokens({L"abc"}), Tokens({L""})), 0);
    EXPECT_EQ(MatchTokens(Tokens({L""}), Tokens({L""})), 0);
    EXPECT_EQ(MatchTokens(Tokens({}), Tokens({L"abc"})), 0);
}

TEST(MatchTokens, SubstringEitherWayIsPartial) {
    EXPECT_EQ(MatchTokens(Tokens({L"abc"}), Tokens({L"xabcx"})), 1);
    EXPECT_EQ(MatchTokens(Tokens({L"xabcx"}), Tokens({L"abc"})), 1);
    EXPECT_EQ(MatchTokens(Tokens({L"abc"}), Tokens({L"abd"})), 0);
    // A later list element that is only partial does not lower an earlier partial to 0.
    EXPECT_EQ(MatchTokens(Tokens({L"abc", L"zzz"}), Tokens({L"xabcx"})), 1);
}

TEST(MatchTokens, TokensAreLowerCasedWhenAdded) {
    TokenList list = Tokens({L"Text EDITOR 2", L"中文 ABC"});
    EXPECT_EQ(list[0], L"text editor 2");
    EXPECT_EQ(list[1], L"中文 abc");
    EXPECT_EQ(MatchTokens(Tokens({L"NotePad"}), Tokens({L"notepad"})), 2);
}

TEST(KeyNameOf, TextAfterTheLastBackslash) {
    EXPECT_EQ(KeyNameOf(L"HKEY_CURRENT_USER\\Software\\X\\Uninstall\\App"), L"App");
    EXPECT_EQ(KeyNameOf(L"HKEY_CURRENT_USER\\Uninstall\\"), L"");
    EXPECT_EQ(KeyNameOf(L"NoBackslash"), L"");
}

class MatchRuleTest : public ::testing::Test {
protected:
    std::unique_ptr<CSoftItem> Item(const std::wstring& name, const std::wstring& key) {
        return std::unique_ptr<CSoftItem>(listtest::MakeSoft(name, key));
    }
    RecordingMgr mgr;
};

TEST_F(MatchRuleTest, ExactRuleAfterACandidateIsTheResult) {
    mgr.m_vecRule = {MakeRule(L"editor"), MakeRule(L"Text Editor 2")};
    auto item = Item(L"TEXT EDITOR 2", L"HKEY_LOCAL_MACHINE\\X\\te2");
    EXPECT_EQ(MatchRule(mgr.m_vecRule, *item, mgr.m_hStopEvent.get()), mgr.m_vecRule[1]);
}

TEST_F(MatchRuleTest, ExactRuleFirstStopsTheScan) {
    mgr.m_vecRule = {MakeRule(L"Text Editor 2"), MakeRule(L"editor")};
    auto item = Item(L"TEXT EDITOR 2", L"HKEY_LOCAL_MACHINE\\X\\te2");
    EXPECT_EQ(MatchRule(mgr.m_vecRule, *item, mgr.m_hStopEvent.get()), mgr.m_vecRule[0]);
}

TEST_F(MatchRuleTest, LastCandidateWinsWithoutAnExactRule) {
    mgr.m_vecRule = {MakeRule(L"edit"), MakeRule(L"nothing"), MakeRule(L"editor"), MakeRule(L"Zip")};
    auto item = Item(L"Text Editor 2", L"HKEY_LOCAL_MACHINE\\X\\te2");
    EXPECT_EQ(MatchRule(mgr.m_vecRule, *item, mgr.m_hStopEvent.get()), mgr.m_vecRule[2]);
}

TEST_F(MatchRuleTest, SubkeyNameMatchesToo) {
    mgr.m_vecRule = {MakeRule(L"{ABCDEF}"), MakeRule(L"7-zip")};
    auto item = Item(L"Archiver 7", L"HKEY_LOCAL_MACHINE\\Software\\Uninstall\\{abcdef}");
    EXPECT_EQ(MatchRule(mgr.m_vecRule, *item, mgr.m_hStopEvent.get()), mgr.m_vecRule[0]);
}

TEST_F(MatchRuleTest, EmptyNameAndKeyEndingInBackslashFindNoRule) {
    mgr.m_vecRule = {MakeRule(L"a"), MakeRule(L"Uninstall"), MakeRule(L"")};
    auto item = Item(L"", L"HKEY_LOCAL_MACHINE\\Software\\Uninstall\\");
    EXPECT_EQ(MatchRule(mgr.m_vecRule, *item, mgr.m_hStopEvent.get()), nullptr);
}

TEST_F(MatchRuleTest, StopEventEndsTheScanWithTheCandidateSoFar) {
    mgr.m_vecRule = {MakeRule(L"editor"), MakeRule(L"Text Editor 2")};
    mgr.m_hStopEvent.reset(CreateEventW(nullptr, TRUE, TRUE, nullptr));
    auto item = Item(L"TEXT EDITOR 2", L"HKEY_LOCAL_MACHINE\\X\\te2");
    EXPECT_EQ(MatchRule(mgr.m_vecRule, *item, mgr.m_hStopEvent.get()), nullptr);
    mgr.m_hStopEvent.reset();
}

class CreateSoftItemTest : public ::testing::Test {
protected:
    void SetUp() override { KxUninstStartup(nullptr); }
    std::unique_ptr<CSoftItem> Create(UnItemInside r) { return std::unique_ptr<CSoftItem>(CreateSoftItem(mgr.BuildContext(), &r)); }
    RecordingMgr mgr;
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
    auto item = Create(r);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->Virtual, 1);
    EXPECT_EQ(item->Time, r.InstallDate);
    EXPECT_EQ(item->Name, r.DisplayName);
    EXPECT_EQ(item->Icon, r.DisplayIcon);
    EXPECT_EQ(item->Key, r.KeyPath);
    EXPECT_EQ(item->Size, 4096);
    EXPECT_EQ(item->Use, 3u);
    EXPECT_EQ(item->Folder, r.InstallLocation);
    EXPECT_EQ(item->Category, L"其他");
    EXPECT_EQ(item->SoftId, r.GUID);
    EXPECT_EQ(item->Id, 0u);
    EXPECT_TRUE(item->Brief.empty());
    EXPECT_TRUE(item->InfoUrl.empty());

    r.Virtual = 2;
    EXPECT_EQ(Create(r)->Virtual, 0);
}

TEST_F(CreateSoftItemTest, NoRuleAndNoGuidGivesANewGuidText) {
    auto a = Create(Record(L"Viewer", L"viewer"));
    auto b = Create(Record(L"Viewer", L"viewer"));
    ASSERT_EQ(a->SoftId.size(), 36u) << a->SoftId.c_str();
    EXPECT_EQ(a->SoftId[8], L'-');
    EXPECT_EQ(a->SoftId.find_first_of(L"{}"), std::wstring::npos);
    EXPECT_NE(a->SoftId, b->SoftId);
}

TEST_F(CreateSoftItemTest, RuleGivesSoftIdTextsCategoryAndMissingIcon) {
    kxtest::TempDir dir;
    const std::wstring ini = L"[List]\r\n0.全部软件\r\n1.Games\r\n5.Tools\r\n";
    kxtest::WriteFileBytes(dir / L"category.ini",
                           "\xFF\xFE" + std::string(reinterpret_cast<const char*>(ini.data()), ini.size() * 2));
    LoadCategories((dir / L"category.ini").c_str());
    CUninstallRuleItem* rule = MakeRule(L"viewer", L"rule-soft-id", 5);
    rule->Brief = L"A viewer";
    rule->InfoUrl = L"http://example.invalid/viewer";
    rule->SoftLogo = L"logo.png";
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
    TestDataMgr data;
    data.ids[L"rule-soft-id"] = 77;
    data.infos[77].Category = L"Tools";
    mgr.m_pDataMgr.reset(&data);
    mgr.m_vecRule = {MakeRule(L"viewer", L"rule-soft-id", 5)};
    auto item = Create(Record(L"Viewer", L"viewer"));
    EXPECT_EQ(item->Id, 77u);
    EXPECT_EQ(item->Category, L"Tools");

    // An information record with an empty category still replaces the rule's.
    data.infos[77].Category.clear();
    EXPECT_EQ(Create(Record(L"Viewer", L"viewer"))->Category, L"");

    // An unknown software keeps id 0 and what the rule step gave.
    auto other = Create(Record(L"Other", L"other"));
    EXPECT_EQ(other->Id, 0u);
    EXPECT_EQ(other->Category, L"其他");
    (void)mgr.m_pDataMgr.detach();
}

TEST_F(CreateSoftItemTest, InformationRecordCrossesTheTransferBuffer) {
    TestDataMgr data;
    data.infos[9].MatchName = L"Viewer";
    data.infos[9].Category = L"图像";
    data.infos[9].SoftId = L"s9";
    mgr.m_pDataMgr.reset(&data);
    std::unique_ptr<CSoftInfoItem> info(GetItemFromKxData(mgr.m_pDataMgr.get(), 9));
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->MatchName, L"Viewer");
    EXPECT_EQ(info->Category, L"图像");
    EXPECT_EQ(info->SoftId, L"s9");
    EXPECT_EQ(GetItemFromKxData(mgr.m_pDataMgr.get(), 10), nullptr);
    (void)mgr.m_pDataMgr.detach();
    EXPECT_EQ(GetItemFromKxData(mgr.m_pDataMgr.get(), 9), nullptr);
}
