// The exit task: frees everything the worker and the lists hold and lets go of the data component.
#define KX_LOG_SOURCE ".\\KxUninstMgr"
#include "CategoryItem.h"
#include "ExecutetTime.h"
#include "KxLog.h"
#include "KxUninstMgr.h"
#include "ListCache.h"
#include "SoftLists.h"
#include "PowerSweepItem.h"
#include "ScopedHandle.h"
#include "SoftItem.h"
#include "UninstallRuleItem.h"

void CKxUninstMgr::TaskFree() {
    CExecuteTime timing(L"CKxUninstMgr::TaskFree");
    KXLOG(1, L"Begin");
    m_bInited = FALSE;

    SaveSoftListCache();

    KXLOG(0, L"step.1 删除任务队列");
    {
        kx::CritSecLock lock(m_csTask);
        DeleteAll(m_vecTask);
    }
    KXLOG(0, L"step.2 删除卸载规则");
    DeleteAll(m_vecRule);
    KXLOG(0, L"step.3 删除卸载软件列表，类型列表");
    {
        kx::CritSecLock lock(m_csList);
        DeleteAll(m_vecSoft);
        DeleteAll(m_vecCategory);
    }
    KXLOG(0, L"step.4 删除强力清扫列表");
    {
        kx::CritSecLock lock(m_csSweep);
        DeleteAll(m_vecSweep);
        m_vecSweepId.clear();
    }
    ReleaseDataComponent();
    KXLOG(0, L"step.5 释放KxData.dll");
    m_hDll.reset();
    KXLOG(1, L"End");
}

void CKxUninstMgr::SaveSoftListCache() {
    if (!m_pDataMgr) return;
    UINT nVersion = 0;
    m_pDataMgr->GetDataVersion(DATA_UNINSTALL_RULE, &nVersion);
    DumpToDisk(LIST_SOFT, nVersion, kx::MakeBstr(CacheFilePath(m_strCacheDir, LIST_SOFT)).get());
}

void CKxUninstMgr::ReleaseDataComponent() {
    if (m_pDataMgr) m_pDataMgr->Uninit();
    SetDataMgr(kx::com_ptr<IKxDataMgr>());
}
