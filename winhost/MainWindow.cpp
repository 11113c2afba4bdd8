#include "MainWindow.h"

#include <commctrl.h>

#include <algorithm>
#include <set>

#include "CacheProbe.h"
#include "KxUninstIf.h"
#include "ProgramColumns.h"
#include "UiText.h"
#include "WinHostIds.h"
#include "WinHostMessages.h"
#include "WinHostRes.h"
#include "WindowMetrics.h"

namespace {

const UINT_PTR kStatusTimer = 1;
const UINT kStatusTickMs = 200;
// A program removed by its uninstall keeps its row, saying so, this long before the row goes.
const UINT_PTR kLingerTimer = 2;
const UINT kLingerMs = 1500;

}  // namespace

MainWindow::MainWindow(const WindowOptions& options) : m_options(options), m_uninstall(m_host, m_states, m_programs) {}

bool MainWindow::Create(int nCmdShow) {
    HINSTANCE hInstance = GetModuleHandleW(nullptr);
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = ObjectWindowProc<MainWindow>;
    wc.hInstance = hInstance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = KXW_MAIN_CLASS;
    // Shared icons belong to the module, not to the class: nothing to release. Each size is drawn for its grid.
    wc.hIcon = static_cast<HICON>(LoadImageW(hInstance, MAKEINTRESOURCEW(IDI_KXUNINSTW), IMAGE_ICON,
                                             GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), LR_SHARED));
    wc.hIconSm = static_cast<HICON>(LoadImageW(hInstance, MAKEINTRESOURCEW(IDI_KXUNINSTW), IMAGE_ICON,
                                               GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON),
                                               LR_SHARED));
    if (!RegisterClassExW(&wc)) return false;

    std::wstring title = UiString(IDS_APP_TITLE);
    if (!m_options.readOnlyPrefix.empty()) title += L" \x2014 " + m_options.readOnlyPrefix;
    const UINT dpi = SystemDpi();
    m_hWnd = CreateWindowExW(WS_EX_CONTROLPARENT, KXW_MAIN_CLASS, title.c_str(), WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                             CW_USEDEFAULT, CW_USEDEFAULT, MulDiv(980, dpi, 96), MulDiv(620, dpi, 96), nullptr, nullptr,
                             hInstance, this);
    if (!m_hWnd) return false;
    ShowWindow(m_hWnd, nCmdShow);
    UpdateWindow(m_hWnd);
    PostMessageW(m_hWnd, WM_KXW_START, 0, 0);
    return true;
}

int MainWindow::Run() {
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        // Delete in the search box deletes text; everywhere else it uninstalls.
        const bool bEditKey = msg.hwnd == m_hSearch && msg.message == WM_KEYDOWN && msg.wParam == VK_DELETE;
        if (!bEditKey && m_hAccel && TranslateAcceleratorW(m_hWnd, m_hAccel.get(), &msg)) continue;
        if (IsDialogMessageW(m_hWnd, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}

LRESULT MainWindow::Handle(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_CREATE:
            m_nDpi = WindowDpi(m_hWnd);
            return CreateControls() ? 0 : -1;
        case WM_SIZE:
            Layout();
            return 0;
        case WM_GETMINMAXINFO: {
            auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
            info->ptMinTrackSize = {MulDiv(560, m_nDpi, 96), MulDiv(360, m_nDpi, 96)};
            return 0;
        }
        case WM_DPICHANGED:
            OnDpiChanged(LOWORD(wParam), reinterpret_cast<const RECT*>(lParam));
            return 0;
        case WM_ACTIVATE:
            // The control that had the keyboard gets it back when the window is active again.
            if (LOWORD(wParam) == WA_INACTIVE) {
                HWND focus = GetFocus();
                if (focus && IsChild(m_hWnd, focus)) m_hLastFocus = focus;
            }
            return DefWindowProcW(m_hWnd, msg, wParam, lParam);
        case WM_SETFOCUS:
            SetFocus(m_hLastFocus && IsWindow(m_hLastFocus) ? m_hLastFocus : m_programs.Hwnd());
            return 0;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDC_KXW_SEARCH) {
                if (HIWORD(wParam) == EN_CHANGE) ApplyFilter();
                return 0;
            }
            OnCommand(LOWORD(wParam));
            return 0;
        case WM_NOTIFY:
            return OnNotifyControl(reinterpret_cast<NMHDR*>(lParam));
        case WM_CONTEXTMENU:
            OnContextMenu(reinterpret_cast<HWND>(wParam), lParam);
            return 0;
        case WM_TIMER:
            if (wParam == kStatusTimer) UpdateStatus();
            if (wParam == kLingerTimer) {
                KillTimer(m_hWnd, kLingerTimer);
                for (UINT nId : m_vecLinger) m_programs.Remove(nId);
                m_vecLinger.clear();
                UpdateStatus();
            }
            return 0;
        case WM_KXW_START:
            StartComponent();
            return 0;
        case WM_KXW_CATEGORIES:
            m_bCategoriesPosted = false;
            ReloadCategories();
            return 0;
        case WM_KXW_RELOAD:
            m_bReloadPosted = false;
            ReloadPrograms();
            return 0;
        case WM_KXW_LEFTOVERS:
            m_uninstall.OfferLeftovers([this](const ListNotification& n) { OnListNotification(n); });
            UpdateCommands();
            return 0;
        case WM_CLOSE:
            if (OnClose()) DestroyWindow(m_hWnd);
            return 0;
        case WM_DESTROY:
            KillTimer(m_hWnd, kStatusTimer);
            m_host.Stop();
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcW(m_hWnd, msg, wParam, lParam);
    }
}

