#include "DataMgr.h"

#include <cstdlib>
#include <cwchar>

#include "ErrorEdge.h"
#include "ScopedHandle.h"
#include "Serializer.h"
#include "SoftStates.h"

namespace {

const wchar_t kRulesFileName[] = L"KxDataRules.txt";

const HRESULT E_KX_NOT_FOUND = HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
const HRESULT E_KX_BUFFER = HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
const HRESULT E_KX_REFUSED = HRESULT_FROM_WIN32(ERROR_INVALID_STATE);
const HRESULT E_KX_BOUNDS = static_cast<HRESULT>(0x8000000BL);  // E_BOUNDS

bool IsRuleType(UINT nType) { return nType == DATA_UNINSTALL_RULE || nType == DATA_SOFT_INFO; }

std::wstring EnvText(const wchar_t* pszName) {
    wchar_t buf[MAX_PATH] = {};
    DWORD n = GetEnvironmentVariableW(pszName, buf, MAX_PATH);
    return n && n < MAX_PATH ? std::wstring(buf, n) : std::wstring();
}

// Both record kinds go through the same copy-out: serialize, check the room, copy.
HRESULT CopyOut(CBaseItem& item, BYTE* pBuffer, UINT nBufferSize) {
    CSerializer writer;
    if (!item.Serialize(writer)) return E_FAIL;
    if (writer.Length() > nBufferSize) return E_KX_BUFFER;
    memcpy(pBuffer, writer.Buffer(), writer.Length());
    return S_OK;
}

}  // namespace

CKxDataMgr::CKxDataMgr()
    : m_loader([this](const KxRuleSet& fresh) {
                   kx::CritSecLock lock(m_cs);
                   return CompareRules(m_rules, fresh);
               },
               [this](KxRuleSet&& set, UINT nAction) { Publish(std::move(set), nAction); }) {
    KxDataObjectCreated();
}

CKxDataMgr::~CKxDataMgr() {
    m_loader.Stop();
    KxDataObjectDestroyed();
}

// ---- IUnknown ---------------------------------------------------------------------------------------------

HRESULT CKxDataMgr::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IKxDataMgr) {
        *ppv = static_cast<IKxDataMgr*>(this);
    } else if (riid == IID_IKxListMgr) {
        *ppv = static_cast<IKxListMgr*>(this);
    } else {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

ULONG CKxDataMgr::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&m_cRef)); }

ULONG CKxDataMgr::Release() {
    LONG n = InterlockedDecrement(&m_cRef);
    if (n == 0) delete this;
    return static_cast<ULONG>(n);
}

// ---- life cycle -------------------------------------------------------------------------------------------

HRESULT CKxDataMgr::Init() try {
    KxDataFaultPoint("Init");
    if (!m_loader.Prepare()) return E_OUTOFMEMORY;
    kx::CritSecLock lock(m_cs);
    m_bInited = true;
    return S_OK;
} catch (...) {
    return kx::ResultOfCurrentException();
}

HRESULT CKxDataMgr::Uninit() try {
    m_loader.Stop();
    kx::CritSecLock lock(m_cs);
    m_bInited = false;
    m_bLoaded = false;
    m_rules = KxRuleSet();
    m_early = KxRuleSet();
    m_bEarly = false;
    m_mapListener.clear();
    return S_OK;
} catch (...) {
    return kx::ResultOfCurrentException();
}

HRESULT CKxDataMgr::LoadData(UINT nType) try {
    if (nType == DATA_SOFT_STATE) return S_OK;
    if (!IsRuleType(nType)) return E_INVALIDARG;
    kx::CritSecLock lock(m_cs);
    if (!m_bInited) return E_UNEXPECTED;
    return m_loader.Start(RulesPath()) ? S_OK : HRESULT_FROM_WIN32(GetLastError());
} catch (...) {
    return kx::ResultOfCurrentException();
}

HRESULT CKxDataMgr::ReloadData(UINT nType) {
    if (!IsRuleType(nType)) return E_INVALIDARG;
    kx::CritSecLock lock(m_cs);
    if (!m_bInited || !m_loader.IsRunning()) return E_UNEXPECTED;
    m_loader.Reload();
    return S_OK;
}

// ---- the rules file ---------------------------------------------------------------------------------------

