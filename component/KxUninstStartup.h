#pragma once

#include <windows.h>

// The start-up work of the DLL's process-attach notification, callable by tests: opens the component log.
// Returns FALSE only when the module object could not be initialised.
BOOL KxUninstStartup(HINSTANCE hInstance);
