// The interface and class ids the benchmark hosts use, defined once for each of their executables.
#include <windows.h>
#include <initguid.h>

#include "KxUninstIf.h"