std::wstring CKxDataMgr::RulesPath() const {
    std::wstring path = EnvText(L"KXDATA_RULES");
    if (!path.empty()) return path;
    wchar_t szPath[MAX_PATH] = {};
    DWORD n = GetModuleFileNameW(KxDataModule(), szPath, MAX_PATH);
    std::wstring module(szPath, n < MAX_PATH ? n : 0);
    return module.substr(0, module.rfind(L'\\') + 1) + kRulesFileName;
}

void CKxDataMgr::Publish(KxRuleSet&& set, UINT nAction) {
    kx::CritSecLock lock(m_cs);
    m_rules = std::move(set);
    m_bLoaded = true;
    PostToListeners(DATA_UNINSTALL_RULE, nAction, 0);
    PostToListeners(DATA_SOFT_INFO, nAction, 0);
}

void CKxDataMgr::PostToListeners(UINT nType, UINT nAction, LPARAM lParam) {
    WPARAM wParam = MAKEWPARAM(nAction, nType);
    for (const auto& l : m_mapListener)
        if (l.second & nType) PostMessageW(l.first, WM_LISTMGR, wParam, lParam);
}

const KxSoftware* CKxDataMgr::FindById(UINT nId) const {
    for (const auto& s : m_rules.soft)
        if (s->rule.Id == nId) return s.get();
    return nullptr;
}

// ---- ids, states, version ---------------------------------------------------------------------------------

// The ids and the version are facts of the file: a caller that asks before the loader is done (the component
// checks its list cache against the version and gives cached items their ids right after requesting the
// rules) gets them from the file at once, the same answers the loaded rules will give.
const KxRuleSet& CKxDataMgr::LookupRules() {
    if (m_bLoaded) return m_rules;
    if (!m_bEarly) {
        m_early = ReadRules(RulesPath());
        m_bEarly = true;
    }
    return m_early;
}

HRESULT CKxDataMgr::GetSoftId(BSTR bstrSoftId, UINT* pnSoftId) try {
    KxDataFaultPoint("GetSoftId");
    if (!pnSoftId) return E_POINTER;
    if (!bstrSoftId || !*bstrSoftId) return E_INVALIDARG;
    std::wstring key(bstrSoftId);
    {
        kx::CritSecLock lock(m_cs);
        for (const auto& s : LookupRules().soft)
            if (s->rule.SoftId == key) {
                *pnSoftId = s->rule.Id;
                return S_OK;
            }
    }
    *pnSoftId = KxDynamicSoftId(key);
    return S_OK;
} catch (...) {
    return kx::ResultOfCurrentException();
}

HRESULT CKxDataMgr::GetSoftKey(UINT nSoftId, BSTR* pbstrSoftId) try {
    if (!pbstrSoftId) return E_POINTER;
    *pbstrSoftId = nullptr;
    std::wstring key;
    {
        kx::CritSecLock lock(m_cs);
        if (const KxSoftware* s = FindById(nSoftId)) key = s->rule.SoftId;
    }
    if (key.empty()) return E_KX_NOT_FOUND;
    *pbstrSoftId = SysAllocStringLen(key.data(), static_cast<UINT>(key.size()));
    return *pbstrSoftId ? S_OK : E_OUTOFMEMORY;
} catch (...) {
    return kx::ResultOfCurrentException();
}

HRESULT CKxDataMgr::GetSoftState(UINT nSoftId, KX_SOFT_STATE* pState) try {
    if (!pState) return E_POINTER;
    if (nSoftId == 0) return E_INVALIDARG;
    CSoftStates::Instance().Get(nSoftId, *pState);
    return S_OK;
} catch (...) {
    return kx::ResultOfCurrentException();
}

HRESULT CKxDataMgr::SetSoftState(UINT nSoftId, UINT nState) try {
    if (nSoftId == 0) return E_INVALIDARG;
    if (!CSoftStates::Instance().Set(nSoftId, nState)) return E_KX_REFUSED;
    kx::CritSecLock lock(m_cs);
    PostToListeners(DATA_SOFT_STATE, ACT_STATE_CHANGED, static_cast<LPARAM>(nSoftId));
    return S_OK;
} catch (...) {
    return kx::ResultOfCurrentException();
}

HRESULT CKxDataMgr::GetDataVersion(UINT nType, UINT* pnVersion) try {
    if (!pnVersion) return E_POINTER;
    if (!IsRuleType(nType)) return E_INVALIDARG;
    kx::CritSecLock lock(m_cs);
    *pnVersion = LookupRules().nVersion;
    return S_OK;
} catch (...) {
    return kx::ResultOfCurrentException();
}

// ---- IKxListMgr -------------------------------------------------------------------------------------------

