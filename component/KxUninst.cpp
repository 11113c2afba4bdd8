// DLL entry point and the four exports of the in-process server.
#define KX_LOG_SOURCE ".\\KxUninst"
#include <windows.h>

#include "ErrorEdge.h"
#include "KxUninstModule.h"
#include "KxUninstStartup.h"
#include "RuntimeUnload.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID pReserved) {
    try {
        kx::FaultPoint("DllMain");
        if (dwReason == DLL_PROCESS_ATTACH) return KxUninstStartup(hInstance);
        if (dwReason == DLL_PROCESS_DETACH && !pReserved) ReleaseRuntimeAtUnload();
        return TRUE;
    } catch (...) {
        return FALSE;
    }
}

STDAPI DllCanUnloadNow() { return CKxUninstModule::Instance().CanUnloadNow(); }

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) try {
    return CKxUninstModule::Instance().GetClassObject(rclsid, riid, ppv);
} KX_CATCH_RETURN()

STDAPI DllRegisterServer() try {
    return CKxUninstModule::Instance().RegisterServer();
} KX_CATCH_RETURN()

STDAPI DllUnregisterServer() try {
    return CKxUninstModule::Instance().UnregisterServer();
} KX_CATCH_RETURN()
