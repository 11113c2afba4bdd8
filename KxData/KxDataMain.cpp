// KxData.dll: the in-process server of the data component. One creatable class, CLSID_KxDataMgr.
#include <windows.h>
#include <initguid.h>

#include <map>

#include "DataMgr.h"
#include "KxUninstIf.h"
#include "ScopedHandle.h"

// The statically linked C++ runtime keeps an emergency exception pool (about 73 KB, from malloc) that nothing
// frees when the DLL is unloaded; the component loads and unloads this DLL on every Init and Uninit.
namespace __gnu_cxx {
void __freeres() noexcept;
}

namespace {

HMODULE g_hModule = nullptr;
LONG g_cObjects = 0;  // live CKxDataMgr objects
LONG g_cLocks = 0;    // IClassFactory::LockServer

// Ids handed out for SoftIds the rules file gives none; far above the ids the file uses.
constexpr UINT kFirstDynamicId = 0x00100000;
CRITICAL_SECTION g_csIds;
std::map<std::wstring, UINT>* g_pIds = nullptr;
UINT g_nNextId = kFirstDynamicId;

class CKxDataFactory : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IClassFactory) {
            *ppv = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    // The factory is static: its references keep the module, like a server lock.
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&g_cLocks)); }
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(InterlockedDecrement(&g_cLocks)); }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* pOuter, REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (pOuter) return CLASS_E_NOAGGREGATION;
        CKxDataMgr* p = new (std::nothrow) CKxDataMgr();
        if (!p) return E_OUTOFMEMORY;
        HRESULT hr = p->QueryInterface(riid, ppv);
        p->Release();  // the constructor's reference
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL fLock) override {
        if (fLock)
            InterlockedIncrement(&g_cLocks);
        else
            InterlockedDecrement(&g_cLocks);
        return S_OK;
    }
};

CKxDataFactory g_factory;

}  // namespace

void KxDataObjectCreated() { InterlockedIncrement(&g_cObjects); }
void KxDataObjectDestroyed() { InterlockedDecrement(&g_cObjects); }
HMODULE KxDataModule() { return g_hModule; }

UINT KxDynamicSoftId(const std::wstring& strSoftId) {
    kx::CritSecLock lock(g_csIds);
    auto it = g_pIds->find(strSoftId);
    if (it != g_pIds->end()) return it->second;
    UINT id = g_nNextId++;
    g_pIds->emplace(strSoftId, id);
    return id;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID pReserved) {
    if (dwReason == DLL_PROCESS_ATTACH) {
        g_hModule = hInstance;
        DisableThreadLibraryCalls(hInstance);
        InitializeCriticalSection(&g_csIds);
        g_pIds = new (std::nothrow) std::map<std::wstring, UINT>();
        return g_pIds != nullptr;
    }
    if (dwReason == DLL_PROCESS_DETACH && !pReserved) {
        delete g_pIds;
        g_pIds = nullptr;
        DeleteCriticalSection(&g_csIds);
        __gnu_cxx::__freeres();
    }
    return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (rclsid != CLSID_KxDataMgr) return CLASS_E_CLASSNOTAVAILABLE;
    return g_factory.QueryInterface(riid, ppv);
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() {
    return g_cObjects == 0 && g_cLocks == 0 ? S_OK : S_FALSE;
}
