// The program list's cells and its order by a column, as plain functions of the records.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "SoftItem.h"

// Size in binary units ("23.4 MB"); the no-folder text when the entry names no install folder.
std::wstring SizeText(const CSoftItem& item);
// The install date as "2024-01-15" when it is eight digits or already dashed; any other text as it is.
std::wstring InstallDateText(const CSoftItem& item);
// The string id of the last-used class; the no-folder text when the entry names no install folder.
UINT LastUsedTextId(const CSoftItem& item);
// The cell of one of the columns name .. last used (the state column is the uninstall's own).
std::wstring CellText(const CSoftItem& item, int column);

// The name contains the text, ignoring case (the first of the component's two name searches, without pinyin).
bool NameContains(const std::wstring& name, const std::wstring& text);

// Orders by a column: name and category as people order names, size by bytes, install date by its digits, last
// used from never seen to this week; ties by name, registry key and id, so the order never depends on the input.
bool ColumnLess(const CSoftItem& a, const CSoftItem& b, int column, bool ascending);
void SortByColumn(std::vector<CSoftItem>& items, int column, bool ascending);
