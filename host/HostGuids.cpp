// The interface and class ids a host uses, defined once for its binaries.
#include <windows.h>
#include <initguid.h>

#include "KxUninstIf.h"
