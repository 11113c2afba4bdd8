// The program list's cells and its order by each column, both ways.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ProgramColumns.h"
#include "UiText.h"
#include "WinHostIds.h"
#include "WinHostRes.h"

namespace {

CSoftItem Program(const wchar_t* name, const wchar_t* category, long long size, const wchar_t* time, UINT use,
                  const wchar_t* folder = L"C:\\P", UINT id = 1) {
    CSoftItem item;
    item.Id = id;
    item.Name = name;
    item.Category = category;
    item.Size = size;
    item.Time = time;
    item.Use = use;
    item.Folder = folder;
    return item;
}

std::wstring Names(const std::vector<CSoftItem>& items) {
    std::wstring names;
    for (const CSoftItem& i : items) names += (names.empty() ? L"" : L",") + i.Name;
    return names;
}

}  // namespace

TEST(WinHostColumns, Cells) {
    SetUiLanguage(UiLanguage::English);
    const struct {
        CSoftItem item;
        const wchar_t* size;
        const wchar_t* installed;
        const wchar_t* lastUsed;
    } cases[] = {
        {Program(L"a", L"", 1536, L"20240115", 3), L"1.5 KB", L"2024-01-15", L"within 7 days"},
        {Program(L"a", L"", 0, L"2024-01-15", 2), L"0 B", L"2024-01-15", L"within 30 days"},
        {Program(L"a", L"", 24536678, L"1/15/2024", 1), L"23.4 MB", L"1/15/2024", L"more than 30 days ago"},
        {Program(L"a", L"", 0, L"", 0, L""), L"no folder", L"", L"no folder"},
        {Program(L"a", L"", 4096, L"2024011", 0, L""), L"4.0 KB", L"2024011", L"no folder"},
        {Program(L"a", L"", 10, L"", 9), L"10 B", L"", L"unknown"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CellText(c.item, KXW_COL_SIZE), c.size);
        EXPECT_EQ(CellText(c.item, KXW_COL_INSTALLED), c.installed);
        EXPECT_EQ(CellText(c.item, KXW_COL_LAST_USED), c.lastUsed);
    }
}

TEST(WinHostColumns, OrderByEachColumnBothWays) {
    // Ties are broken by name whichever way the column runs, so equal cells keep a stable, readable order.
    const std::vector<CSoftItem> items = {
        Program(L"beta", L"Tools", 300, L"2023-05-01", 1, L"C:\\P", 2),
        Program(L"Alpha", L"Tools", 10, L"20240101", 3, L"C:\\P", 1),
        Program(L"\x5FAE\x4FE1", L"Chat", 10, L"", 0, L"", 3),
        Program(L"gamma", L"Chat", 5000, L"2024-01-02", 2, L"C:\\P", 4),
    };
    const struct {
        int column;
        bool ascending;
        const wchar_t* names;
    } cases[] = {
        {KXW_COL_NAME, true, L"Alpha,beta,gamma,\x5FAE\x4FE1"},
        {KXW_COL_NAME, false, L"\x5FAE\x4FE1,gamma,beta,Alpha"},
        {KXW_COL_CATEGORY, true, L"gamma,\x5FAE\x4FE1,Alpha,beta"},
        {KXW_COL_CATEGORY, false, L"Alpha,beta,gamma,\x5FAE\x4FE1"},
        {KXW_COL_SIZE, true, L"Alpha,\x5FAE\x4FE1,beta,gamma"},
        {KXW_COL_SIZE, false, L"gamma,beta,Alpha,\x5FAE\x4FE1"},
        {KXW_COL_INSTALLED, true, L"\x5FAE\x4FE1,beta,Alpha,gamma"},
        {KXW_COL_INSTALLED, false, L"gamma,Alpha,beta,\x5FAE\x4FE1"},
        {KXW_COL_LAST_USED, true, L"\x5FAE\x4FE1,beta,gamma,Alpha"},
        {KXW_COL_LAST_USED, false, L"Alpha,gamma,beta,\x5FAE\x4FE1"},
    };
    for (const auto& c : cases) {
        std::vector<CSoftItem> sorted = items;
        SortByColumn(sorted, c.column, c.ascending);
        EXPECT_EQ(Names(sorted), c.names) << "column " << c.column << (c.ascending ? " ascending" : " descending");
        // Whatever order the component gave, the same rows come out.
        std::vector<CSoftItem> reversed(items.rbegin(), items.rend());
        SortByColumn(reversed, c.column, c.ascending);
        EXPECT_EQ(Names(reversed), c.names);
    }
}

TEST(WinHostColumns, NameFilterWhileTheComponentHoldsItsList) {
    const struct {
        const wchar_t* name;
        const wchar_t* text;
        bool match;
    } cases[] = {
        {L"KxSample Diary 3.0", L"diary", true}, {L"KxSample Diary 3.0", L"DIARY 3", true},
        {L"\x5FAE\x4FE1", L"\x4FE1", true},      {L"\x00C4rger", L"\x00E4r", true},
        {L"abc", L"", true},                     {L"abc", L"abcd", false},
        {L"\x5FAE\x4FE1", L"weixin", false},  // pinyin is the component's
    };
    for (const auto& c : cases) EXPECT_EQ(NameContains(c.name, c.text), c.match) << c.name << " / " << c.text;
}
