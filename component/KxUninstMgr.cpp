// CKxUninstMgr: construction, IUnknown with aggregation, and the methods of IKxUninstMgr and IKxListMgr that
// only validate, record a request and queue a task.
#define KX_LOG_SOURCE ".\\KxUninstMgr"
#include "KxUninstMgr.h"

#include <process.h>

#include <new>

#include "CategoryItem.h"
#include "CategoryTable.h"
#include "ErrorEdge.h"
#include "KxLog.h"
#include "KxUninstModule.h"
#include "MesWnd.h"
#include "PowerSweepItem.h"
#include "SoftItem.h"
#include "UninstallRuleItem.h"

namespace {
const DWORD kWorkerExitWaitMs = 2000;
}  // namespace

// ---- construction ------------------------------------------------------------------------------------------

CKxUninstMgr::CKxUninstMgr(IUnknown* pOuter) : m_pOuter(pOuter) { CKxUninstModule::Instance().Lock(); }

// Uninit must have run. What a terminated worker left behind is freed here; no lock is taken, because a
// terminated worker may still own one.
CKxUninstMgr::~CKxUninstMgr() {
    DeleteAll(m_vecTask);
    DeleteAll(m_vecRule);
    DeleteAll(m_vecSoft);
    DeleteAll(m_vecCategory);
    DeleteAll(m_vecSweep);
    CKxUninstModule::Instance().Unlock();
}

kx::com_ptr<IKxDataMgr> CKxUninstMgr::DataMgrRef() {
    kx::CritSecLock lock(m_csDataMgr);
    return m_pDataMgr;
}

void CKxUninstMgr::SetDataMgr(kx::com_ptr<IKxDataMgr> pDataMgr) {
    {
        kx::CritSecLock lock(m_csDataMgr);
        std::swap(m_pDataMgr, pDataMgr);
    }
    pDataMgr.reset();  // the old reference, released without the lock
}

// ---- IUnknown ------------------------------------------------------------------------------------------------

HRESULT CKxUninstMgr::CInnerUnknown::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown)) {
        *ppv = static_cast<IUnknown*>(this);
    } else if (IsEqualIID(riid, IID_IKxUninstMgr)) {
        *ppv = static_cast<IKxUninstMgr*>(m_pOwner);
    } else if (IsEqualIID(riid, IID_IKxListMgr)) {
        *ppv = static_cast<IKxListMgr*>(m_pOwner);
    } else {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    static_cast<IUnknown*>(*ppv)->AddRef();
    return S_OK;
}

ULONG CKxUninstMgr::CInnerUnknown::AddRef() { return ++m_pOwner->m_cRef; }

ULONG CKxUninstMgr::CInnerUnknown::Release() {
    ULONG nRef = --m_pOwner->m_cRef;
    if (nRef == 0) {
        m_pOwner->m_cRef = 1;  // guards against re-entry while the object is being destroyed
        delete m_pOwner;
    }
    return nRef;
}

// Standing alone the object is its own identity: its IUnknown is the IKxUninstMgr pointer. Aggregated, the
// interfaces belong to the outer object's identity.
HRESULT CKxUninstMgr::QueryInterface(REFIID riid, void** ppv) {
    if (m_pOuter) return m_pOuter->QueryInterface(riid, ppv);
    if (ppv && IsEqualIID(riid, IID_IUnknown)) {
        *ppv = static_cast<IKxUninstMgr*>(this);
        AddRef();
        return S_OK;
    }
    return m_inner.QueryInterface(riid, ppv);
}

ULONG CKxUninstMgr::AddRef() { return m_pOuter ? m_pOuter->AddRef() : m_inner.AddRef(); }

ULONG CKxUninstMgr::Release() { return m_pOuter ? m_pOuter->Release() : m_inner.Release(); }

// ---- IKxUninstMgr ----------------------------------------------------------------------------------------------

HRESULT CKxUninstMgr::Init() try {
    kx::FaultPoint("CKxUninstMgr::Init");
    KXLOG(1, L"Begin");
    if (!m_pMesWnd) {
        m_pMesWnd.reset(new (std::nothrow) CMesWnd);
        if (!m_pMesWnd) {
            KXLOG(0, L"!!!New Failed");
        } else {
            m_pMesWnd->SetOwner(this);
            m_pMesWnd->Create();
        }
    }
    KXLOG(0, L"step.1 创建消息总线");
    if (!m_hThread) {
        KXLOG(0, L"step.2 加载关心数据");
        LoadCategories(CategoryIniPath().c_str());
        KXLOG(0, L"step.3 创建工作线程");
        m_bStop = false;
        m_hStopEvent.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        m_hCancelEvent.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        m_hActiveEvent.reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
        m_hThread.reset(reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, ThreadProc, this, 0, nullptr)));
    }
    TaskPush(TASK_INIT, 0);
    KXLOG(1, L"End");
    return S_OK;
} KX_CATCH_RETURN()

