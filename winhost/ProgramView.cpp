#include "ProgramView.h"

#include <commctrl.h>

#include "ProgramColumns.h"
#include "UiText.h"
#include "WinHostIds.h"
#include "WinHostRes.h"

namespace {

struct ColumnLayout {
    UINT nTitle;
    int nWidth;  // at 96 dpi
    int nFormat;
};

const ColumnLayout kColumns[] = {
    {IDS_COL_NAME, 260, LVCFMT_LEFT},      {IDS_COL_CATEGORY, 90, LVCFMT_LEFT},
    {IDS_COL_SIZE, 80, LVCFMT_RIGHT},      {IDS_COL_INSTALLED, 90, LVCFMT_LEFT},
    {IDS_COL_LAST_USED, 130, LVCFMT_LEFT}, {IDS_COL_STATE, 150, LVCFMT_LEFT},
};

int Scale(int n, UINT dpi) { return MulDiv(n, static_cast<int>(dpi), 96); }

}  // namespace

bool ProgramView::Create(HWND hParent, UINT dpi) {
    m_nDpi = dpi;
    m_hWnd = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
                             WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_SHOWSELALWAYS | LVS_SINGLESEL |
                                 LVS_SHAREIMAGELISTS,  // the icons' owner is ProgramIcons
                             0, 0, 0, 0, hParent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_KXW_PROGRAMS)),
                             GetModuleHandleW(nullptr), nullptr);
    if (!m_hWnd) return false;
    ListView_SetExtendedListViewStyle(m_hWnd, LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER | LVS_EX_LABELTIP);
    for (int c = 0; c < static_cast<int>(sizeof(kColumns) / sizeof(kColumns[0])); ++c) {
        std::wstring title = UiString(kColumns[c].nTitle);
        LVCOLUMNW col = {};
        col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_SUBITEM;
        col.fmt = kColumns[c].nFormat;
        col.cx = Scale(kColumns[c].nWidth, dpi);
        col.pszText = &title[0];
        col.iSubItem = c;
        ListView_InsertColumn(m_hWnd, c, &col);
    }
    m_icons.Reset(Scale(16, dpi));
    ListView_SetImageList(m_hWnd, m_icons.List(), LVSIL_SMALL);
    ShowSortArrow();
    return true;
}

void ProgramView::SetDpi(UINT dpi) {
    for (int c = 0; c < static_cast<int>(sizeof(kColumns) / sizeof(kColumns[0])); ++c)
        ListView_SetColumnWidth(m_hWnd, c, MulDiv(ListView_GetColumnWidth(m_hWnd, c), static_cast<int>(dpi),
                                                  static_cast<int>(m_nDpi)));
    m_nDpi = dpi;
    m_icons.Reset(Scale(16, dpi));
    ListView_SetImageList(m_hWnd, m_icons.List(), LVSIL_SMALL);
    Refill();
}

void ProgramView::FitNameColumn() {
    RECT rc;
    GetClientRect(m_hWnd, &rc);
    int others = 0;
    for (int c = KXW_COL_CATEGORY; c <= KXW_COL_STATE; ++c) others += ListView_GetColumnWidth(m_hWnd, c);
    const int minimum = Scale(150, m_nDpi);
    const int width = rc.right - rc.left - others;
    ListView_SetColumnWidth(m_hWnd, KXW_COL_NAME, width > minimum ? width : minimum);
}

void ProgramView::Show(std::vector<CSoftItem> items) {
    m_vecRows = std::move(items);
    SortByColumn(m_vecRows, m_nSortColumn, m_bAscending);
    Refill();
}

void ProgramView::SortBy(int column) {
    if (column == m_nSortColumn)
        m_bAscending = !m_bAscending;
    else {
        m_nSortColumn = column;
        m_bAscending = true;
    }
    SortByColumn(m_vecRows, m_nSortColumn, m_bAscending);
    ShowSortArrow();
    Refill();
}