bool MainWindow::CreateControls() {
    HINSTANCE hInstance = GetModuleHandleW(nullptr);
    m_hSearch = CreateWindowExW(WS_EX_CLIENTEDGE, WC_EDITW, L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, 0,
                                0, 0, 0, m_hWnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_KXW_SEARCH)),
                                hInstance, nullptr);
    if (!m_hSearch || !m_categories.Create(m_hWnd, m_nDpi) || !m_programs.Create(m_hWnd, m_nDpi)) return false;
    const std::wstring cue = UiString(IDS_SEARCH_CUE);
    SendMessageW(m_hSearch, EM_SETCUEBANNER, TRUE, reinterpret_cast<LPARAM>(cue.c_str()));
    CreateToolbar();
    m_hStatus = CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0, 0, 0, 0, m_hWnd,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_KXW_STATUS)), hInstance, nullptr);
    CreateMenus();
    m_uninstall.SetOwner(m_hWnd);
    m_uninstall.OnEnded([this](UINT nId, UINT nState) { OnUninstallEnded(nId, nState); });
    ApplyFont();
    UpdateCommands();
    UpdateStatus();
    return true;
}

void MainWindow::CreateToolbar() {
    m_hToolbar = CreateWindowExW(0, TOOLBARCLASSNAMEW, nullptr,
                                 WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT | TBSTYLE_LIST | TBSTYLE_TOOLTIPS |
                                     CCS_NOPARENTALIGN | CCS_NORESIZE | CCS_NODIVIDER,
                                 0, 0, 0, 0, m_hWnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_KXW_TOOLBAR)),
                                 GetModuleHandleW(nullptr), nullptr);
    SendMessageW(m_hToolbar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    SendMessageW(m_hToolbar, TB_SETEXTENDEDSTYLE, 0, TBSTYLE_EX_MIXEDBUTTONS);
    const struct {
        UINT nCommand;
        UINT nText;
    } kButtons[] = {{IDC_KXW_UNINSTALL, IDS_CMD_UNINSTALL},
                    {IDC_KXW_CANCEL_UNINSTALL, IDS_CMD_CANCEL},
                    {IDC_KXW_ACTIVATE, IDS_CMD_ACTIVATE},
                    {IDC_KXW_REFRESH, IDS_CMD_REFRESH}};
    for (const auto& b : kButtons) {
        std::wstring text = ButtonText(UiString(b.nText));
        TBBUTTON button = {};
        button.iBitmap = I_IMAGENONE;
        button.idCommand = static_cast<int>(b.nCommand);
        button.fsState = TBSTATE_ENABLED;
        button.fsStyle = BTNS_BUTTON | BTNS_AUTOSIZE | BTNS_SHOWTEXT;
        button.iString = reinterpret_cast<INT_PTR>(text.c_str());
        SendMessageW(m_hToolbar, TB_ADDBUTTONSW, 1, reinterpret_cast<LPARAM>(&button));
    }
}

