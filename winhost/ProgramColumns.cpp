#include "ProgramColumns.h"

#include <algorithm>

#include "ListRender.h"
#include "UiText.h"
#include "WinHostIds.h"
#include "WinHostRes.h"
#include "WinText.h"

namespace {

bool NoFolder(const CSoftItem& item) { return item.Folder.empty(); }

int Compare(long long a, long long b) { return a < b ? -1 : (a > b ? 1 : 0); }

int CompareColumn(const CSoftItem& a, const CSoftItem& b, int column) {
    switch (column) {
        case KXW_COL_CATEGORY: return CompareNames(a.Category, b.Category);
        case KXW_COL_SIZE: return Compare(a.Size, b.Size);
        case KXW_COL_INSTALLED: return DateDigits(a.Time).compare(DateDigits(b.Time));
        case KXW_COL_LAST_USED: return Compare(a.Use < 4 ? a.Use : 0, b.Use < 4 ? b.Use : 0);
        default: return 0;
    }
}

int CompareTies(const CSoftItem& a, const CSoftItem& b) {
    if (int r = CompareNames(a.Name, b.Name)) return r;
    if (int r = CompareNames(a.Key, b.Key)) return r;
    return Compare(a.Id, b.Id);
}

}  // namespace

std::wstring SizeText(const CSoftItem& item) {
    if (item.Size == 0 && NoFolder(item)) return UiString(IDS_NO_FOLDER);
    return FromUtf8(HumanSize(item.Size));
}

std::wstring InstallDateText(const CSoftItem& item) {
    const std::wstring& t = item.Time;
    if (t.size() == 8 && t.find_first_not_of(L"0123456789") == std::wstring::npos)
        return t.substr(0, 4) + L"-" + t.substr(4, 2) + L"-" + t.substr(6, 2);
    return t;
}

UINT LastUsedTextId(const CSoftItem& item) {
    if (item.Use == 0 && NoFolder(item)) return IDS_NO_FOLDER;
    static const UINT kIds[] = {IDS_USE_UNKNOWN, IDS_USE_OLDER, IDS_USE_MONTH, IDS_USE_WEEK};
    return kIds[item.Use < 4 ? item.Use : 0];
}

std::wstring CellText(const CSoftItem& item, int column) {
    switch (column) {
        case KXW_COL_NAME: return item.Name;
        case KXW_COL_CATEGORY: return item.Category;
        case KXW_COL_SIZE: return SizeText(item);
        case KXW_COL_INSTALLED: return InstallDateText(item);
        case KXW_COL_LAST_USED: return UiString(LastUsedTextId(item));
        default: return L"";
    }
}

bool NameContains(const std::wstring& name, const std::wstring& text) {
    if (text.empty()) return true;
    std::wstring n = name, t = text;
    if (!n.empty()) CharLowerBuffW(&n[0], static_cast<DWORD>(n.size()));
    CharLowerBuffW(&t[0], static_cast<DWORD>(t.size()));
    return n.find(t) != std::wstring::npos;
}

bool ColumnLess(const CSoftItem& a, const CSoftItem& b, int column, bool ascending) {
    int r = CompareColumn(a, b, column);
    if (r == 0) {
        // The name column's direction applies to the name itself; other columns keep ties in name order.
        r = CompareTies(a, b);
        if (column == KXW_COL_NAME || column >= KXW_COL_STATE) return ascending ? r < 0 : r > 0;
        return r < 0;
    }
    return ascending ? r < 0 : r > 0;
}

void SortByColumn(std::vector<CSoftItem>& items, int column, bool ascending) {
    std::sort(items.begin(), items.end(),
              [column, ascending](const CSoftItem& a, const CSoftItem& b) { return ColumnLess(a, b, column, ascending); });
}
