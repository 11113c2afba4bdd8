// The data component's side of the worker: loading KxData.dll and connecting to it (TaskInit), fetching its
// rules incrementally (TaskGetUnRules) and dropping them (TaskClearRules). The rule list belongs to the worker.
#define KX_LOG_SOURCE ".\\KxUninstMgr"
#include <memory>
#include <new>

#include "HostExe.h"
#include "KxLog.h"
#include "ListDump.h"
#include "KxUninstMgr.h"
#include "MesWnd.h"
#include "ScopedHandle.h"
#include "Serializer.h"
#include "Signal.h"
#include "UninstallRuleItem.h"

namespace {

// The steps run inside lambdas, which would log under their own names.
constexpr char kTaskInit[] = "CKxUninstMgr::TaskInit";
constexpr char kTaskGetUnRules[] = "CKxUninstMgr::TaskGetUnRules";

HWND MesWndHandle(const CMesWnd* pWnd) { return pWnd ? pWnd->m_hWnd : nullptr; }

}  // namespace

void CKxUninstMgr::TaskInit() {
    KXLOG_AS(1, kTaskInit, L"Begin");
    UINT iErr = 0;
    kx::com_ptr<IClassFactory> factory;
    kx::com_ptr<IKxListMgr> listMgr;
    // Steps stop at the first failure; what was obtained before it stays set.
    [&] {
        if (m_bInited) {
            iErr = UNINST_ERR_ALREADY_INITED;
            return;
        }
        // A retry after a failed attempt starts again from the library: drop what that attempt left.
        ReleaseDataComponent();
        m_hDll.reset();
        std::wstring path = GetHostExeFolder() + L"KxData.dll";
        m_hDll.reset(LoadLibraryW(path.c_str()));
        KXLOG_AS(0, kTaskInit, L"step.1 LoadLibrary:[%s], m_hDll=[0x%x]", path.c_str(),
              static_cast<UINT>(reinterpret_cast<UINT_PTR>(m_hDll.get())));
        if (!m_hDll) {
            iErr = UNINST_ERR_LOAD_LIBRARY;
            return;
        }
        using GetClassObjectFn = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
        auto pfnGetClassObject =
            reinterpret_cast<GetClassObjectFn>(reinterpret_cast<void*>(GetProcAddress(m_hDll.get(), "DllGetClassObject")));
        if (!pfnGetClassObject) {
            iErr = UNINST_ERR_NO_CLASS_OBJECT_EXPORT;
            return;
        }
        if (FAILED(pfnGetClassObject(CLSID_KxDataMgr, IID_IClassFactory, factory.put_void()))) {
            iErr = UNINST_ERR_NO_CLASS_FACTORY;
            return;
        }
        kx::com_ptr<IKxDataMgr> pDataMgr;
        if (FAILED(factory->CreateInstance(nullptr, IID_IKxDataMgr, pDataMgr.put_void())) || !pDataMgr) {
            iErr = UNINST_ERR_NO_DATA_MGR;
            return;
        }
        SetDataMgr(std::move(pDataMgr));
        HRESULT hr = m_pDataMgr->Init();
        KXLOG_AS(0, kTaskInit, L"step.2 IKxDataMgr初始化, hr=[0x%x]", static_cast<UINT>(hr));
        if (FAILED(hr)) {
            iErr = UNINST_ERR_DATA_INIT;
            return;
        }
        if (FAILED(m_pDataMgr->QueryInterface(IID_IKxListMgr, listMgr.put_void())) || !listMgr) {
            iErr = UNINST_ERR_NO_DATA_LIST_MGR;
            return;
        }
        // Without a message window nothing could hear that the rules arrived: treat it as a failed registration.
        HWND hWnd = MesWndHandle(m_pMesWnd.get());
        if (!hWnd || FAILED(listMgr->AddListener(hWnd, DATA_UNINSTALL_RULE))) {
            iErr = UNINST_ERR_ADD_LISTENER;
            return;
        }
        hr = m_pDataMgr->LoadData(DATA_UNINSTALL_RULE);
        KXLOG_AS(0, kTaskInit, L"step.3 加载关心数据DATA_UNINSTALL_RULE");
        if (FAILED(hr)) {
            iErr = UNINST_ERR_LOAD_DATA;
            return;
        }
        TaskPush(TASK_LOAD_CACHE, 0);
        BOOL bLoaded = FALSE;
        if (SUCCEEDED(listMgr->IsLoaded(DATA_UNINSTALL_RULE, &bLoaded)) && bLoaded) {
            KXLOG_AS(0, kTaskInit, L"step.4 加载关心数据已经完成，可以立刻获取");
            TaskPush(TASK_GET_UNRULES, 0);
            TaskPush(TASK_CREATE_UNLIST, 0);
        }
        m_bInited = TRUE;
        KXLOG_AS(0, kTaskInit, L"step.4 初始化完成");
    }();
    listMgr.reset();
    factory.reset();
    if (iErr) KXLOG_AS(1, kTaskInit, L"!!iErr code:[%d]", iErr);
    KXLOG_AS(1, kTaskInit, L"End");
}

