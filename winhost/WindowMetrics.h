// What the host's windows measure themselves by: the DPI they are shown at, the system's message font at a DPI,
// and a window's text.
#pragma once

#include <windows.h>

#include <string>

#include "ScopedHandle.h"

#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif

// The screen's DPI, as a window that is not per-monitor aware is drawn at.
UINT SystemDpi();
// The window's own DPI where the system knows it (per-monitor awareness), else the screen's.
UINT WindowDpi(HWND hWnd);
// The message font (NONCLIENTMETRICS) at a DPI; empty when the system gives none.
kx::unique_hfont MessageFont(UINT dpi);
std::wstring WindowText(HWND hWnd);
