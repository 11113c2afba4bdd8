// The one place of the component library where the interface and class ids are defined.
#include <initguid.h>

#include "KxUninstIf.h"
