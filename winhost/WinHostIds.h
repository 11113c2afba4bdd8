// The window host's class names and control ids. The window's own code and the tests that drive it from
// another process (reading its controls with the common controls' messages) share them, so they are its
// outside contract: change one only together with its readers.
#pragma once

#define KXW_MAIN_CLASS L"KxUninstWMain"          // the main window (one per process)
#define KXW_LEFTOVER_CLASS L"KxUninstWLeftovers"  // the leftover dialog, owned by the main window

// Main window.
#define IDC_KXW_CATEGORIES 1001  // ListView, report mode, one column: "name (count)"; item lParam = category id
#define IDC_KXW_PROGRAMS 1002    // ListView, report mode; item lParam = soft id; columns below
#define IDC_KXW_SEARCH 1003      // Edit: filters on every change
#define IDC_KXW_STATUS 1004      // status bar
#define IDC_KXW_TOOLBAR 1005     // the row of buttons below

// Commands (buttons, menus and accelerators send them as WM_COMMAND to the main window).
#define IDC_KXW_REFRESH 1010
#define IDC_KXW_UNINSTALL 1011
#define IDC_KXW_CANCEL_UNINSTALL 1012
#define IDC_KXW_ACTIVATE 1013

// Program list columns, in order.
#define KXW_COL_NAME 0
#define KXW_COL_CATEGORY 1
#define KXW_COL_SIZE 2
#define KXW_COL_INSTALLED 3
#define KXW_COL_LAST_USED 4
#define KXW_COL_STATE 5  // the uninstall state while one runs; empty otherwise

// Leftover dialog.
#define IDC_KXW_LEFTOVER_TREE 2001      // TreeView with check boxes: root, four groups, entries; item lParam = leftover id
#define IDC_KXW_SWEEP 2002              // "Remove selected"
#define IDC_KXW_SWEEP_PROGRESS 2003     // progress bar, 0..100
#define IDC_KXW_SWEEP_SUMMARY 2004      // static text: the summary once the sweep has ended