void MainWindow::CreateMenus() {
    HMENU program = CreatePopupMenu();
    AppendMenuW(program, MF_STRING, IDC_KXW_UNINSTALL, UiString(IDS_CMD_UNINSTALL).c_str());
    AppendMenuW(program, MF_STRING, IDC_KXW_CANCEL_UNINSTALL, UiString(IDS_CMD_CANCEL).c_str());
    AppendMenuW(program, MF_STRING, IDC_KXW_ACTIVATE, UiString(IDS_CMD_ACTIVATE).c_str());
    AppendMenuW(program, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(program, MF_STRING, IDC_KXW_REFRESH, UiString(IDS_CMD_REFRESH).c_str());
    AppendMenuW(program, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(program, MF_STRING, IDM_KXW_EXIT, UiString(IDS_CMD_EXIT).c_str());
    HMENU view = CreatePopupMenu();
    AppendMenuW(view, MF_STRING, IDM_KXW_FIND, UiString(IDS_CMD_FIND).c_str());
    AppendMenuW(view, MF_STRING, IDM_KXW_FOCUS_CATEGORIES, UiString(IDS_CMD_FOCUS_CATEGORIES).c_str());
    AppendMenuW(view, MF_STRING, IDM_KXW_FOCUS_LIST, UiString(IDS_CMD_FOCUS_LIST).c_str());
    HMENU bar = CreateMenu();
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(program), UiString(IDS_MENU_PROGRAM).c_str());
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(view), UiString(IDS_MENU_VIEW).c_str());
    SetMenu(m_hWnd, bar);

    ACCEL keys[] = {
        {FVIRTKEY, VK_F5, IDC_KXW_REFRESH},
        {FVIRTKEY, VK_DELETE, IDC_KXW_UNINSTALL},
        {FVIRTKEY, VK_ESCAPE, IDC_KXW_CANCEL_UNINSTALL},
        {FVIRTKEY | FCONTROL, 'B', IDC_KXW_ACTIVATE},
        {FVIRTKEY | FCONTROL, 'F', IDM_KXW_FIND},
        {FVIRTKEY | FCONTROL, 'G', IDM_KXW_FOCUS_CATEGORIES},
        {FVIRTKEY | FCONTROL, 'L', IDM_KXW_FOCUS_LIST},
    };
    m_hAccel.reset(CreateAcceleratorTableW(keys, static_cast<int>(sizeof(keys) / sizeof(keys[0]))));
}

void MainWindow::ApplyFont() {
    kx::unique_hfont hNew = MessageFont(m_nDpi);
    if (!hNew) return;
    for (HWND h : {m_hSearch, m_categories.Hwnd(), m_programs.Hwnd(), m_hToolbar, m_hStatus})
        if (h) SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(hNew.get()), TRUE);
    // The controls hold the new font before the old one goes.
    m_hFont = std::move(hNew);
    if (m_hToolbar) SendMessageW(m_hToolbar, TB_AUTOSIZE, 0, 0);
}

