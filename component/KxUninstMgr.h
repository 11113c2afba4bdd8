// CKxUninstMgr: the component object. The host thread runs the interface methods and the message window;
// one worker thread runs the tasks. Which file implements what is noted at each group.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "KxListMgr.h"
#include "KxUninstIf.h"
#include "UnItemInside.h"

class CMesWnd;
class CSoftItem;
class CCategoryItem;
class CPowerSweepItem;
class CUninstallRuleItem;
class CSoftInfoItem;
class CSerializer;

struct TASK_ITEM {
    UINT nTask;
    UINT nParam;
};

enum KX_TASK_CODE : UINT {
    TASK_INIT = 0,
    TASK_EXIT = 1,
    TASK_LOAD_CACHE = 2,
    TASK_CLEAR_RULES = 3,
    TASK_GET_UNRULES = 4,
    TASK_NONE = 5,
    TASK_CREATE_UNLIST = 6,
    TASK_UNINSTALL = 7,
    TASK_POWER_SWEEP = 8,
    TASK_ADD = 9,
    TASK_EMPTY = 10,
};

class CKxUninstMgr : public CKxListMgr, public IKxUninstMgr {
public:
    // Construction, IUnknown and aggregation (KxUninstMgr.cpp).
    explicit CKxUninstMgr(IUnknown* pOuter = nullptr);
    ~CKxUninstMgr() override;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // IKxUninstMgr (KxUninstMgr.cpp).
    HRESULT STDMETHODCALLTYPE Init() override;
    HRESULT STDMETHODCALLTYPE Uninit() override;
    HRESULT STDMETHODCALLTYPE Uninstall(UINT nSoftId) override;
    HRESULT STDMETHODCALLTYPE PowerSweep(UINT nSoftId, UINT* nIds, UINT nCount) override;
    HRESULT STDMETHODCALLTYPE SetCacheDir(BSTR bstrCachDir) override;
    HRESULT STDMETHODCALLTYPE Active(UINT nSoftId) override;
    HRESULT STDMETHODCALLTYPE Refresh() override;
    HRESULT STDMETHODCALLTYPE CancelUninstall(UINT nSoftId) override;

    // IKxListMgr: the list store (items/ListStore.cpp).
    HRESULT STDMETHODCALLTYPE GetItemByIndex(UINT nType, UINT nIndex, BYTE* pBuffer, UINT nBufferSize) override;
    HRESULT STDMETHODCALLTYPE GetItemById(UINT nType, UINT nId, BYTE* pBuffer, UINT nBufferSize) override;
    HRESULT STDMETHODCALLTYPE GetSize(UINT nType, UINT* pnSize) override;
    // IKxListMgr: the rest (KxUninstMgr.cpp; Search in Search.cpp).
    HRESULT STDMETHODCALLTYPE Reserved(UINT nReserved) override;
    HRESULT STDMETHODCALLTYPE Search(UINT nType, UINT nSearchType, BSTR bstrSearch, UINT* pIds,
                                     UINT* pnSize) override;
    HRESULT STDMETHODCALLTYPE OnNotify(UINT nType, UINT nAct, UINT nId) override;
    HRESULT STDMETHODCALLTYPE IsLoaded(UINT nType, BOOL* pbLoaded) override;

    // Cache payload hooks (items/ListCache.cpp).
    int _DumpToDisk(UINT nType, CSerializer& writer) override;
    int _LoadFromDisk(UINT nType, CSerializer& reader) override;

    // Task queue and worker (TaskQueue.cpp).
    void TaskPush(UINT nTask, UINT nParam);
    void TaskPop(UINT& nTask, UINT& nParam);
    DWORD TaskThread();
    static unsigned __stdcall ThreadProc(void* pThis);

    // Handler of the data component's notifications to the message window (KxUninstMgr.cpp).
    void GetData(UINT nType, UINT nAct);

    // Data component and rules (RuleTasks.cpp; the exit task in TaskFree.cpp).
    void TaskInit();
    void TaskGetUnRules();
    void TaskClearRules();
    void TaskFree();

    // Category counting (CategoryStat.cpp); the caller holds m_csList.
    void StatCategory(BOOL bAdd, LPCWSTR pszCategory);

    // Uninstallable-list construction (items/ListBuild.cpp).
    CSoftItem* CreateSoftItem(UnItemInside* pRecord);
    CUninstallRuleItem* MatchRule(CSoftItem* pItem);
    CSoftInfoItem* GetItemFromKxData(UINT nId);
    void TaskCreateUnList();
    void TaskAdd(UINT nId);

    // List cache (items/ListCache.cpp).
    void TaskLoadCache();
    std::wstring CacheFilePath(UINT nType) const;

    // Discovery (discovery/Driver.cpp): fills the map; uses only m_hStopEvent.
    void CreateUnItemInside(InsideMap& map);

    // Uninstall and sweep (uninstall/).
    void TaskUninstall(UINT nSoftId);
    void TaskPowerSweep(UINT nSoftId);

    // Diagnostic dumps of the rule list (4) and the soft list (0x20) (ListDump.cpp).
    void DumpList(UINT nCode);

    // Finds the first item by the lookup predicate: a non-empty key matches Key (soft) / Name (category)
    // exactly, else the number matches Id (items/ListStore.cpp).
    static CSoftItem* FindSoft(const std::vector<CSoftItem*>& list, const std::wstring& strKey, UINT nId);
    static CCategoryItem* FindCategory(const std::vector<CCategoryItem*>& list, const std::wstring& strKey, UINT nId);

    // Fields, in declaration order after the listener registry of CKxListMgr.
    BOOL m_bInited = FALSE;
    HMODULE m_hDll = nullptr;
    CMesWnd* m_pMesWnd = nullptr;
    HANDLE m_hThread = nullptr;
    BOOL m_bListReady = FALSE;
    std::wstring m_strCacheDir;
    HANDLE m_hStopEvent = nullptr;
    HANDLE m_hCancelEvent = nullptr;
    HANDLE m_hActiveEvent = nullptr;
    IKxDataMgr* m_pDataMgr = nullptr;
    CRITICAL_SECTION m_csList;
    CRITICAL_SECTION m_csTask;
    CRITICAL_SECTION m_csSweep;
    std::vector<TASK_ITEM*> m_vecTask;
    std::vector<CUninstallRuleItem*> m_vecRule;
    std::vector<CSoftItem*> m_vecSoft;
    std::vector<CCategoryItem*> m_vecCategory;
    std::vector<CPowerSweepItem*> m_vecSweep;
    std::vector<UINT> m_vecSweepId;

    // The object's own, non-delegating IUnknown: what the class factory hands out, and what an aggregating
    // outer object holds. The IUnknown methods of the two interfaces forward to it when the object stands
    // alone and to the outer object when it is aggregated.
    IUnknown* GetInnerUnknown() { return &m_inner; }

private:
    class CInnerUnknown : public IUnknown {
    public:
        explicit CInnerUnknown(CKxUninstMgr* pOwner) : m_pOwner(pOwner) {}
        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
        ULONG STDMETHODCALLTYPE AddRef() override;
        ULONG STDMETHODCALLTYPE Release() override;

    private:
        CKxUninstMgr* m_pOwner;
    };

    // Reference count (plain: the object lives in one apartment) and the aggregation's outer unknown.
    ULONG m_cRef = 0;
    IUnknown* m_pOuter = nullptr;
    CInnerUnknown m_inner{this};
};
