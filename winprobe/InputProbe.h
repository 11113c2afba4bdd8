// Input for another process's windows: characters and keys as messages, mouse clicks as real input.
#pragma once

#include <windows.h>

#include <string>

// Each character as WM_CHAR, handled before the call returns (the control notifies its parent as it would
// for a person's typing). "\b" deletes backwards.
void TypeText(HWND control, const std::wstring& text);
// Key down and up posted to `control`, so they pass through its thread's message loop and accelerators.
void PressKey(HWND control, UINT vk);
// Brings the control's top-level window to the front and clicks (twice for a double click) at the client
// point with the mouse; false when the input could not be sent.
bool ClickAt(HWND control, POINT client, bool twice);
// The virtual key named F5, DELETE, RETURN, SPACE, ESCAPE, TAB or given as a number; 0 when unknown.
UINT KeyByName(const std::wstring& name);
