// CKxUninstMgr: the component object. The host thread runs the interface methods and the message window;
// one worker thread runs the tasks. Which file implements what is noted at each group.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "KxListMgr.h"
#include "KxUninstIf.h"
#include "ListBuild.h"
#include "ScopedHandle.h"
#include "Signal.h"
#include "SoftLists.h"
#include "UninstallTask.h"

class CMesWnd;
class CSoftItem;
class CCategoryItem;
class CPowerSweepItem;
class CUninstallRuleItem;
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

    // IKxListMgr: the list store (ListAccess.cpp).
    HRESULT STDMETHODCALLTYPE GetItemByIndex(UINT nType, UINT nIndex, BYTE* pBuffer, UINT nBufferSize) override;
    HRESULT STDMETHODCALLTYPE GetItemById(UINT nType, UINT nId, BYTE* pBuffer, UINT nBufferSize) override;
    HRESULT STDMETHODCALLTYPE GetSize(UINT nType, UINT* pnSize) override;
    // IKxListMgr: the rest (KxUninstMgr.cpp; Search in Search.cpp).
    HRESULT STDMETHODCALLTYPE Reserved(UINT nReserved) override;
    HRESULT STDMETHODCALLTYPE Search(UINT nType, UINT nSearchType, BSTR bstrSearch, UINT* pIds,
                                     UINT* pnSize) override;
    HRESULT STDMETHODCALLTYPE OnNotify(UINT nType, UINT nAct, UINT nId) override;
    HRESULT STDMETHODCALLTYPE IsLoaded(UINT nType, BOOL* pbLoaded) override;

    // Cache payload hooks (ListTasks.cpp); each takes m_csList itself, so a host may dump and load directly.
    int _DumpToDisk(UINT nType, CSerializer& writer) override;
    int _LoadFromDisk(UINT nType, CSerializer& reader) override;

    // Task queue and worker (TaskQueue.cpp).
    void TaskPush(UINT nTask, UINT nParam);
    void TaskPop(UINT& nTask, UINT& nParam);
    DWORD TaskThread();
    void RunTask(UINT nTask, UINT nParam);
    static unsigned __stdcall ThreadProc(void* pThis);

    // Handler of the data component's notifications to the message window (KxUninstMgr.cpp).
    void GetData(UINT nType, UINT nAct);

    // Data component and rules (RuleTasks.cpp; the exit task in TaskFree.cpp).
    void TaskInit();
    void TaskGetUnRules();
    void TaskClearRules();
    void TaskFree();
    // The exit task's parts: the soft list to its cache file under the rules' version (nothing without a data
    // component: the version would be unknown), and the data component uninitialised and let go.
    void SaveSoftListCache();
    void ReleaseDataComponent();

    // The list tasks (ListTasks.cpp): each takes what it needs and runs the list code.
    void TaskLoadCache();
    void TaskCreateUnList();
    void TaskAdd(UINT nId);

    // Uninstall and sweep (UninstallTasks.cpp).
    void TaskUninstall(UINT nSoftId);
    void TaskPowerSweep(UINT nSoftId);
    UninstallContext UninstallWork() {
        return UninstallContext{Lists(), m_csList.get(), m_csSweep.get(), m_vecSweep, m_leftoverOrigin,
                                m_pDataMgr.get(), m_hStopEvent.get(), m_hCancelEvent.get(), m_hActiveEvent.get()};
    }

    // The lists as the list code takes them; the caller holds m_csList.
    SoftLists Lists() { return SoftLists{m_vecSoft, m_vecCategory, m_bListReady, m_notifier}; }
    ListBuildContext BuildContext() {
        return ListBuildContext{Lists(), m_csList.get(), m_vecRule, m_pDataMgr.get(), StopSignal()};
    }
    // What a task's long loops test before each item: the stop flag, and the stop event once.
    kx::CStopSignal StopSignal() const { return kx::CStopSignal(m_hStopEvent.get(), &m_bStop); }
    // A reference of the data component for the host thread, taken under a short lock: a retried TaskInit on
    // the worker may release the component's own reference meanwhile.
    kx::com_ptr<IKxDataMgr> DataMgrRef();
    // Replaces the data component (the worker only); the old reference is released outside the lock.
    void SetDataMgr(kx::com_ptr<IKxDataMgr> pDataMgr);

    // Fields, in declaration order after the listener registry of CKxListMgr.
    BOOL m_bInited = FALSE;
    kx::unique_hmodule m_hDll;
    std::unique_ptr<CMesWnd> m_pMesWnd;
    kx::unique_handle m_hThread;
    BOOL m_bListReady = FALSE;
    std::wstring m_strCacheDir;
    kx::unique_handle m_hStopEvent;
    // Mirrors m_hStopEvent for the worker's loops, which would otherwise wait on the event before every item
    // (a server round trip each under Wine): set just before Uninit sets the event, cleared where the event
    // is created or closed.
    std::atomic<bool> m_bStop{false};
    kx::unique_handle m_hCancelEvent;
    kx::unique_handle m_hActiveEvent;
    kx::com_ptr<IKxDataMgr> m_pDataMgr;
    kx::critical_section m_csList;
    kx::critical_section m_csTask;
    kx::critical_section m_csSweep;
    std::vector<TASK_ITEM*> m_vecTask;
    std::vector<CUninstallRuleItem*> m_vecRule;
    std::vector<CSoftItem*> m_vecSoft;
    std::vector<CCategoryItem*> m_vecCategory;
    std::vector<CPowerSweepItem*> m_vecSweep;
    std::vector<UINT> m_vecSweepId;
    // Guards the hand-over of m_pDataMgr between the worker and the host thread; held only to copy it.
    kx::critical_section m_csDataMgr;
    // The program and folder the leftovers in m_vecSweep came from; guarded by m_csSweep.
    LeftoverOrigin m_leftoverOrigin;

    // The object's own, non-delegating IUnknown: what the class factory hands out, and what an aggregating
    // outer object holds. The IUnknown methods of the two interfaces forward to it when the object stands
    // alone and to the outer object when it is aggregated.
    IUnknown* GetInnerUnknown() { return &m_inner; }

private:
    // Posts the list code's notifications through the listener registry.
    class CNotifier : public IListNotifier {
    public:
        explicit CNotifier(CKxListMgr& owner) : m_owner(owner) {}
        void Post(WPARAM wParam, LPARAM lParam) override { m_owner.Notify(wParam, lParam); }

    private:
        CKxListMgr& m_owner;
    };

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
    CNotifier m_notifier{*this};
};
