// DLL entry point and the four exports of the in-process server.
#define KX_LOG_SOURCE ".\\KxUninst"
#include <windows.h>

#include "KxUninstModule.h"
#include "KxUninstStartup.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID) {
    if (dwReason == DLL_PROCESS_ATTACH) return KxUninstStartup(hInstance);
    return TRUE;
}

STDAPI DllCanUnloadNow() { return CKxUninstModule::Instance().CanUnloadNow(); }

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
    return CKxUninstModule::Instance().GetClassObject(rclsid, riid, ppv);
}

STDAPI DllRegisterServer() { return CKxUninstModule::Instance().RegisterServer(); }

STDAPI DllUnregisterServer() { return CKxUninstModule::Instance().UnregisterServer(); }