void ProgramView::ShowSortArrow() {
    HWND header = ListView_GetHeader(m_hWnd);
    for (int c = 0; c < Header_GetItemCount(header); ++c) {
        HDITEMW item = {};
        item.mask = HDI_FORMAT;
        Header_GetItem(header, c, &item);
        item.fmt &= ~(HDF_SORTUP | HDF_SORTDOWN);
        if (c == m_nSortColumn) item.fmt |= m_bAscending ? HDF_SORTUP : HDF_SORTDOWN;
        Header_SetItem(header, c, &item);
    }
}

void ProgramView::AddRow(int index, const CSoftItem& item) {
    std::wstring name = item.Name;
    LVITEMW row = {};
    row.mask = LVIF_TEXT | LVIF_PARAM | LVIF_IMAGE;
    row.iItem = index;
    row.pszText = &name[0];
    row.lParam = static_cast<LPARAM>(item.Id);
    row.iImage = m_icons.IndexFor(item);
    index = ListView_InsertItem(m_hWnd, &row);
    if (index < 0) return;
    for (int c = KXW_COL_CATEGORY; c <= KXW_COL_STATE; ++c) {
        std::wstring text;
        if (c == KXW_COL_STATE) {
            auto state = m_mapState.find(item.Id);
            if (state != m_mapState.end()) text = state->second;
        } else {
            text = CellText(item, c);
        }
        ListView_SetItemText(m_hWnd, index, c, &text[0]);
    }
}

void ProgramView::Refill() {
    const CSoftItem* selected = Selected();
    const UINT nSelected = selected ? selected->Id : 0;
    const bool bHadSelection = selected != nullptr;
    SendMessageW(m_hWnd, WM_SETREDRAW, FALSE, 0);
    ListView_DeleteAllItems(m_hWnd);
    for (size_t i = 0; i < m_vecRows.size(); ++i) AddRow(static_cast<int>(i), m_vecRows[i]);
    if (bHadSelection) {
        int row = RowOf(nSelected);
        if (row >= 0) {
            ListView_SetItemState(m_hWnd, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
            ListView_EnsureVisible(m_hWnd, row, FALSE);
        }
    }
    SendMessageW(m_hWnd, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(m_hWnd, nullptr, TRUE);
}

int ProgramView::RowOf(UINT nId) const {
    LVFINDINFOW find = {};
    find.flags = LVFI_PARAM;
    find.lParam = static_cast<LPARAM>(nId);
    return ListView_FindItem(m_hWnd, -1, &find);
}

void ProgramView::SetState(UINT nId, const std::wstring& text) {
    if (text.empty())
        m_mapState.erase(nId);
    else
        m_mapState[nId] = text;
    int row = RowOf(nId);
    if (row < 0) return;
    std::wstring cell = text;
    ListView_SetItemText(m_hWnd, row, KXW_COL_STATE, &cell[0]);
}

void ProgramView::ClearStates() {
    m_mapState.clear();
    Refill();
}

void ProgramView::Remove(UINT nId) {
    m_mapState.erase(nId);
    for (auto it = m_vecRows.begin(); it != m_vecRows.end(); ++it)
        if (it->Id == nId) {
            m_vecRows.erase(it);
            break;
        }
    int row = RowOf(nId);
    if (row >= 0) ListView_DeleteItem(m_hWnd, row);
}

const CSoftItem* ProgramView::Selected() const {
    if (!m_hWnd) return nullptr;
    // Rows and records are kept in the same order (a program the data component gave no id shares id 0 with others).
    int row = ListView_GetNextItem(m_hWnd, -1, LVNI_SELECTED);
    if (row < 0 || static_cast<size_t>(row) >= m_vecRows.size()) return nullptr;
    return &m_vecRows[static_cast<size_t>(row)];
}

bool ProgramView::SelectedRowPoint(POINT& pt) const {
    int row = ListView_GetNextItem(m_hWnd, -1, LVNI_SELECTED);
    RECT rc;
    if (row < 0 || !ListView_GetItemRect(m_hWnd, row, &rc, LVIR_LABEL)) return false;
    pt = {rc.left, rc.bottom};
    return ClientToScreen(m_hWnd, &pt) != FALSE;
}