void MainWindow::Layout() {
    if (!m_hStatus) return;
    RECT rc;
    GetClientRect(m_hWnd, &rc);
    const int width = rc.right - rc.left;
    const int pad = MulDiv(6, m_nDpi, 96);

    SendMessageW(m_hStatus, WM_SIZE, 0, 0);
    RECT status;
    GetWindowRect(m_hStatus, &status);
    const int statusHeight = status.bottom - status.top;
    int parts[] = {width * 2 / 5, -1};
    SendMessageW(m_hStatus, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(parts));

    const DWORD buttonSize = static_cast<DWORD>(SendMessageW(m_hToolbar, TB_GETBUTTONSIZE, 0, 0));
    const int toolbarHeight = HIWORD(buttonSize) + MulDiv(2, m_nDpi, 96);
    const int toolbarTop = rc.bottom - statusHeight - toolbarHeight - pad / 2;
    MoveWindow(m_hToolbar, pad, toolbarTop, width - 2 * pad, toolbarHeight, TRUE);

    int editHeight = MulDiv(24, m_nDpi, 96);
    if (HDC dc = GetDC(m_hSearch)) {
        HGDIOBJ old = SelectObject(dc, m_hFont ? m_hFont.get() : GetStockObject(DEFAULT_GUI_FONT));
        TEXTMETRICW tm;
        if (GetTextMetricsW(dc, &tm)) editHeight = tm.tmHeight + MulDiv(8, m_nDpi, 96);
        SelectObject(dc, old);
        ReleaseDC(m_hSearch, dc);
    }
    MoveWindow(m_hSearch, pad, pad, width - 2 * pad, editHeight, TRUE);

    const int top = pad + editHeight + pad;
    const int bodyHeight = toolbarTop - pad / 2 - top;
    const int paneWidth = MulDiv(180, m_nDpi, 96);
    MoveWindow(m_categories.Hwnd(), pad, top, paneWidth, bodyHeight > 0 ? bodyHeight : 0, TRUE);
    m_categories.FitColumn();
    const int listLeft = pad + paneWidth + pad;
    MoveWindow(m_programs.Hwnd(), listLeft, top, width - listLeft - pad > 0 ? width - listLeft - pad : 0,
               bodyHeight > 0 ? bodyHeight : 0, TRUE);
    m_programs.FitNameColumn();
}

void MainWindow::OnDpiChanged(UINT dpi, const RECT* suggested) {
    m_nDpi = dpi;
    ApplyFont();
    m_programs.SetDpi(dpi);
    if (suggested)
        SetWindowPos(m_hWnd, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                     suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
    Layout();
}

void MainWindow::OnCommand(UINT id) {
    switch (id) {
        case IDC_KXW_REFRESH: Refresh(); break;
        case IDC_KXW_UNINSTALL: UninstallSelected(); break;
        case IDC_KXW_CANCEL_UNINSTALL:
            if (m_uninstall.CanCancel())
                m_uninstall.Cancel();
            else if (GetFocus() == m_hSearch)
                SetWindowTextW(m_hSearch, L"");
            break;
        case IDC_KXW_ACTIVATE: m_uninstall.BringToFront(); break;
        case IDM_KXW_FIND:
            SetFocus(m_hSearch);
            SendMessageW(m_hSearch, EM_SETSEL, 0, -1);
            break;
        case IDM_KXW_FOCUS_LIST: SetFocus(m_programs.Hwnd()); break;
        case IDM_KXW_FOCUS_CATEGORIES: SetFocus(m_categories.Hwnd()); break;
        case IDM_KXW_EXIT: PostMessageW(m_hWnd, WM_CLOSE, 0, 0); break;
        case IDOK:
            // Enter on a program uninstalls it (after the confirmation).
            if (GetFocus() == m_programs.Hwnd()) UninstallSelected();
            break;
        default: break;
    }
    UpdateCommands();
}

LRESULT MainWindow::OnNotifyControl(NMHDR* hdr) {
    if (hdr->idFrom == IDC_KXW_PROGRAMS) {
        switch (hdr->code) {
            case LVN_COLUMNCLICK: m_programs.SortBy(reinterpret_cast<NMLISTVIEW*>(hdr)->iSubItem); break;
            case NM_DBLCLK:
                if (reinterpret_cast<NMITEMACTIVATE*>(hdr)->iItem >= 0) UninstallSelected();
                break;
            case LVN_ITEMCHANGED: UpdateCommands(); break;
            default: break;
        }
    } else if (hdr->idFrom == IDC_KXW_CATEGORIES && hdr->code == LVN_ITEMCHANGED) {
        auto* change = reinterpret_cast<NMLISTVIEW*>(hdr);
        if (!m_bFillingCategories && (change->uNewState & LVIS_SELECTED) && !(change->uOldState & LVIS_SELECTED))
            ApplyFilter();
    }
    return 0;
}

void MainWindow::OnContextMenu(HWND hFrom, LPARAM lParam) {
    if (hFrom != m_programs.Hwnd()) return;
    POINT pt = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    if (lParam == -1 && !m_programs.SelectedRowPoint(pt)) return;  // from the keyboard: at the selected row
    if (!m_programs.Selected()) return;
    kx::unique_hmenu popup(CreatePopupMenu());
    HMENU menu = popup.get();
    AppendMenuW(menu, MF_STRING, IDC_KXW_UNINSTALL, UiString(IDS_CMD_UNINSTALL).c_str());
    AppendMenuW(menu, MF_STRING, IDC_KXW_CANCEL_UNINSTALL, UiString(IDS_CMD_CANCEL).c_str());
    AppendMenuW(menu, MF_STRING, IDC_KXW_ACTIVATE, UiString(IDS_CMD_ACTIVATE).c_str());
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, IDC_KXW_REFRESH, UiString(IDS_CMD_REFRESH).c_str());
    const bool bRunning = m_uninstall.Running();
    EnableMenuItem(menu, IDC_KXW_UNINSTALL, MF_BYCOMMAND | (bRunning ? MF_GRAYED : MF_ENABLED));
    EnableMenuItem(menu, IDC_KXW_CANCEL_UNINSTALL, MF_BYCOMMAND | (m_uninstall.CanCancel() ? MF_ENABLED : MF_GRAYED));
    EnableMenuItem(menu, IDC_KXW_ACTIVATE,
                   MF_BYCOMMAND | (m_uninstall.UninstallerRunning() ? MF_ENABLED : MF_GRAYED));
    EnableMenuItem(menu, IDC_KXW_REFRESH,
                   MF_BYCOMMAND | (bRunning || !m_bStarted || m_phase != ListPhase::Read ? MF_GRAYED : MF_ENABLED));
    TrackPopupMenu(menu, TPM_RIGHTBUTTON, pt.x, pt.y, 0, m_hWnd, nullptr);
}

