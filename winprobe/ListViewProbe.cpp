#include "ListViewProbe.h"

#include "RemoteMemory.h"

#include <commctrl.h>

namespace {

constexpr int kTextChars = 1024;
constexpr size_t kTextOffset = sizeof(LVITEMW);

int ColumnCount(HWND list) {
    HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
    int n = header ? static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
    return n > 0 ? n : 1;
}

bool CellText(HWND list, const RemoteMemory& mem, int row, int column, std::wstring& text) {
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = static_cast<LPWSTR>(mem.at(kTextOffset));
    item.cchTextMax = kTextChars;
    if (!mem.Write(0, &item, sizeof(item))) return false;
    LRESULT n = SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(mem.at()));
    if (n < 0 || n >= kTextChars) return false;
    text.assign(static_cast<size_t>(n), L'\0');
    return n == 0 || mem.Read(kTextOffset, &text[0], static_cast<size_t>(n) * sizeof(wchar_t));
}

bool ItemParam(HWND list, const RemoteMemory& mem, int row, LPARAM& param) {
    LVITEMW item{};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    if (!mem.Write(0, &item, sizeof(item))) return false;
    if (!SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(mem.at()))) return false;
    if (!mem.Read(0, &item, sizeof(item))) return false;
    param = item.lParam;
    return true;
}

}  // namespace

bool ReadRows(HWND list, std::vector<ListRow>& rows) {
    rows.clear();
    RemoteMemory mem(list, kTextOffset + kTextChars * sizeof(wchar_t));
    if (!mem.valid()) return false;
    int columns = ColumnCount(list);
    int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        ListRow row;
        if (!ItemParam(list, mem, i, row.param)) return false;
        row.state = static_cast<UINT>(SendMessageW(list, LVM_GETITEMSTATE, i, LVIS_SELECTED | LVIS_FOCUSED));
        row.cells.resize(static_cast<size_t>(columns));
        for (int c = 0; c < columns; ++c)
            if (!CellText(list, mem, i, c, row.cells[static_cast<size_t>(c)])) return false;
        rows.push_back(std::move(row));
    }
    return true;
}

int FindRow(const std::vector<ListRow>& rows, const std::wstring& selector) {
    if (selector.size() > 1 && selector[0] == L'#') {
        int n = _wtoi(selector.c_str() + 1);
        return n >= 0 && n < static_cast<int>(rows.size()) ? n : -1;
    }
    for (size_t i = 0; i < rows.size(); ++i)
        if (!rows[i].cells.empty() && rows[i].cells[0] == selector) return static_cast<int>(i);
    return -1;
}

bool CellRect(HWND list, int row, int column, RECT& rect) {
    SendMessageW(list, LVM_ENSUREVISIBLE, row, FALSE);
    RemoteMemory mem(list, sizeof(RECT));
    RECT r{};
    r.top = column;
    r.left = LVIR_LABEL;
    if (!mem.Write(0, &r, sizeof(r))) return false;
    // The first column's label is the item's; the sub-item rectangle of column 0 spans the whole row.
    UINT msg = column == 0 ? LVM_GETITEMRECT : LVM_GETSUBITEMRECT;
    if (!SendMessageW(list, msg, row, reinterpret_cast<LPARAM>(mem.at()))) return false;
    return mem.Read(0, &rect, sizeof(rect));
}

bool SelectRow(HWND list, int row) {
    RemoteMemory mem(list, sizeof(LVITEMW));
    LVITEMW item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    if (!mem.Write(0, &item, sizeof(item))) return false;
    SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(mem.at()));
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    if (!mem.Write(0, &item, sizeof(item))) return false;
    if (!SendMessageW(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(mem.at()))) return false;
    SendMessageW(list, LVM_ENSUREVISIBLE, row, FALSE);
    return true;
}
