#include "LeftoverDialog.h"

#include <commctrl.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "ComponentLog.h"
#include "HostExe.h"
#include "LeftoverStrings.h"
#include "LeftoverTicks.h"
#include "LeftoverTree.h"
#include "LeftoverWords.h"
#include "ObjectWindowProc.h"
#include "RecycleBin.h"
#include "ScopedHandle.h"
#include "SweepOutcome.h"
#include "UiText.h"
#include "WinHostIds.h"
#include "WinText.h"
#include "WindowMetrics.h"

namespace {

// Posted to the dialog: the user changed the tick of a tree item (lParam; wParam 1 when by the space bar), and
// the sweep reached 100 so the leftover list may be read again.
constexpr UINT WM_KXW_TICKED = WM_APP + 0x120;
constexpr UINT WM_KXW_SWEEP_ENDED = WM_APP + 0x121;

// Sizes at 96 DPI.
constexpr int kMargin = 10, kGap = 8, kBarHeight = 16, kButtonHeight = 26, kButtonMinWidth = 100,
              kButtonPadding = 24;
constexpr int kWidth = 640, kHeight = 500, kMinWidth = 420, kMinHeight = 340;

class LeftoverDialog {
public:
    LeftoverDialog(ComponentHost& host, const DataStates& states, const CSoftItem& program,
                   std::function<void(const ListNotification&)> restore)
        : m_host(host), m_states(states), m_program(program), m_restore(std::move(restore)),
          m_log(GetHostExeFolder()) {}
    // A dialog left early (an exception) takes its window with it and gives the owner back.
    ~LeftoverDialog() {
        if (!m_hWnd || !IsWindow(m_hWnd)) return;
        SetWindowLongPtrW(m_hWnd, GWLP_USERDATA, 0);
        if (m_hOwner) EnableWindow(m_hOwner, TRUE);
        DestroyWindow(m_hWnd);
    }
    LeftoverDialog(const LeftoverDialog&) = delete;
    LeftoverDialog& operator=(const LeftoverDialog&) = delete;

    LeftoverDialogResult Run(HWND owner);

private:
    struct Entry {
        HTREEITEM hItem;
        UINT nId;
    };

    template <class T>
    friend LRESULT CALLBACK ::ObjectWindowProc(HWND, UINT, WPARAM, LPARAM);
    LRESULT Handle(UINT msg, WPARAM wParam, LPARAM lParam);
    bool Create();
    HWND Child(const wchar_t* pszClass, DWORD dwStyle, DWORD dwExStyle, int nId, const std::wstring& text);
    void ApplyDpi(UINT dpi);
    void Layout();
    int Scaled(int n) const { return MulDiv(n, static_cast<int>(m_nDpi), 96); }
    int TextHeight(HWND hWnd, int width, UINT format) const;
    int TextWidth(HWND hWnd) const;

    void ReadList();
    void FillTree();
    HTREEITEM Insert(HTREEITEM hParent, const std::wstring& text, UINT nId, bool bChecked);
    bool Checked(HTREEITEM hItem) const;
    void SetCheck(HTREEITEM hItem, bool bChecked);
    void OnTicked(HTREEITEM hItem, bool bByKey);
    void SyncHeads();
    void OnTreeNotify(const NMHDR& hdr);
    std::vector<UINT> TickedIds() const;
    // The rows of entries shown, or those ticked.
    size_t RowCount(bool bTickedOnly) const;

    void StartSweep();
    void OnNotify(const ListNotification& n);
    void EndSweep();
    void SetBusy(bool bBusy);
    void SetSummary(const std::wstring& text);
    void Close();

    ComponentHost& m_host;
    const DataStates& m_states;
    const CSoftItem& m_program;
    std::function<void(const ListNotification&)> m_restore;
    ComponentLog m_log;

