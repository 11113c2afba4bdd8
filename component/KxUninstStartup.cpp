#include "KxUninstStartup.h"

#include "KxLog.h"

BOOL KxUninstStartup(HINSTANCE) {
    CKxLog::Instance().Open();
    return TRUE;
}
