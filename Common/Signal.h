// The zero-wait test of an event that long loops make between two items.
#pragma once

#include <windows.h>

namespace kx {

// True when hEvent is set; false for NULL. Under Wine each call is a round trip to the server: test it
// between items, not inside a per-item inner loop.
inline bool IsSignalled(HANDLE hEvent) { return hEvent && WaitForSingleObject(hEvent, 0) == WAIT_OBJECT_0; }

}  // namespace kx
