// Running an uninstaller and waiting for every process it starts: the command runs inside a job object that is
// polled until it is empty, until only browsers or Notepad are left in it, or until the host cancels.
#pragma once

#include <windows.h>

#include <string>

namespace UNINST_API {

// What EnumWindows hands FindProcessWindowProc: the process whose window is searched, and the window found.
struct ProcessWindowSearch {
    DWORD dwProcessId;
    HWND hWnd;
};

// Runs strCmd (suspended, breaking away from any job the host runs in) inside the job
// "KxUninst.WaitForAllProcess" and waits as described above; either event may be NULL, neither is reset or
// closed. FALSE when the process or the job cannot be created. Nothing it started is ever terminated.
BOOL WaitForAllProcess(std::wstring strCmd, HANDLE hCancelEvent, HANDLE hActiveEvent);

// TRUE for the module names of the browsers and of Notepad that an uninstaller may leave open, in any case.
BOOL IsIgnoredProcess(LPCWSTR pszName);

// EnumWindows callback; lParam is a ProcessWindowSearch. Stops at the first window of the searched process.
BOOL CALLBACK FindProcessWindowProc(HWND hWnd, LPARAM lParam);

}  // namespace UNINST_API
