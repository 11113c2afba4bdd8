// The program list: a report-mode ListView with each program's icon, its columns in the shared order, sorted by
// the column whose header was clicked last, and the state of a running uninstall in its row.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "ProgramIcons.h"
#include "SoftItem.h"

class ProgramView {
public:
    bool Create(HWND hParent, UINT dpi);
    HWND Hwnd() const { return m_hWnd; }

    // Shows these programs (replacing the rows), in the current order; the selection follows its program.
    void Show(std::vector<CSoftItem> items);
    const std::vector<CSoftItem>& Rows() const { return m_vecRows; }
    // A click on a header: that column, ascending first, the other way round when clicked again.
    void SortBy(int column);

    // The row of a program says what its uninstall is doing; an empty text clears it.
    void SetState(UINT nId, const std::wstring& text);
    void ClearStates();
    // Removes the row of the program (gone from the component's list).
    void Remove(UINT nId);
    // The selected program, or null.
    const CSoftItem* Selected() const;
    // The top-left of the selected row in screen coordinates (for a context menu from the keyboard).
    bool SelectedRowPoint(POINT& pt) const;

    void SetDpi(UINT dpi);
    // The name column takes the width the other columns leave (after the list was resized).
    void FitNameColumn();

private:
    void Refill();
    void AddRow(int index, const CSoftItem& item);
    void ShowSortArrow();
    int RowOf(UINT nId) const;

    HWND m_hWnd = nullptr;
    UINT m_nDpi = 96;
    std::vector<CSoftItem> m_vecRows;
    std::map<UINT, std::wstring> m_mapState;
    int m_nSortColumn = 0;
    bool m_bAscending = true;
    ProgramIcons m_icons;
};