bool MainWindow::OnClose() {
    if (!m_uninstall.Running()) return true;
    const std::wstring question = UiFormat(IDS_QUIT_WHILE_UNINSTALLING, m_uninstall.Program().Name.c_str());
    if (MessageBoxW(m_hWnd, question.c_str(), UiString(IDS_APP_TITLE).c_str(), MB_YESNO | MB_ICONWARNING) != IDYES)
        return false;
    m_uninstall.Cancel();
    return true;
}

void MainWindow::Fail(const std::wstring& text) {
    const std::wstring message = UiFormat(IDS_NO_WINDOW, text.c_str());
    SendMessageW(m_hStatus, SB_SETTEXTW, 1, reinterpret_cast<LPARAM>(message.c_str()));
    KillTimer(m_hWnd, kStatusTimer);
    MessageBoxW(m_hWnd, message.c_str(), UiString(IDS_ERROR_TITLE).c_str(), MB_OK | MB_ICONERROR);
}

void MainWindow::StartComponent() {
    std::wstring error;
    if (!m_host.Load(m_options.folder + L"KxUninst.dll", error)) return Fail(error);
    if (!m_host.Create(error)) return Fail(error);
    if (!m_states.Open(m_options.folder, error)) return Fail(error);
    m_host.SetNotificationHandler([this](const ListNotification& n) { OnListNotification(n); });
    if (!m_options.cacheDir.empty() && !PrepareCacheDir(m_options.cacheDir, error)) return Fail(error);
    m_strCachePath = SoftCacheFilePath(m_options.cacheDir);
    m_bExpectCache = CacheMayGiveList(m_strCachePath);
    SetPhase(ListPhase::Reading);
    if (!m_host.Start(m_options.cacheDir, error)) return Fail(error);
    m_bStarted = true;
    SetTimer(m_hWnd, kStatusTimer, kStatusTickMs, nullptr);
    UpdateCommands();
}

void MainWindow::OnListNotification(const ListNotification& n) {
    // During a pass over the machine the lists are held until it ends, and the final list-ready reads both.
    if (n.nType == LIST_CATEGORY) {
        if (m_phase == ListPhase::Read && !m_bCategoriesPosted)
            m_bCategoriesPosted = PostMessageW(m_hWnd, WM_KXW_CATEGORIES, 0, 0) != FALSE;
        return;
    }
    if (n.nType != LIST_SOFT) return;
    if (n.nAct & ACT_LIST_READY) OnListReady();
    if (n.nAct & ACT_ITEM_REMOVED) RemoveProgram(static_cast<UINT>(n.lParam));
    if ((n.nAct & (ACT_ITEM_ADDED | ACT_ITEM_CHANGED)) && m_phase == ListPhase::Read && !m_bReloadPosted)
        m_bReloadPosted = PostMessageW(m_hWnd, WM_KXW_RELOAD, 0, 0) != FALSE;
    if (n.nAct & ACT_STATE_CHANGED) {
        m_uninstall.OnStateChanged(static_cast<UINT>(n.lParam));
        UpdateCommands();
    }
}

