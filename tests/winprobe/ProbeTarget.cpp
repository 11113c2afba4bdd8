// A small window for the probe's own tests: a program list (two Chinese names among them) filtered by a search
// box, a tree with check boxes and a button that reports the ticked items, a status bar, F5 as an accelerator,
// and the Delete key on the list asking a question in a message box.
// The probe reads and drives it from another process exactly as it does the window host.
#include <windows.h>
#include <commctrl.h>

#include <string>

namespace {

constexpr int kList = 1002, kSearch = 1003, kStatus = 1004, kTree = 2001, kReport = 2002, kRefresh = 1010;

struct Program { const wchar_t* name; const wchar_t* size; LPARAM id; };
const Program kPrograms[] = {{L"微信", L"1.2 MB", 11},
                             {L"画图", L"845 KB", 12},
                             {L"7-Zip 23.01 (x64)", L"4.0 MB", 13},
                             {L"KxSample Notes 2.1", L"96 KB", 14}};

HWND g_list, g_search, g_status, g_tree;

void Status(const std::wstring& text) {
    SendMessageW(g_status, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void Fill(const std::wstring& filter) {
    ListView_DeleteAllItems(g_list);
    int row = 0;
    for (const Program& p : kPrograms) {
        if (!filter.empty() && !wcsstr(p.name, filter.c_str())) continue;
        LVITEMW item{};
        item.mask = LVIF_TEXT | LVIF_PARAM;
        item.iItem = row;
        item.pszText = const_cast<LPWSTR>(p.name);
        item.lParam = p.id;
        ListView_InsertItem(g_list, &item);
        ListView_SetItemText(g_list, row, 1, const_cast<LPWSTR>(p.size));
        ++row;
    }
}

HTREEITEM AddNode(HTREEITEM parent, const wchar_t* text, LPARAM id) {
    TVINSERTSTRUCTW ins{};
    ins.hParent = parent;
    ins.hInsertAfter = TVI_LAST;
    ins.item.mask = TVIF_TEXT | TVIF_PARAM;
    ins.item.pszText = const_cast<LPWSTR>(text);
    ins.item.lParam = id;
    return TreeView_InsertItem(g_tree, &ins);
}

void ReportTicks() {
    std::wstring text = L"ticked:";
    HTREEITEM root = TreeView_GetRoot(g_tree);
    for (HTREEITEM h = TreeView_GetChild(g_tree, root); h; h = TreeView_GetNextSibling(g_tree, h)) {
        TVITEMW item{};
        item.mask = TVIF_PARAM | TVIF_HANDLE;
        item.hItem = h;
        TreeView_GetItem(g_tree, &item);
        if (TreeView_GetCheckState(g_tree, h) == 1) text += L" " + std::to_wstring(item.lParam);
    }
    Status(text);
}

void Create(HWND hwnd) {
    HINSTANCE inst = GetModuleHandleW(nullptr);
    g_search = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL,
                               8, 8, 300, 24, hwnd, reinterpret_cast<HMENU>(kSearch), inst, nullptr);
    g_list = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
                             WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_SHOWSELALWAYS, 8, 40, 400, 200, hwnd,
                             reinterpret_cast<HMENU>(kList), inst, nullptr);
    LVCOLUMNW col{};
    col.mask = LVCF_TEXT | LVCF_WIDTH;
    col.cx = 250;
    col.pszText = const_cast<LPWSTR>(L"Name");
    ListView_InsertColumn(g_list, 0, &col);
    col.cx = 100;
    col.pszText = const_cast<LPWSTR>(L"Size");
    ListView_InsertColumn(g_list, 1, &col);
    g_tree = CreateWindowExW(WS_EX_CLIENTEDGE, WC_TREEVIEWW, L"",
                             WS_CHILD | WS_VISIBLE | TVS_CHECKBOXES | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT,
                             420, 40, 250, 200, hwnd, reinterpret_cast<HMENU>(kTree), inst, nullptr);
    HTREEITEM root = AddNode(TVI_ROOT, L"root", 0);
    AddNode(root, L"first", 1);
    AddNode(root, L"second", 2);
    AddNode(root, L"third", 3);
    TreeView_Expand(g_tree, root, TVE_EXPAND);
    CreateWindowExW(0, L"BUTTON", L"Report", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 420, 8, 100, 26, hwnd,
                    reinterpret_cast<HMENU>(kReport), inst, nullptr);
    g_status = CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, hwnd,
                               reinterpret_cast<HMENU>(kStatus), inst, nullptr);
    Fill(L"");
    Status(L"ready");
}

LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_CREATE:
        Create(hwnd);
        return 0;
    case WM_SIZE:
        SendMessageW(g_status, WM_SIZE, 0, 0);
        return 0;
    case WM_COMMAND:
        if (LOWORD(wp) == kSearch && HIWORD(wp) == EN_CHANGE) {
            wchar_t text[256] = {};
            GetWindowTextW(g_search, text, 256);
            Fill(text);
        } else if (LOWORD(wp) == kReport) {
            ReportTicks();
        } else if (LOWORD(wp) == kRefresh) {
            Status(L"refreshed");
        }
        return 0;
    case WM_NOTIFY: {
        auto* nm = reinterpret_cast<NMITEMACTIVATE*>(lp);
        auto* key = reinterpret_cast<NMLVKEYDOWN*>(lp);
        if (nm->hdr.idFrom == kList && nm->hdr.code == LVN_KEYDOWN && key->wVKey == VK_DELETE) {
            int answer = MessageBoxW(hwnd, L"Remove it?", L"Confirm", MB_YESNO | MB_ICONQUESTION);
            Status(L"answer " + std::to_wstring(answer));
            return 0;
        }
        if (nm->hdr.idFrom == kList && (nm->hdr.code == NM_CLICK || nm->hdr.code == NM_DBLCLK) && nm->iItem >= 0) {
            wchar_t name[256] = {};
            ListView_GetItemText(g_list, nm->iItem, 0, name, 256);
            Status(std::wstring(nm->hdr.code == NM_CLICK ? L"clicked " : L"opened ") + name);
        }
        return 0;
    }
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE inst, HINSTANCE, LPWSTR, int show) {
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_LISTVIEW_CLASSES | ICC_TREEVIEW_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&icc);
    WNDCLASSW wc{};
    wc.lpfnWndProc = WndProc;
    wc.hInstance = inst;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = L"KxProbeTarget";
    RegisterClassW(&wc);
    HWND hwnd = CreateWindowExW(0, L"KxProbeTarget", L"Probe target", WS_OVERLAPPEDWINDOW, 20, 20, 700, 320, nullptr,
                                nullptr, inst, nullptr);
    ShowWindow(hwnd, show);
    UpdateWindow(hwnd);
    ACCEL accel{FVIRTKEY, VK_F5, kRefresh};
    HACCEL table = CreateAcceleratorTableW(&accel, 1);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (TranslateAcceleratorW(hwnd, table, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    DestroyAcceleratorTable(table);
    return 0;
}
