// KxData.dll: the in-process server of the data component. One creatable class, CLSID_KxDataMgr.
#include <windows.h>
#include <initguid.h>

#include <cstring>
#include <map>
#include <new>
#include <set>

#include "DataMgr.h"
#include "RulesFile.h"
#include "KxUninstIf.h"
#include "ErrorEdge.h"
#include "RuntimeUnload.h"
#include "ScopedHandle.h"

namespace {

HMODULE g_hModule = nullptr;
LONG g_cObjects = 0;  // live CKxDataMgr objects
LONG g_cLocks = 0;    // IClassFactory::LockServer

// Ids of SoftIds the rules file gives none. They derive from the SoftId, so a program keeps its id from one
// process to the next; the ids already handed out in this process are remembered so that two SoftIds never
// share one.
struct DynamicIds {
    std::map<std::wstring, UINT> bySoftId;
    std::set<UINT> taken;
};
kx::critical_section* g_pcsIds = nullptr;
DynamicIds* g_pIds = nullptr;

// FNV-1a over the SoftId's UTF-16LE bytes, then over the probe number when there is one.
UINT SoftIdHash(const std::wstring& strSoftId, UINT nProbe) {
    UINT h = 2166136261u;
    auto add = [&h](BYTE b) { h = (h ^ b) * 16777619u; };
    for (wchar_t c : strSoftId) {
        add(static_cast<BYTE>(c & 0xFF));
        add(static_cast<BYTE>((c >> 8) & 0xFF));
    }
    for (int i = 0; nProbe && i < 4; ++i) add(static_cast<BYTE>(nProbe >> (8 * i)));
    return h;
}

// The entry point named by KXDATA_FAULT when the DLL was loaded; empty in a product run.
char g_szFaultEntry[64] = {};

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

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* pOuter, REFIID riid, void** ppv) override try {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (pOuter) return CLASS_E_NOAGGREGATION;
        KxDataFaultPoint("CreateInstance");
        kx::com_ptr<IKxDataMgr> p;
        p.reset(new CKxDataMgr());  // takes over the constructor's reference
        return p->QueryInterface(riid, ppv);
    } catch (...) {
        return kx::ResultOfCurrentException();
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

void KxDataFaultPoint(const char* pszEntry) {
    if (g_szFaultEntry[0] && strcmp(g_szFaultEntry, pszEntry) == 0) throw std::bad_alloc();
}

UINT KxDynamicSoftId(const std::wstring& strSoftId) {
    kx::CritSecLock lock(*g_pcsIds);
    auto it = g_pIds->bySoftId.find(strSoftId);
    if (it != g_pIds->bySoftId.end()) return it->second;
    // The range starts above every id the rules file may fix, so it never meets a rule's id (and never 0).
    const UINT nRange = 0xFFFFFFFFu - kFirstDynamicSoftId + 1;
    UINT id = 0;
    for (UINT nProbe = 0;; ++nProbe) {
        id = kFirstDynamicSoftId + SoftIdHash(strSoftId, nProbe) % nRange;
        if (g_pIds->taken.insert(id).second) break;
    }
    g_pIds->bySoftId.emplace(strSoftId, id);
    return id;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID pReserved) {
    if (dwReason == DLL_PROCESS_ATTACH) {
        g_hModule = hInstance;
        DisableThreadLibraryCalls(hInstance);
        GetEnvironmentVariableA("KXDATA_FAULT", g_szFaultEntry, sizeof(g_szFaultEntry));
        g_pcsIds = new (std::nothrow) kx::critical_section();
        g_pIds = new (std::nothrow) DynamicIds();
        return g_pcsIds && g_pIds;
    }
    // At process exit other threads are gone mid-call: their locks and maps are left to the system.
    if (dwReason == DLL_PROCESS_DETACH && !pReserved) {
        delete g_pIds;
        g_pIds = nullptr;
        delete g_pcsIds;
        g_pcsIds = nullptr;
        ReleaseRuntimeAtUnload();
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
