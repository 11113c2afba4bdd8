// Link-only stand-in; see PendingDeps.h.
#include "PendingDeps.h"

std::wstring CategoryNameById(UINT) { return std::wstring(); }