HRESULT CKxUninstMgr::Uninit() try {
    if (m_hCancelEvent) SetEvent(m_hCancelEvent.get());
    if (m_hStopEvent) {
        m_bStop = true;
        SetEvent(m_hStopEvent.get());
    }
    TaskPush(TASK_EXIT, 0);
    KXLOG(0, L"step.1 关闭工作线程");
    if (m_hThread) {
        if (WaitForSingleObject(m_hThread.get(), kWorkerExitWaitMs) == WAIT_TIMEOUT)
            TerminateThread(m_hThread.get(), 0xFFFFFFFF);
        m_hThread.reset();
    }
    // No worker is left to take the exit request (none ran, or it was terminated): drop it, so that a later
    // Init starts a worker that does not stop at once.
    {
        kx::CritSecLock lock(m_csTask);
        for (auto it = m_vecTask.begin(); it != m_vecTask.end(); ++it)
            if ((*it)->nTask == TASK_EXIT) {
                delete *it;
                m_vecTask.erase(it);
                break;
            }
    }
    KXLOG(0, L"step.2 销毁消息总线");
    if (m_pMesWnd) {
        if (m_pMesWnd->m_hWnd) m_pMesWnd->DestroyWindow();
        m_pMesWnd.reset();
    }
    m_hActiveEvent.reset();
    m_hCancelEvent.reset();
    m_hStopEvent.reset();
    m_bStop = false;
    return S_OK;
} KX_CATCH_RETURN()

HRESULT CKxUninstMgr::Uninstall(UINT nSoftId) try {
    kx::com_ptr<IKxDataMgr> pDataMgr = DataMgrRef();
    if (!m_bInited || !pDataMgr) return E_FAIL;
    if (pDataMgr->SetSoftState(nSoftId, SOFT_STATE_UNINSTALL_REQUESTED) == 0) {
        KXLOG(0, L"状态转换成功[%d]", nSoftId);
        TaskPush(TASK_UNINSTALL, nSoftId);
        return S_OK;
    }
    KXLOG(0, L"状态转换失败[%d]", nSoftId);
    KX_SOFT_STATE state = {};
    pDataMgr->GetSoftState(nSoftId, &state);
    KXLOG(0, L"当前状态[%d]", state.nState);
    return E_FAIL;
} KX_CATCH_RETURN()

HRESULT CKxUninstMgr::PowerSweep(UINT nSoftId, UINT* nIds, UINT nCount) try {
    if (nCount && !nIds) return E_POINTER;
    kx::CritSecLock lock(m_csSweep);
    m_vecSweepId.clear();
    for (UINT i = 0; i < nCount; ++i)
        if (nIds[i]) m_vecSweepId.push_back(nIds[i]);
    TaskPush(TASK_POWER_SWEEP, nSoftId);
    return S_OK;
} KX_CATCH_RETURN()

HRESULT CKxUninstMgr::SetCacheDir(BSTR bstrCachDir) try {
    m_strCacheDir.assign(bstrCachDir ? bstrCachDir : L"");
    return S_OK;
} KX_CATCH_RETURN()

HRESULT CKxUninstMgr::Active(UINT) {
    if (m_hActiveEvent) SetEvent(m_hActiveEvent.get());
    return S_OK;
}

HRESULT CKxUninstMgr::Refresh() try {
    m_bListReady = FALSE;
    {
        kx::CritSecLock lock(m_csList);
        DeleteAll(m_vecSoft);
        DeleteAll(m_vecCategory);
    }
    TaskPush(TASK_CREATE_UNLIST, 0);
    return S_OK;
} KX_CATCH_RETURN()

HRESULT CKxUninstMgr::CancelUninstall(UINT) {
    if (m_hCancelEvent) SetEvent(m_hCancelEvent.get());
    return S_OK;
}

// ---- IKxListMgr: the methods kept here ---------------------------------------------------------------------------

HRESULT CKxUninstMgr::Reserved(UINT) { return S_OK; }

// The data component is called without any lock held, through a reference of our own.
HRESULT CKxUninstMgr::OnNotify(UINT nType, UINT nAct, UINT nId) try {
    if (nType != DATA_SOFT_STATE || nAct != ACT_STATE_CHANGED || nId == 0) return S_OK;
    kx::com_ptr<IKxDataMgr> pDataMgr = DataMgrRef();
    if (!pDataMgr) return S_OK;
    KX_SOFT_STATE state = {};
    pDataMgr->GetSoftState(nId, &state);
    if (state.nState == SOFT_STATE_INSTALLED_A || state.nState == SOFT_STATE_INSTALLED_B) TaskPush(TASK_ADD, nId);
    return S_OK;
} KX_CATCH_RETURN()

HRESULT CKxUninstMgr::IsLoaded(UINT, BOOL* pbLoaded) {
    if (!pbLoaded) return E_POINTER;
    *pbLoaded = m_bListReady;
    return S_OK;
}

// ---- notifications of the data component --------------------------------------------------------------------

void CKxUninstMgr::GetData(UINT nType, UINT nAct) {
    KXLOG(0, L"WM_LISTMGR, type=%x, act=%x", nType, nAct);
    if (nType != DATA_UNINSTALL_RULE) return;
    if (nAct & ACT_ITEM_CHANGED) {
        TaskPush(TASK_CLEAR_RULES, 0);
        TaskPush(TASK_GET_UNRULES, 0);
    } else if (nAct & ACT_LIST_READY) {
        TaskPush(TASK_GET_UNRULES, 0);
        TaskPush(TASK_CREATE_UNLIST, 0);
    } else {
        TaskPush(TASK_GET_UNRULES, 0);
    }
}
