// Finding the windows of another process: its top-level windows by class, their controls by id, and the
// desktop they live on (a window is only seen from a thread of the same desktop).
#pragma once

#include <windows.h>

#include <functional>
#include <string>

// Moves the calling thread to the named desktop of the window station. Must come before the thread creates
// any window; false when the desktop does not exist.
bool UseDesktop(const std::wstring& name);

// The first visible top-level window of `className`, else nullptr.
HWND FindTopWindow(const std::wstring& className);
// A visible top-level window of `className` owned by `owner` (a message box of the standard dialog class
// "#32770", a dialog of the window), else nullptr.
HWND FindOwnedWindow(HWND owner, const std::wstring& className);
// The descendant of `parent` with control id `id` (at any depth: a search box may sit inside a toolbar).
HWND FindControl(HWND parent, int id);
std::wstring ClassOf(HWND hwnd);

// Calls `done` every 100 ms until it returns true or `seconds` have passed; returns its last answer.
bool WaitUntil(double seconds, const std::function<bool()>& done);