void MainWindow::OnListReady() {
    if (!m_host.ListReady()) return;
    // A cache the component rejected is deleted before it says anything, so a cache file still there means
    // this first list is the cache's.
    const bool bFromCache = m_bExpectCache && !m_bSawCache && FileExists(m_strCachePath);
    const double seconds = static_cast<double>(GetTickCount64() - m_nPhaseStart) / 1000.0;
    if (bFromCache) {
        m_bSawCache = true;
        SetPhase(ListPhase::CacheChecking);
    } else {
        m_dReadSeconds = seconds;
        SetPhase(ListPhase::Read);
    }
    ReloadPrograms();
    ReloadCategories();
}

void MainWindow::ReloadPrograms() {
    std::vector<SoftRecord> records;
    std::wstring error;
    if (!m_host.ReadSoftList(records, error)) {
        SendMessageW(m_hStatus, SB_SETTEXTW, 1, reinterpret_cast<LPARAM>(error.c_str()));
        return;
    }
    m_vecAll.clear();
    m_vecAll.reserve(records.size());
    for (SoftRecord& r : records) m_vecAll.push_back(std::move(r.item));
    ApplyFilter();
}

void MainWindow::ReloadCategories() {
    std::vector<CCategoryItem> items;
    std::wstring error;
    if (!m_host.ReadCategories(items, error)) return;
    m_bFillingCategories = true;
    m_categories.Show(std::move(items));
    m_bFillingCategories = false;
}

void MainWindow::ApplyFilter() {
    if (!m_bStarted) return;
    const std::wstring text = WindowText(m_hSearch);
    const CCategoryItem* category = m_categories.SelectedIsAll() ? nullptr : m_categories.Selected();
    const std::wstring categoryName = category ? category->Name : L"";
    // While the machine is read again the component holds its list for the whole pass, and its search would
    // freeze the window until the pass ends: the shown list is filtered here meanwhile (by name, without pinyin),
    // and by the component's search once the list is final.
    const bool bLocal = m_phase != ListPhase::Read;
    std::set<UINT> byName, byCategory;
    bool bByName = !text.empty() && !bLocal, bByCategory = category != nullptr && !bLocal;
    std::vector<UINT> ids;
    if (bByName && SUCCEEDED(m_host.Search(SEARCH_BY_NAME, text, ids))) byName.insert(ids.begin(), ids.end());
    if (bByCategory) {
        ids.clear();
        if (SUCCEEDED(m_host.Search(SEARCH_BY_CATEGORY, categoryName, ids)))
            byCategory.insert(ids.begin(), ids.end());
        else
            bByCategory = false;
    }
    std::vector<CSoftItem> shown;
    for (const CSoftItem& item : m_vecAll) {
        if (bByName && !byName.count(item.Id)) continue;
        if (bLocal && !text.empty() && !NameContains(item.Name, text)) continue;
        if (bByCategory && !byCategory.count(item.Id)) continue;
        if (category && !bByCategory && item.Category != categoryName) continue;
        shown.push_back(item);
    }
    m_programs.Show(std::move(shown));
    UpdateCommands();
    UpdateStatus();
}

void MainWindow::Refresh() {
    if (!m_bStarted || m_uninstall.Running() || m_phase != ListPhase::Read) {
        MessageBeep(MB_OK);
        return;
    }
    if (FAILED(m_host.Refresh())) return;
    m_vecAll.clear();
    m_programs.ClearStates();
    m_programs.Show({});
    m_bFillingCategories = true;
    m_categories.Clear();
    m_bFillingCategories = false;
    m_bExpectCache = false;
    SetPhase(ListPhase::Reading);
    SetTimer(m_hWnd, kStatusTimer, kStatusTickMs, nullptr);
}

