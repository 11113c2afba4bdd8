#include "KxUninstModule.h"

#include <oleauto.h>

#include "ErrorEdge.h"
#include "GuidText.h"
#include "KxUninstFactory.h"
#include "KxUninstIf.h"
#include "Registrar.h"
#include "ScopedHandle.h"

namespace {

// Registration runs under the system's default locale, whatever the calling thread had.
class SystemLocaleScope {
public:
    SystemLocaleScope() : m_lcid(GetThreadLocale()) { SetThreadLocale(LOCALE_SYSTEM_DEFAULT); }
    ~SystemLocaleScope() { SetThreadLocale(m_lcid); }
    SystemLocaleScope(const SystemLocaleScope&) = delete;
    SystemLocaleScope& operator=(const SystemLocaleScope&) = delete;

private:
    LCID m_lcid;
};

HRESULT RegisterTypeLibrary(const std::wstring& strModule) {
    kx::com_ptr<ITypeLib> lib;
    HRESULT hr = LoadTypeLibEx(strModule.c_str(), REGKIND_NONE, lib.put());
    if (FAILED(hr)) return hr;
    std::wstring strFolder = strModule.substr(0, strModule.rfind(L'\\') + 1);
    std::wstring strPath = strModule;
    return RegisterTypeLib(lib.get(), &strPath[0], &strFolder[0]);
}

HRESULT UnregisterTypeLibrary(const std::wstring& strModule) {
    kx::com_ptr<ITypeLib> lib;
    HRESULT hr = LoadTypeLibEx(strModule.c_str(), REGKIND_NONE, lib.put());
    if (FAILED(hr)) return hr;
    TLIBATTR* pAttr = nullptr;
    hr = lib->GetLibAttr(&pAttr);
    if (FAILED(hr)) return hr;
    TLIBATTR attr = *pAttr;
    lib->ReleaseTLibAttr(pAttr);
    // A type library that is not registered is already where unregistration would leave it.
    kx::unique_bstr path;
    if (FAILED(QueryPathOfRegTypeLib(attr.guid, attr.wMajorVerNum, attr.wMinorVerNum, attr.lcid, path.put())))
        return S_OK;
    return UnRegisterTypeLib(attr.guid, attr.wMajorVerNum, attr.wMinorVerNum, attr.lcid, attr.syskind);
}

}  // namespace

CKxUninstModule& CKxUninstModule::Instance() {
    static CKxUninstModule module;
    return module;
}

BOOL CKxUninstModule::Init(HINSTANCE hInstance) {
    m_hInstance = hInstance;
    return TRUE;
}

HMODULE CKxUninstModule::ModuleHandle() const {
    if (m_hInstance) return m_hInstance;
    HMODULE hModule = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&CKxUninstModule::Instance), &hModule);
    return hModule;
}

std::wstring CKxUninstModule::ModulePath() const {
    wchar_t szPath[MAX_PATH] = {};
    DWORD n = GetModuleFileNameW(ModuleHandle(), szPath, MAX_PATH);
    return n == 0 || n >= MAX_PATH ? std::wstring() : std::wstring(szPath, n);
}

HRESULT CKxUninstModule::GetClassObject(REFCLSID rclsid, REFIID riid, void** ppv) {
    kx::FaultPoint("DllGetClassObject");
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (!IsEqualCLSID(rclsid, CLSID_KxUninstMgr)) return CLASS_E_CLASSNOTAVAILABLE;
    return CKxUninstFactory::Instance().QueryInterface(riid, ppv);
}

HRESULT CKxUninstModule::RegisterServer() {
    SystemLocaleScope locale;
    const std::wstring strModule = ModulePath();
    const kx::RegReplacements vars = {{L"APPID", kx::GuidText(APPID_KxUninst)}, {L"MODULE", strModule}};
    HRESULT hr = kx::ApplyRegistryResource(ModuleHandle(), IDR_KXUNINST, vars, true);
    if (SUCCEEDED(hr)) hr = kx::ApplyRegistryResource(ModuleHandle(), IDR_KXUNINSTMGR, vars, true);
    if (SUCCEEDED(hr)) hr = RegisterTypeLibrary(strModule);
    return hr;
}

HRESULT CKxUninstModule::UnregisterServer() {
    SystemLocaleScope locale;
    const std::wstring strModule = ModulePath();
    const kx::RegReplacements vars = {{L"APPID", kx::GuidText(APPID_KxUninst)}, {L"MODULE", strModule}};
    HRESULT hr = kx::ApplyRegistryResource(ModuleHandle(), IDR_KXUNINSTMGR, vars, false);
    if (SUCCEEDED(hr)) hr = UnregisterTypeLibrary(strModule);
    if (SUCCEEDED(hr)) hr = kx::ApplyRegistryResource(ModuleHandle(), IDR_KXUNINST, vars, false);
    return hr;
}
