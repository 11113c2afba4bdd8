// The interface and class ids the CLI uses, defined once for its binaries.
#include <windows.h>
#include <initguid.h>

#include "KxUninstIf.h"
