// DLL entry point of KxUninst.dll.
#define KX_LOG_SOURCE ".\\KxUninst"
#include <windows.h>

#include "KxUninstStartup.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID) {
    if (dwReason == DLL_PROCESS_ATTACH) return KxUninstStartup(hInstance);
    return TRUE;
}
