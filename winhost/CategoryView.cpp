#include "CategoryView.h"

#include <commctrl.h>

#include <algorithm>

#include "UiText.h"
#include "WideFormat.h"
#include "WinHostIds.h"
#include "WinHostRes.h"

std::wstring CategoryLabel(const CCategoryItem& item) { return kx::Format(L"%s (%u)", item.Name.c_str(), item.Count); }

bool CategoryView::Create(HWND hParent, UINT dpi) {
    m_hWnd = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
                             WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_SHOWSELALWAYS | LVS_SINGLESEL, 0, 0,
                             0, 0, hParent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_KXW_CATEGORIES)),
                             GetModuleHandleW(nullptr), nullptr);
    if (!m_hWnd) return false;
    ListView_SetExtendedListViewStyle(m_hWnd, LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
    std::wstring title = UiString(IDS_COL_CATEGORIES);
    LVCOLUMNW col = {};
    col.mask = LVCF_TEXT | LVCF_WIDTH;
    col.cx = MulDiv(150, static_cast<int>(dpi), 96);
    col.pszText = &title[0];
    ListView_InsertColumn(m_hWnd, 0, &col);
    return true;
}

void CategoryView::FitColumn() {
    RECT rc;
    GetClientRect(m_hWnd, &rc);
    ListView_SetColumnWidth(m_hWnd, 0, rc.right - rc.left);
}

void CategoryView::Show(std::vector<CCategoryItem> items) {
    const CCategoryItem* selected = Selected();
    const bool bHadSelection = selected != nullptr;
    const UINT nSelected = selected ? selected->Id : 0;
    const std::wstring selectedName = selected ? selected->Name : L"";
    // The component keeps them by id, and id 0 is all software; that bucket leads whatever order they came in.
    std::stable_partition(items.begin(), items.end(), [](const CCategoryItem& c) { return c.Id == 0; });
    m_vecItems = std::move(items);
    SendMessageW(m_hWnd, WM_SETREDRAW, FALSE, 0);
    ListView_DeleteAllItems(m_hWnd);
    int select = 0;
    for (size_t i = 0; i < m_vecItems.size(); ++i) {
        std::wstring label = CategoryLabel(m_vecItems[i]);
        LVITEMW row = {};
        row.mask = LVIF_TEXT | LVIF_PARAM;
        row.iItem = static_cast<int>(i);
        row.pszText = &label[0];
        row.lParam = static_cast<LPARAM>(m_vecItems[i].Id);
        ListView_InsertItem(m_hWnd, &row);
        if (bHadSelection && m_vecItems[i].Id == nSelected && m_vecItems[i].Name == selectedName)
            select = static_cast<int>(i);
    }
    if (!m_vecItems.empty()) ListView_SetItemState(m_hWnd, select, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    SendMessageW(m_hWnd, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(m_hWnd, nullptr, TRUE);
}

const CCategoryItem* CategoryView::Selected() const {
    if (!m_hWnd) return nullptr;
    int row = ListView_GetNextItem(m_hWnd, -1, LVNI_SELECTED);
    if (row < 0 || row >= static_cast<int>(m_vecItems.size())) return nullptr;
    return &m_vecItems[static_cast<size_t>(row)];
}

void CategoryView::Clear() {
    m_vecItems.clear();
    ListView_DeleteAllItems(m_hWnd);
}

bool CategoryView::SelectedIsAll() const { return !m_hWnd || ListView_GetNextItem(m_hWnd, -1, LVNI_SELECTED) <= 0; }