    HWND m_hOwner = nullptr;
    HWND m_hWnd = nullptr;
    HWND m_hHint = nullptr, m_hTree = nullptr, m_hBar = nullptr, m_hSummary = nullptr, m_hSweep = nullptr,
         m_hClose = nullptr;
    kx::unique_hfont m_font;
    UINT m_nDpi = 96;
    bool m_bClosed = false;
    HWND m_hFocus = nullptr;  // the control that had the focus when the dialog was last deactivated

    std::vector<Leftover> m_list;   // list 0x200 as last read, measured then
    std::wstring m_strReadError;
    std::vector<HTREEITEM> m_heads;  // root and groups, root first
    std::vector<Entry> m_entries;    // in the list's order; entries sharing a row share its item
    std::map<HTREEITEM, bool> m_ticks;  // what each item showed after the last change the dialog saw

    bool m_bSweeping = false;
    bool m_bSwept = false;
    std::vector<UINT> m_ids;        // handed to the running sweep
    RecycleBin m_bin;
    bool m_bTrashReadable = false;
};

LeftoverDialogResult LeftoverDialog::Run(HWND owner) {
    m_hOwner = owner;
    ReadList();
    if (!Create()) return {false, m_states.Get(m_program.Id).nState};
    m_host.SetNotificationHandler([this](const ListNotification& n) { OnNotify(n); });
    FillTree();
    if (!m_strReadError.empty())
        SetSummary(UiFormat(IDS_KXW_LO_READ_FAILED, m_strReadError.c_str()));
    else if (m_entries.empty())
        SetSummary(UiString(IDS_KXW_LO_EMPTY));
    SetBusy(false);
    if (m_hOwner) EnableWindow(m_hOwner, FALSE);
    ShowWindow(m_hWnd, SW_SHOW);
    SetFocus(m_entries.empty() ? m_hClose : m_hTree);

    MSG msg;
    while (!m_bClosed) {
        const BOOL r = GetMessageW(&msg, nullptr, 0, 0);
        if (r == 0) {
            // The application is quitting: leave, and let the owner's loop see the quit too.
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (r < 0) break;
        if (!IsDialogMessageW(m_hWnd, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    if (!m_bClosed) {
        if (m_hOwner) EnableWindow(m_hOwner, TRUE);
        DestroyWindow(m_hWnd);
    }
    m_host.SetNotificationHandler(m_restore);
    return {m_bSwept, m_states.Get(m_program.Id).nState};
}

bool LeftoverDialog::Create() {
    HINSTANCE hInstance = GetModuleHandleW(nullptr);
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_TREEVIEW_CLASSES | ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = ObjectWindowProc<LeftoverDialog>;
    wc.hInstance = hInstance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = KXW_LEFTOVER_CLASS;
    if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;

    const std::wstring title = UiFormat(IDS_KXW_LO_TITLE, m_program.Name.c_str());
    m_hWnd = CreateWindowExW(WS_EX_DLGMODALFRAME, KXW_LEFTOVER_CLASS, title.c_str(),
                             WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_CLIPCHILDREN,
                             CW_USEDEFAULT, CW_USEDEFAULT, kWidth, kHeight, m_hOwner, nullptr, hInstance, this);
    if (!m_hWnd) return false;
    // The owner's icons, whether its window or its class carries them; they stay the owner's.
    if (m_hOwner) {
        for (const auto& icon : {std::make_pair(ICON_SMALL, GCLP_HICONSM), std::make_pair(ICON_BIG, GCLP_HICON)}) {
            LRESULT hIcon = SendMessageW(m_hOwner, WM_GETICON, icon.first, 0);
            if (!hIcon) hIcon = static_cast<LRESULT>(GetClassLongPtrW(m_hOwner, icon.second));
            SendMessageW(m_hWnd, WM_SETICON, icon.first, hIcon);
        }
    }

    m_hHint = Child(WC_STATICW, SS_LEFT | SS_NOPREFIX, 0, -1, UiString(IDS_KXW_LO_HINT));
    m_hTree = Child(WC_TREEVIEWW, WS_TABSTOP | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT | TVS_SHOWSELALWAYS,
                    WS_EX_CLIENTEDGE, IDC_KXW_LEFTOVER_TREE, L"");
    // Check boxes set as a style change before any item exists (as the control's documentation asks): created
    // with the style, the control may build its check-box images only when it first paints and untick every
    // item then (Wine does).
    SetWindowLongPtrW(m_hTree, GWL_STYLE, GetWindowLongPtrW(m_hTree, GWL_STYLE) | TVS_CHECKBOXES);
    m_hBar = Child(PROGRESS_CLASSW, 0, 0, IDC_KXW_SWEEP_PROGRESS, L"");
    SendMessageW(m_hBar, PBM_SETRANGE32, 0, 100);
    m_hSummary = Child(WC_STATICW, SS_LEFT | SS_NOPREFIX, 0, IDC_KXW_SWEEP_SUMMARY, L"");
    m_hSweep = Child(WC_BUTTONW, WS_TABSTOP | BS_DEFPUSHBUTTON, 0, IDC_KXW_SWEEP, UiString(IDS_KXW_LO_SWEEP));
    m_hClose = Child(WC_BUTTONW, WS_TABSTOP | BS_PUSHBUTTON, 0, IDCANCEL, UiString(IDS_KXW_LO_CLOSE));

    // Sized for the DPI of the monitor it landed on, over the middle of its owner.
    ApplyDpi(WindowDpi(m_hWnd));
    RECT rcOwner;
    if (!m_hOwner || !GetWindowRect(m_hOwner, &rcOwner)) SystemParametersInfoW(SPI_GETWORKAREA, 0, &rcOwner, 0);
    const int cx = Scaled(kWidth), cy = Scaled(kHeight);
    SetWindowPos(m_hWnd, nullptr, (rcOwner.left + rcOwner.right - cx) / 2, (rcOwner.top + rcOwner.bottom - cy) / 2,
                 cx, cy, SWP_NOZORDER | SWP_NOACTIVATE);
    Layout();
    return true;
}

HWND LeftoverDialog::Child(const wchar_t* pszClass, DWORD dwStyle, DWORD dwExStyle, int nId, const std::wstring& text) {
    return CreateWindowExW(dwExStyle, pszClass, text.c_str(), WS_CHILD | WS_VISIBLE | dwStyle, 0, 0, 0, 0, m_hWnd,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(nId)), GetModuleHandleW(nullptr), nullptr);
}

void LeftoverDialog::ApplyDpi(UINT dpi) {
    m_nDpi = dpi;
    kx::unique_hfont font = MessageFont(dpi);
    if (!font) return;
    for (HWND hChild : {m_hHint, m_hTree, m_hBar, m_hSummary, m_hSweep, m_hClose})
        SendMessageW(hChild, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), TRUE);
    m_font = std::move(font);
}

int LeftoverDialog::TextHeight(HWND hWnd, int width, UINT format) const {
    const std::wstring text = WindowText(hWnd);
    if (text.empty()) return 0;
    HDC hdc = GetDC(hWnd);
    HGDIOBJ hOld = SelectObject(hdc, m_font ? m_font.get() : GetStockObject(DEFAULT_GUI_FONT));
    RECT rc = {0, 0, width, 0};
    DrawTextW(hdc, text.c_str(), static_cast<int>(text.size()), &rc, DT_CALCRECT | DT_WORDBREAK | format);
    SelectObject(hdc, hOld);
    ReleaseDC(hWnd, hdc);
    return rc.bottom - rc.top;
}

int LeftoverDialog::TextWidth(HWND hWnd) const {
    const std::wstring text = WindowText(hWnd);
    HDC hdc = GetDC(hWnd);
    HGDIOBJ hOld = SelectObject(hdc, m_font ? m_font.get() : GetStockObject(DEFAULT_GUI_FONT));
    RECT rc = {0, 0, 0, 0};
    DrawTextW(hdc, text.c_str(), static_cast<int>(text.size()), &rc, DT_CALCRECT | DT_SINGLELINE);
    SelectObject(hdc, hOld);
    ReleaseDC(hWnd, hdc);
    return rc.right - rc.left;
}

// Top to bottom: the hint, the tree (what is left over), the progress bar, the summary, the buttons at the right.
void LeftoverDialog::Layout() {
    if (!m_hClose) return;
    RECT rc;
    GetClientRect(m_hWnd, &rc);
    const int m = Scaled(kMargin), gap = Scaled(kGap), width = rc.right - 2 * m;
    if (width <= 0) return;
    const int hintHeight = TextHeight(m_hHint, width, DT_NOPREFIX);
    const int summaryHeight = TextHeight(m_hSummary, width, DT_NOPREFIX);
    const int buttonHeight = Scaled(kButtonHeight), barHeight = Scaled(kBarHeight);
    const int buttonTop = rc.bottom - m - buttonHeight;
    const int summaryTop = buttonTop - (summaryHeight ? summaryHeight + gap : 0);
    const int barTop = summaryTop - gap - barHeight;
    const int treeTop = m + hintHeight + gap;

    HDWP hdwp = BeginDeferWindowPos(6);
    auto place = [&hdwp](HWND hWnd, int x, int y, int cx, int cy) {
        if (hdwp) hdwp = DeferWindowPos(hdwp, hWnd, nullptr, x, y, cx > 0 ? cx : 0, cy > 0 ? cy : 0, SWP_NOZORDER);
    };
    place(m_hHint, m, m, width, hintHeight);
    place(m_hTree, m, treeTop, width, barTop - gap - treeTop);
    place(m_hBar, m, barTop, width, barHeight);
    place(m_hSummary, m, summaryTop, width, summaryHeight);
    int right = rc.right - m;
    for (HWND hButton : {m_hClose, m_hSweep}) {
        const int cx = std::max(Scaled(kButtonMinWidth), TextWidth(hButton) + Scaled(kButtonPadding));
        place(hButton, right - cx, buttonTop, cx, buttonHeight);
        right -= cx + gap;
    }
    if (hdwp) EndDeferWindowPos(hdwp);
}

void LeftoverDialog::ReadList() {
    std::vector<CPowerSweepItem> items;
    std::wstring error;
    m_list.clear();
    if (!m_host.ReadSweepList(items, error)) {
        m_strReadError = error;
        return;
    }
    m_list = MeasureLeftovers(items);
}

HTREEITEM LeftoverDialog::Insert(HTREEITEM hParent, const std::wstring& text, UINT nId, bool bChecked) {
    TVINSERTSTRUCTW tvi = {};
    tvi.hParent = hParent;
    tvi.hInsertAfter = TVI_LAST;
    tvi.item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_STATE;
    tvi.item.pszText = const_cast<wchar_t*>(text.c_str());
    tvi.item.lParam = static_cast<LPARAM>(nId);
    tvi.item.state = INDEXTOSTATEIMAGEMASK(bChecked ? 2 : 1);
    tvi.item.stateMask = TVIS_STATEIMAGEMASK;
    HTREEITEM hItem = TreeView_InsertItem(m_hTree, &tvi);
    SetCheck(hItem, bChecked);  // a control that dropped the state at insertion gets it now
    return hItem;
}

// The root, then per group a head with its count and the entries as their paths, one row per path; the rows' item
// data are the leftover ids (a shared row's the first's), the heads' 0 as in the list.
void LeftoverDialog::FillTree() {
    TreeView_DeleteAllItems(m_hTree);
    m_heads.clear();
    m_entries.clear();
    m_ticks.clear();
    const std::vector<size_t> rowOf = LeftoverRowOf(m_list);
    std::vector<HTREEITEM> shownAt(m_list.size());
    size_t nEntries = 0;
    for (size_t i = 0; i < m_list.size(); ++i) nEntries += m_list[i].IsEntry() && rowOf[i] == i;
    if (nEntries == 0) return;
    HTREEITEM hRoot = Insert(TVI_ROOT, GroupLabel(CPowerSweepItem::KIND_ROOT, nEntries, UiString),
                             0, false);
    m_heads.push_back(hRoot);
    HTREEITEM hGroup = hRoot;
    for (size_t i = 0; i < m_list.size(); ++i) {
        const Leftover& l = m_list[i];
        if (l.item.Level == CPowerSweepItem::LEVEL_ROOT) continue;
        if (!l.IsEntry()) {
            size_t n = 0;
            for (size_t j = i + 1; j < m_list.size() && m_list[j].IsEntry(); ++j) n += rowOf[j] == j;
            hGroup = Insert(hRoot, GroupLabel(l.item.Kind, n, UiString), 0, false);
            m_heads.push_back(hGroup);
            continue;
        }
        if (rowOf[i] == i) shownAt[i] = Insert(hGroup, l.item.Path, l.item.Id, TickedByDefault(l.item, m_program));
        m_entries.push_back({shownAt[rowOf[i]], l.item.Id});
    }
    SyncHeads();
    for (HTREEITEM hHead : m_heads) TreeView_Expand(m_hTree, hHead, TVE_EXPAND);
    TreeView_SelectItem(m_hTree, hRoot);
    TreeView_EnsureVisible(m_hTree, hRoot);
}

bool LeftoverDialog::Checked(HTREEITEM hItem) const {
    return ((TreeView_GetItemState(m_hTree, hItem, TVIS_STATEIMAGEMASK) & TVIS_STATEIMAGEMASK) >> 12) == 2;
}

void LeftoverDialog::SetCheck(HTREEITEM hItem, bool bChecked) {
    TreeView_SetItemState(m_hTree, hItem, INDEXTOSTATEIMAGEMASK(bChecked ? 2 : 1), TVIS_STATEIMAGEMASK);
    m_ticks[hItem] = bChecked;
}

// A head's tick follows its entries: ticked when all of them are.
void LeftoverDialog::SyncHeads() {
    for (auto it = m_heads.rbegin(); it != m_heads.rend(); ++it) {
        HTREEITEM hChild = TreeView_GetChild(m_hTree, *it);
        bool bAll = hChild != nullptr;
        for (; hChild; hChild = TreeView_GetNextSibling(m_hTree, hChild)) bAll = bAll && Checked(hChild);
        SetCheck(*it, bAll);
    }
}

void LeftoverDialog::OnTicked(HTREEITEM hItem, bool bByKey) {
    if (!hItem || m_bSweeping) return;
    bool bChecked = Checked(hItem);
    auto it = m_ticks.find(hItem);
    // Not every tree control toggles on the space bar by itself.
    if (bByKey && it != m_ticks.end() && it->second == bChecked) {
        bChecked = !bChecked;
    }
    SetCheck(hItem, bChecked);
    // A head passes its tick down to everything below it.
    std::vector<HTREEITEM> below;
    for (HTREEITEM h = TreeView_GetChild(m_hTree, hItem); h; h = TreeView_GetNextSibling(m_hTree, h)) below.push_back(h);
    for (size_t i = 0; i < below.size(); ++i) {
        SetCheck(below[i], bChecked);
        for (HTREEITEM h = TreeView_GetChild(m_hTree, below[i]); h; h = TreeView_GetNextSibling(m_hTree, h))
            below.push_back(h);
    }
    SyncHeads();
}

void LeftoverDialog::OnTreeNotify(const NMHDR& hdr) {
    if (hdr.code == NM_CLICK || hdr.code == NM_DBLCLK) {
        TVHITTESTINFO ht = {};
        const DWORD pos = GetMessagePos();
        ht.pt = {static_cast<short>(LOWORD(pos)), static_cast<short>(HIWORD(pos))};
        ScreenToClient(m_hTree, &ht.pt);
        // The control toggles the box after this notification: look once it has.
        if (TreeView_HitTest(m_hTree, &ht) && (ht.flags & TVHT_ONITEMSTATEICON))
            PostMessageW(m_hWnd, WM_KXW_TICKED, 0, reinterpret_cast<LPARAM>(ht.hItem));
    } else if (hdr.code == TVN_KEYDOWN && reinterpret_cast<const NMTVKEYDOWN&>(hdr).wVKey == VK_SPACE) {
        PostMessageW(m_hWnd, WM_KXW_TICKED, 1, reinterpret_cast<LPARAM>(TreeView_GetSelection(m_hTree)));
    }
}

size_t LeftoverDialog::RowCount(bool bTickedOnly) const {
    std::set<HTREEITEM> rows;
    for (const Entry& e : m_entries)
        if (!bTickedOnly || Checked(e.hItem)) rows.insert(e.hItem);
    return rows.size();
}

std::vector<UINT> LeftoverDialog::TickedIds() const {
    std::vector<UINT> ids;
    for (const Entry& e : m_entries)
        if (Checked(e.hItem)) ids.push_back(e.nId);
    return ids;
}

void LeftoverDialog::SetBusy(bool bBusy) {
    m_bSweeping = bBusy;
    EnableWindow(m_hTree, !bBusy && !m_entries.empty());
    EnableWindow(m_hSweep, !bBusy && !m_entries.empty());
    EnableWindow(m_hClose, !bBusy);
    EnableMenuItem(GetSystemMenu(m_hWnd, FALSE), SC_CLOSE, MF_BYCOMMAND | (bBusy ? MF_GRAYED : MF_ENABLED));
}

void LeftoverDialog::SetSummary(const std::wstring& text) {
    SetWindowTextW(m_hSummary, text.c_str());
    Layout();
    InvalidateRect(m_hWnd, nullptr, TRUE);
}

void LeftoverDialog::StartSweep() {
    if (m_bSweeping) return;
    std::vector<UINT> ids = TickedIds();
    if (ids.empty()) {
        SetSummary(UiString(IDS_KXW_LO_NOTHING_TICKED));
        return;
    }
    // What the machine looks like before, to tell afterwards where each entry went.
    m_bTrashReadable = m_bin.Snapshot();
    m_log.Mark();
    m_ids = ids;
    SendMessageW(m_hBar, PBM_SETPOS, 0, 0);
    SetBusy(true);
    SetSummary(UiFormat(IDS_KXW_LO_SWEEPING, static_cast<unsigned>(RowCount(true))));
    const HRESULT hr = m_host.PowerSweep(m_program.Id, ids);
    if (FAILED(hr)) {
        SetBusy(false);
        SetSummary(UiFormat(IDS_KXW_LO_REFUSED_CALL, HResultText(hr).c_str()));
        return;
    }
    m_bSwept = true;
}

void LeftoverDialog::OnNotify(const ListNotification& n) {
    if (n.nType == LIST_SWEEP && (n.nAct & ACT_PROGRESS)) {
        if (!m_bSweeping) return;
        SendMessageW(m_hBar, PBM_SETPOS, static_cast<WPARAM>(n.lParam), 0);
        // The sweep holds the leftover list until it has ended: read it only from here on.
        if (n.lParam >= 100) PostMessageW(m_hWnd, WM_KXW_SWEEP_ENDED, 0, 0);
        return;
    }
    if (m_restore) m_restore(n);
}

void LeftoverDialog::EndSweep() {
    if (!m_bSweeping) return;
    // Asking for the list's size waits until the task lets go of it, so everything it did is on the machine now,
    // the program's removal from the list included.
    m_host.SweepListSize();
    SweepEvidence evidence;
    evidence.bTrashReadable = m_bTrashReadable;
    if (m_bTrashReadable) evidence.trashed = m_bin.Added();
    evidence.pending = PendingDeletions();
    evidence.componentLog = m_log.LinesSinceMark();
    std::vector<EntryOutcome> outcomes = CheckSweep(m_list, m_ids, evidence);
    // A shared row's entries went one way: it is told once, as it was shown.
    std::set<UINT> shownIds;
    const std::vector<size_t> rowOf = LeftoverRowOf(m_list);
    for (size_t i = 0; i < m_list.size(); ++i)
        if (rowOf[i] == i) shownIds.insert(m_list[i].item.Id);
    outcomes.erase(std::remove_if(outcomes.begin(), outcomes.end(),
                                  [&](const EntryOutcome& o) { return !shownIds.count(o.entry.item.Id); }),
                   outcomes.end());
    const UINT nState = m_states.Get(m_program.Id).nState;

    ReadList();
    FillTree();
    // What is left was not chosen: it stays unticked for a second look.
    for (const Entry& e : m_entries) SetCheck(e.hItem, false);
    SyncHeads();
    SetBusy(false);
    SetSummary(SweepSummaryText(outcomes, nState, RowCount(false), UiString));
    SetFocus(m_entries.empty() ? m_hClose : m_hTree);
}

void LeftoverDialog::Close() {
    if (m_bSweeping) {
        MessageBeep(MB_ICONWARNING);
        return;
    }
    // The owner comes back before this window goes, so that it gets the activation.
    if (m_hOwner) EnableWindow(m_hOwner, TRUE);
    DestroyWindow(m_hWnd);
}

LRESULT LeftoverDialog::Handle(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_SIZE:
            Layout();
            return 0;
        case WM_GETMINMAXINFO: {
            auto* mmi = reinterpret_cast<MINMAXINFO*>(lParam);
            mmi->ptMinTrackSize = {Scaled(kMinWidth), Scaled(kMinHeight)};
            return 0;
        }
        case WM_DPICHANGED: {
            ApplyDpi(HIWORD(wParam));
            const RECT* rc = reinterpret_cast<const RECT*>(lParam);
            SetWindowPos(m_hWnd, nullptr, rc->left, rc->top, rc->right - rc->left, rc->bottom - rc->top,
                         SWP_NOZORDER | SWP_NOACTIVATE);
            Layout();
            return 0;
        }
        case WM_ACTIVATE:
            // As a dialog box does: the focus comes back to the control that had it.
            if (LOWORD(wParam) == WA_INACTIVE) {
                HWND hFocus = GetFocus();
                if (hFocus && IsChild(m_hWnd, hFocus)) m_hFocus = hFocus;
            } else if (m_hFocus && IsWindowEnabled(m_hFocus)) {
                SetFocus(m_hFocus);
            } else {
                SetFocus(IsWindowEnabled(m_hTree) ? m_hTree : m_hClose);
            }
            return 0;
        case DM_GETDEFID:
            return MAKELRESULT(IDC_KXW_SWEEP, DC_HASDEFID);
        case WM_COMMAND:
            if (LOWORD(wParam) == IDC_KXW_SWEEP && HIWORD(wParam) == BN_CLICKED) StartSweep();
            if (LOWORD(wParam) == IDCANCEL) Close();
            return 0;
        case WM_NOTIFY: {
            const NMHDR& hdr = *reinterpret_cast<const NMHDR*>(lParam);
            if (hdr.hwndFrom == m_hTree) OnTreeNotify(hdr);
            return 0;
        }
        case WM_KXW_TICKED:
            OnTicked(reinterpret_cast<HTREEITEM>(lParam), wParam == 1);
            return 0;
        case WM_KXW_SWEEP_ENDED:
            EndSweep();
            return 0;
        case WM_CLOSE:
            Close();
            return 0;
        case WM_DESTROY:
            m_bClosed = true;
            return 0;
        default:
            return DefWindowProcW(m_hWnd, msg, wParam, lParam);
    }
}

}  // namespace

LeftoverDialogResult RunLeftoverDialog(HWND owner, ComponentHost& host, const DataStates& states,
                                       const CSoftItem& program,
                                       std::function<void(const ListNotification&)> restore) {
    try {
        LeftoverDialog dialog(host, states, program, restore);
        return dialog.Run(owner);
    } catch (...) {
        host.SetNotificationHandler(restore);
        return {false, states.Get(program.Id).nState};
    }
}
