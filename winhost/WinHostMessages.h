// The main window's private messages, posted to itself so that work starts outside the handler that asked for it.
#pragma once

#include <windows.h>

#define WM_KXW_START (WM_APP + 1)       // start the component once the window is on screen
#define WM_KXW_CATEGORIES (WM_APP + 2)  // read the category list again (counts changed)
#define WM_KXW_LEFTOVERS (WM_APP + 3)   // the running uninstall offers leftovers: open the dialog
#define WM_KXW_RELOAD (WM_APP + 4)      // read the program list again (a program was added or changed)
