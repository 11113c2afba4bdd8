// The data component's object: the rules and software-information records read from the rules file, the
// uninstall states, and the windows that listen for them. One lock guards all of it, so both the host
// thread and the component's worker may call at once. The rules loader's thread reads the file and then
// watches it for changes until Uninit, handing each version over under that lock.
#pragma once

#include <map>
#include <string>

#include "KxUninstIf.h"
#include "RulesFile.h"
#include "RulesLoader.h"
#include "ScopedHandle.h"

class CKxDataMgr : public IKxDataMgr, public IKxListMgr {
public:
    CKxDataMgr();
    virtual ~CKxDataMgr();
    CKxDataMgr(const CKxDataMgr&) = delete;
    CKxDataMgr& operator=(const CKxDataMgr&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // IKxDataMgr
    HRESULT STDMETHODCALLTYPE Init() override;
    HRESULT STDMETHODCALLTYPE Uninit() override;
    HRESULT STDMETHODCALLTYPE LoadData(UINT nType) override;
    HRESULT STDMETHODCALLTYPE ReloadData(UINT nType) override;
    HRESULT STDMETHODCALLTYPE GetSoftId(BSTR bstrSoftId, UINT* pnSoftId) override;
    HRESULT STDMETHODCALLTYPE GetSoftKey(UINT nSoftId, BSTR* pbstrSoftId) override;
    HRESULT STDMETHODCALLTYPE GetSoftState(UINT nSoftId, KX_SOFT_STATE* pState) override;
    HRESULT STDMETHODCALLTYPE SetSoftState(UINT nSoftId, UINT nState) override;
    HRESULT STDMETHODCALLTYPE GetDataVersion(UINT nType, UINT* pnVersion) override;

    // IKxListMgr
    HRESULT STDMETHODCALLTYPE GetItemByIndex(UINT nType, UINT nIndex, BYTE* pBuffer, UINT nBufferSize) override;
    HRESULT STDMETHODCALLTYPE GetItemById(UINT nType, UINT nId, BYTE* pBuffer, UINT nBufferSize) override;
    HRESULT STDMETHODCALLTYPE AddListener(HWND hWnd, UINT nTypeMask) override;
    HRESULT STDMETHODCALLTYPE RemoveListener(HWND hWnd, UINT nTypeMask) override;
    HRESULT STDMETHODCALLTYPE Notify(WPARAM wParam, LPARAM lParam) override;
    HRESULT STDMETHODCALLTYPE NotifyByType(UINT nType, WPARAM wParam, LPARAM lParam) override;
    HRESULT STDMETHODCALLTYPE GetSize(UINT nType, UINT* pnSize) override;
    HRESULT STDMETHODCALLTYPE DumpToDisk(UINT nType, UINT nVersion, BSTR bstrFile) override;
    HRESULT STDMETHODCALLTYPE LoadFromDisk(UINT nType, UINT nVersion, BSTR bstrFile) override;
    HRESULT STDMETHODCALLTYPE Reserved(UINT nReserved) override;
    HRESULT STDMETHODCALLTYPE Search(UINT nType, UINT nSearchType, BSTR bstrSearch, UINT* pIds, UINT* pnSize) override;
    HRESULT STDMETHODCALLTYPE OnNotify(UINT nType, UINT nAct, UINT nId) override;
    HRESULT STDMETHODCALLTYPE IsLoaded(UINT nType, BOOL* pbLoaded) override;

private:
    void Publish(KxRuleSet&& set, UINT nAction);
    void PostToListeners(UINT nType, UINT nAction, LPARAM lParam);  // caller holds m_cs
    std::wstring RulesPath() const;
    const KxSoftware* FindById(UINT nId) const;  // caller holds m_cs
    const KxRuleSet& LookupRules();               // caller holds m_cs

    LONG m_cRef = 1;
    kx::critical_section m_cs;
    bool m_bInited = false;
    bool m_bLoaded = false;
    KxRuleSet m_rules;
    // The file as read by a caller that came before the loader was done (ids and version only).
    KxRuleSet m_early;
    bool m_bEarly = false;
    std::map<HWND, UINT> m_mapListener;  // window -> type mask
    // Last, so that it is stopped before anything its thread hands over to goes away.
    CRulesLoader m_loader;
};

// Module bookkeeping for DllCanUnloadNow.
void KxDataObjectCreated();
void KxDataObjectDestroyed();
HMODULE KxDataModule();
// The process-wide id of a SoftId the rules file gives no id; stable for the process.
UINT KxDynamicSoftId(const std::wstring& strSoftId);
// Test seam of the entry points: KXDATA_FAULT (read when the DLL is loaded) names an entry point that throws
// an allocation failure, to show that nothing escapes.
void KxDataFaultPoint(const char* pszEntry);
