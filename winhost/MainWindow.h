// The main window: the search box above, the category pane and the program list side by side, the row of
// buttons and the status bar below. It starts the component once it is on screen, follows its notifications
// and filters the list through the component's own search.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "CategoryView.h"
#include "ComponentHost.h"
#include "DataStates.h"
#include "ObjectWindowProc.h"
#include "ProgramView.h"
#include "ScopedHandle.h"
#include "StatusText.h"
#include "WindowUninstall.h"

struct WindowOptions {
    std::wstring folder;          // the executable's folder, with trailing backslash
    std::wstring cacheDir;        // the component's cache folder; empty for its own
    std::wstring readOnlyPrefix;  // a prefix that is only read: uninstalling is refused unless allowChanges
    bool allowChanges = false;
};

class MainWindow {
public:
    explicit MainWindow(const WindowOptions& options);
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    bool Create(int nCmdShow);
    HWND Hwnd() const { return m_hWnd; }
    // Runs the message loop until the window is closed; the exit code.
    int Run();

private:
    template <class T>
    friend LRESULT CALLBACK ::ObjectWindowProc(HWND, UINT, WPARAM, LPARAM);
    LRESULT Handle(UINT msg, WPARAM wParam, LPARAM lParam);
    bool CreateControls();
    void CreateToolbar();
    void CreateMenus();
    void ApplyFont();
    void Layout();
    void OnDpiChanged(UINT dpi, const RECT* suggested);
    void OnCommand(UINT id);
    LRESULT OnNotifyControl(NMHDR* hdr);
    void OnContextMenu(HWND hFrom, LPARAM lParam);
    bool OnClose();

    void StartComponent();
    void OnListNotification(const ListNotification& n);
    void OnListReady();
    void ReloadPrograms();
    void ReloadCategories();
    void ApplyFilter();
    void Refresh();
    void UninstallSelected();
    void OnUninstallEnded(UINT nId, UINT nState);
    void RemoveProgram(UINT nId);
    void UpdateCommands();
    void UpdateStatus();
    void SetPhase(ListPhase phase);
    void Fail(const std::wstring& text);

    WindowOptions m_options;
    HWND m_hWnd = nullptr;
    HWND m_hSearch = nullptr;
    HWND m_hToolbar = nullptr;
    HWND m_hStatus = nullptr;
    HWND m_hLastFocus = nullptr;
    kx::unique_hfont m_hFont;
    kx::unique_haccel m_hAccel;
    UINT m_nDpi = 96;

    ComponentHost m_host;
    DataStates m_states;
    ProgramView m_programs;
    CategoryView m_categories;
    WindowUninstall m_uninstall;
    bool m_bStarted = false;
    bool m_bFillingCategories = false;
    bool m_bCategoriesPosted = false;
    bool m_bReloadPosted = false;

    std::vector<CSoftItem> m_vecAll;  // the component's soft list as last read
    std::vector<UINT> m_vecLinger;    // rows of removed programs still shown, saying so
    ListPhase m_phase = ListPhase::Starting;
    ULONGLONG m_nPhaseStart = 0;
    double m_dReadSeconds = 0;
    std::wstring m_strCachePath;
    bool m_bExpectCache = false;
    bool m_bSawCache = false;
};