void MainWindow::UninstallSelected() {
    const CSoftItem* selected = m_programs.Selected();
    if (!selected || !m_bStarted) return;
    if (!m_options.readOnlyPrefix.empty() && !m_options.allowChanges) {
        MessageBoxW(m_hWnd, UiFormat(IDS_READ_ONLY, m_options.readOnlyPrefix.c_str()).c_str(),
                    UiString(IDS_ERROR_TITLE).c_str(), MB_OK | MB_ICONINFORMATION);
        return;
    }
    const CSoftItem program = *selected;
    m_uninstall.Start(program);
    UpdateCommands();
}

void MainWindow::OnUninstallEnded(UINT nId, UINT nState) {
    if (nState == SOFT_STATE_REMOVED) RemoveProgram(nId);
    UpdateCommands();
}

void MainWindow::RemoveProgram(UINT nId) {
    bool bFound = false;
    for (auto it = m_vecAll.begin(); it != m_vecAll.end(); ++it)
        if (it->Id == nId) {
            m_vecAll.erase(it);
            bFound = true;
            break;
        }
    // The program the window just uninstalled says "removed" for a moment; others leave at once.
    if (nId == m_uninstall.Program().Id && m_uninstall.Program().Id != 0) {
        m_programs.SetState(nId, StateText(SOFT_STATE_REMOVED, true, UninstallEnd()));
        m_vecLinger.push_back(nId);
        SetTimer(m_hWnd, kLingerTimer, kLingerMs, nullptr);
    } else {
        m_programs.Remove(nId);
    }
    if (bFound && !m_bCategoriesPosted) m_bCategoriesPosted = PostMessageW(m_hWnd, WM_KXW_CATEGORIES, 0, 0) != FALSE;
    UpdateStatus();
}

void MainWindow::UpdateCommands() {
    const bool bRunning = m_uninstall.Running();
    const bool canUninstall = m_bStarted && !bRunning && m_programs.Selected() != nullptr;
    const bool canCancel = m_uninstall.CanCancel();
    const bool canActivate = m_uninstall.UninstallerRunning();
    // A reading already under way is not asked for again (Refresh would wait for the pass's lock meanwhile).
    const bool canRefresh = m_bStarted && !bRunning && m_phase == ListPhase::Read;
    const struct {
        UINT id;
        bool enabled;
    } kCommands[] = {{IDC_KXW_UNINSTALL, canUninstall},
                     {IDC_KXW_CANCEL_UNINSTALL, canCancel},
                     {IDC_KXW_ACTIVATE, canActivate},
                     {IDC_KXW_REFRESH, canRefresh}};
    HMENU menu = GetMenu(m_hWnd);
    for (const auto& c : kCommands) {
        if (m_hToolbar) SendMessageW(m_hToolbar, TB_ENABLEBUTTON, c.id, MAKELONG(c.enabled ? TRUE : FALSE, 0));
        if (menu) EnableMenuItem(menu, c.id, MF_BYCOMMAND | (c.enabled ? MF_ENABLED : MF_GRAYED));
    }
}

void MainWindow::SetPhase(ListPhase phase) {
    if (phase == ListPhase::Reading) m_nPhaseStart = GetTickCount64();
    m_phase = phase;
    if (phase == ListPhase::Read) KillTimer(m_hWnd, kStatusTimer);
    UpdateStatus();
    UpdateCommands();
}

void MainWindow::UpdateStatus() {
    if (!m_hStatus) return;
    // A removed program's row that still says so is no longer counted.
    long long bytes = 0;
    size_t shown = 0;
    for (const CSoftItem& item : m_programs.Rows()) {
        if (std::find(m_vecLinger.begin(), m_vecLinger.end(), item.Id) != m_vecLinger.end()) continue;
        bytes += item.Size;
        ++shown;
    }
    const std::wstring count =
        m_phase == ListPhase::Reading && m_vecAll.empty() ? L"" : CountText(shown, m_vecAll.size(), bytes);
    const double seconds = m_phase == ListPhase::Read ? m_dReadSeconds
                                                      : static_cast<double>(GetTickCount64() - m_nPhaseStart) / 1000.0;
    const std::wstring phase = PhaseText(m_bStarted || m_phase != ListPhase::Reading ? m_phase : ListPhase::Starting, seconds);
    SendMessageW(m_hStatus, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(count.c_str()));
    SendMessageW(m_hStatus, SB_SETTEXTW, 1, reinterpret_cast<LPARAM>(phase.c_str()));
}
