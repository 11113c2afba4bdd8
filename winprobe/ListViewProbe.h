// A report-mode ListView of another process, read and driven through its own messages.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct ListRow {
    LPARAM param = 0;
    UINT state = 0;  // LVIS_SELECTED, LVIS_FOCUSED...
    std::vector<std::wstring> cells;  // one per column, in column order
};

// Every row with every column's text; false when the control cannot be read.
bool ReadRows(HWND list, std::vector<ListRow>& rows);
// The row whose first column is `text`, or with "#N" the row N (from 0); -1 when there is none.
int FindRow(const std::vector<ListRow>& rows, const std::wstring& selector);
// The rectangle of a cell's text in the list's client coordinates, after scrolling the row into view.
bool CellRect(HWND list, int row, int column, RECT& rect);
// Makes `row` the only selected row, focused and in view, as a click would leave it.
bool SelectRow(HWND list, int row);