HRESULT CKxDataMgr::GetItemByIndex(UINT nType, UINT nIndex, BYTE* pBuffer, UINT nBufferSize) try {
    if (!pBuffer) return E_POINTER;
    if (!IsRuleType(nType)) return E_INVALIDARG;
    std::shared_ptr<const KxSoftware> soft;
    {
        kx::CritSecLock lock(m_cs);
        if (nIndex >= m_rules.soft.size()) return E_KX_BOUNDS;
        soft = m_rules.soft[nIndex];
    }
    KxSoftware copy(*soft);
    return nType == DATA_UNINSTALL_RULE ? CopyOut(copy.rule, pBuffer, nBufferSize)
                                        : CopyOut(copy.info, pBuffer, nBufferSize);
} catch (...) {
    return kx::ResultOfCurrentException();
}

HRESULT CKxDataMgr::GetItemById(UINT nType, UINT nId, BYTE* pBuffer, UINT nBufferSize) try {
    if (!pBuffer) return E_POINTER;
    if (!IsRuleType(nType)) return E_INVALIDARG;
    KxSoftware copy;
    {
        kx::CritSecLock lock(m_cs);
        const KxSoftware* soft = FindById(nId);
        if (!soft) return E_KX_NOT_FOUND;
        copy = *soft;
    }
    return nType == DATA_UNINSTALL_RULE ? CopyOut(copy.rule, pBuffer, nBufferSize)
                                        : CopyOut(copy.info, pBuffer, nBufferSize);
} catch (...) {
    return kx::ResultOfCurrentException();
}

HRESULT CKxDataMgr::GetSize(UINT nType, UINT* pnSize) {
    if (!pnSize) return E_POINTER;
    kx::CritSecLock lock(m_cs);
    if (IsRuleType(nType)) {
        *pnSize = static_cast<UINT>(m_rules.soft.size());
    } else if (nType == DATA_SOFT_STATE) {
        *pnSize = CSoftStates::Instance().Count();
    } else {
        return E_INVALIDARG;
    }
    return S_OK;
}

HRESULT CKxDataMgr::IsLoaded(UINT nType, BOOL* pbLoaded) {
    if (!pbLoaded) return E_POINTER;
    kx::CritSecLock lock(m_cs);
    if (IsRuleType(nType)) {
        *pbLoaded = m_bLoaded ? TRUE : FALSE;
    } else if (nType == DATA_SOFT_STATE) {
        *pbLoaded = TRUE;
    } else {
        return E_INVALIDARG;
    }
    return S_OK;
}

HRESULT CKxDataMgr::AddListener(HWND hWnd, UINT nTypeMask) try {
    if (!hWnd || !(nTypeMask & 0xFFFF)) return E_INVALIDARG;
    kx::CritSecLock lock(m_cs);
    m_mapListener[hWnd] |= nTypeMask & 0xFFFF;
    return S_OK;
} catch (...) {
    return kx::ResultOfCurrentException();
}

HRESULT CKxDataMgr::RemoveListener(HWND hWnd, UINT nTypeMask) {
    kx::CritSecLock lock(m_cs);
    auto it = m_mapListener.find(hWnd);
    if (it == m_mapListener.end()) return S_OK;
    it->second &= ~nTypeMask;
    if (!it->second) m_mapListener.erase(it);
    return S_OK;
}

HRESULT CKxDataMgr::Notify(WPARAM wParam, LPARAM lParam) {
    return NotifyByType(HIWORD(wParam), wParam, lParam);
}

HRESULT CKxDataMgr::NotifyByType(UINT nType, WPARAM wParam, LPARAM lParam) {
    kx::CritSecLock lock(m_cs);
    for (const auto& l : m_mapListener)
        if (l.second & nType) PostMessageW(l.first, WM_LISTMGR, wParam, lParam);
    return S_OK;
}

// The data component keeps no cache and offers no search: the rules file is its storage.
HRESULT CKxDataMgr::DumpToDisk(UINT, UINT, BSTR) { return E_NOTIMPL; }
HRESULT CKxDataMgr::LoadFromDisk(UINT, UINT, BSTR) { return E_NOTIMPL; }
HRESULT CKxDataMgr::Reserved(UINT) { return E_NOTIMPL; }
HRESULT CKxDataMgr::Search(UINT, UINT, BSTR, UINT*, UINT*) { return E_NOTIMPL; }
HRESULT CKxDataMgr::OnNotify(UINT, UINT, UINT) { return E_NOTIMPL; }
