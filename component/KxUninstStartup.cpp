#include "KxUninstStartup.h"

#include "KxLog.h"
#include "KxUninstModule.h"

BOOL KxUninstStartup(HINSTANCE hInstance) {
    CKxLog::Instance().Open();
    return CKxUninstModule::Instance().Init(hInstance);
}
