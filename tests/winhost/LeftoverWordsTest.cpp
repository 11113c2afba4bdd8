// The leftover dialog's words from its string table: both languages carry every text with the same conversions
// (a translation that drops or reorders one would crash or garble the formatting), and the summary of a sweep
// reads as it should.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "LeftoverStrings.h"
#include "LeftoverWords.h"
#include "UiText.h"
#include "WinText.h"

namespace {

const LANGID kChinese = MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED);
const LANGID kEnglish = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);

TextOf In(LANGID lang) {
    return [lang](UINT nId) { return UiStringIn(GetModuleHandleW(nullptr), nId, lang); };
}

// The conversions of a format text in order: "%s%u".
std::wstring Conversions(const std::wstring& text) {
    std::wstring out;
    for (size_t i = 0; i + 1 < text.size(); ++i)
        if (text[i] == L'%') out += text.substr(i, 2), ++i;
    return out;
}

TEST(LeftoverWords, BothLanguagesHaveEveryTextWithTheSameConversions) {
    size_t nTexts = 0;
    for (UINT id = IDS_KXW_LO_FIRST; id <= IDS_KXW_LO_LAST; ++id) {
        const std::wstring zh = In(kChinese)(id), en = In(kEnglish)(id);
        EXPECT_EQ(zh.empty(), en.empty()) << id;
        EXPECT_EQ(Conversions(zh), Conversions(en)) << id;
        nTexts += !en.empty();
    }
    EXPECT_EQ(25u, nTexts);
    EXPECT_EQ(L"", In(kEnglish)(IDS_KXW_LO_LAST + 1));
}

TEST(LeftoverWords, GroupLabels) {
    const struct {
        LANGID lang;
        UINT nKind;
        size_t n;
        const char* pszLabel;
    } cases[] = {
        {kChinese, 0, 7, "全部 (7)"},         {kChinese, 1, 2, "文件夹 (2)"}, {kChinese, 2, 2, "文件 (2)"},
        {kChinese, 3, 1, "注册表 (1)"},       {kChinese, 4, 2, "快捷方式 (2)"}, {kChinese, 9, 3, "全部 (3)"},
        {kEnglish, 0, 7, "All leftovers (7)"}, {kEnglish, 3, 1, "Registry (1)"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.pszLabel, ToUtf8(GroupLabel(c.nKind, c.n, In(c.lang))));
}

EntryOutcome Outcome_(Outcome outcome, const wchar_t* pszPath, const wchar_t* pszGuard = L"") {
    EntryOutcome o;
    o.entry.item.Path = pszPath;
    o.outcome = outcome;
    o.guardReason = pszGuard;
    return o;
}

TEST(LeftoverWords, SweepSummary) {
    const std::vector<EntryOutcome> allGone = {
        Outcome_(Outcome::RecycleBin, L"C:\\App\\a.dat"), Outcome_(Outcome::Registry, L"HKEY_CURRENT_USER\\X"),
        Outcome_(Outcome::RecycleBin, L"C:\\App\\"),
    };
    std::vector<EntryOutcome> someLeft = {
        Outcome_(Outcome::AtRestart, L"C:\\App\\busy.dll"), Outcome_(Outcome::Gone, L"C:\\App\\b"),
        Outcome_(Outcome::NotRemoved, L"C:\\Other\\x.exe", L"program"),
        Outcome_(Outcome::NotRemoved, L"C:\\App\\locked"),
    };
    for (int i = 0; i < 3; ++i) someLeft.push_back(Outcome_(Outcome::NotRemoved, L"C:\\windows", L"system"));
    const struct {
        const std::vector<EntryOutcome>* outcomes;
        UINT nState;
        size_t nLeft;
        LANGID lang;
        const char* pszText;
    } cases[] = {
        {&allGone, 20, 0, kEnglish,
         "Moved to the Recycle Bin: 2\r\nRemoved from the registry: 1\r\nThe program has left the list.\r\n"},
        {&allGone, 20, 0, kChinese, "已移到回收站：2\r\n已从注册表删除：1\r\n该软件已从列表中移除。\r\n"},
        {&someLeft, 18, 3, kEnglish,
         "Deleted (not in the Recycle Bin): 1\r\nRemoved at the next restart: 1\r\nNot removed: 5\r\n"
         "    C:\\Other\\x.exe (refused by the guard: program)\r\n    C:\\App\\locked (the deletion failed)\r\n"
         "    C:\\windows (refused by the guard: system)\r\n    ... and 2 more\r\n"
         "The program stays listed; leftovers still offered: 3\r\n"},
        {&someLeft, 18, 3, kChinese,
         "已删除（回收站中没有）：1\r\n重启后删除：1\r\n未删除：5\r\n    C:\\Other\\x.exe（保护规则拒绝：program）\r\n"
         "    C:\\App\\locked（删除失败）\r\n    C:\\windows（保护规则拒绝：system）\r\n    ……另有 2 项\r\n"
         "该软件仍在列表中，还有 3 项残留。\r\n"},
        {nullptr, 18, 7, kEnglish, "Nothing was removed.\r\nThe program stays listed; leftovers still offered: 7\r\n"},
    };
    const std::vector<EntryOutcome> none;
    for (const auto& c : cases)
        EXPECT_EQ(c.pszText, ToUtf8(SweepSummaryText(c.outcomes ? *c.outcomes : none, c.nState, c.nLeft, In(c.lang))));
}

}  // namespace