void CKxUninstMgr::TaskGetUnRules() {
    KXLOG_AS(1, kTaskGetUnRules, L"Begin");
    UINT iErr = 0;
    kx::com_ptr<IKxListMgr> listMgr;
    std::unique_ptr<BYTE[]> buffer;
    [&] {
        if (!m_pDataMgr) {
            iErr = UNINST_ERR_NO_DATA_COMPONENT;
            return;
        }
        HRESULT hr = m_pDataMgr->QueryInterface(IID_IKxListMgr, listMgr.put_void());
        KXLOG_AS(0, kTaskGetUnRules, L"step.1 取IKxListMgr, hr=%x", static_cast<UINT>(hr));
        if (FAILED(hr) || !listMgr) {
            iErr = UNINST_ERR_NO_DATA_LIST_MGR;
            return;
        }
        buffer.reset(new (std::nothrow) BYTE[KX_DATA_BUFFER_SIZE]);
        if (!buffer) {
            KXLOG_AS(0, kTaskGetUnRules, L"!!!New Failed");
            return;
        }
        UINT nNewSize = 0;
        if (FAILED(listMgr->GetSize(DATA_UNINSTALL_RULE, &nNewSize))) {
            iErr = UNINST_ERR_GET_SIZE;
            return;
        }
        UINT nCurSize = static_cast<UINT>(m_vecRule.size());
        KXLOG_AS(0, kTaskGetUnRules, L"step.2 IKxListMgr nNewSize=%d, nCurSize=%d", nNewSize, nCurSize);
        if (nNewSize <= nCurSize) {
            iErr = UNINST_ERR_NO_NEW_RULES;
            return;
        }
        const kx::CStopSignal stop = StopSignal();
        for (UINT i = nCurSize; i < nNewSize; ++i) {
            if (stop.IsSet()) {
                iErr = UNINST_ERR_STOPPED;
                break;
            }
            std::unique_ptr<CUninstallRuleItem> rule(new (std::nothrow) CUninstallRuleItem());
            if (!rule) {
                KXLOG_AS(0, kTaskGetUnRules, L"!!!New Failed");
                break;
            }
            if (FAILED(listMgr->GetItemByIndex(DATA_UNINSTALL_RULE, i, buffer.get(), KX_DATA_BUFFER_SIZE))) {
                iErr = UNINST_ERR_GET_RULE;
                break;
            }
            CSerializer reader(buffer.get(), KX_DATA_BUFFER_SIZE);
            if (!rule->Deserialize(reader)) {
                iErr = UNINST_ERR_SERIALIZE;
                break;
            }
            m_vecRule.push_back(rule.release());
        }
        if (stop.IsSet()) {
            iErr = UNINST_ERR_STOPPED;
            return;
        }
        KXLOG_AS(0, kTaskGetUnRules, L"step.3 卸载规则更新完成, size=%d", nNewSize);
        DumpRuleList(m_vecRule);
    }();
    listMgr.reset();
    buffer.reset();
    if (iErr) KXLOG_AS(1, kTaskGetUnRules, L"!!iErr code:[%d]", iErr);
    KXLOG_AS(1, kTaskGetUnRules, L"End");
}

void CKxUninstMgr::TaskClearRules() {
    KXLOG(1, L"Begin");
    DeleteAll(m_vecRule);
    KXLOG(1, L"End");
}
