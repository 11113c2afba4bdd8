// The exit task: frees everything the worker and the lists hold and lets go of the data component.
#define KX_LOG_SOURCE ".\\KxUninstMgr"
#include "CategoryItem.h"
#include "ExecutetTime.h"
#include "KxLog.h"
#include "KxUninstMgr.h"
#include "ListCache.h"
#include "PowerSweepItem.h"
#include "ScopedHandle.h"
#include "SoftItem.h"
#include "UninstallRuleItem.h"

namespace {
template <typename T>
void DeleteAll(std::vector<T*>& list) {
    for (T* p : list) delete p;
    list.clear();
}
}  // namespace

void CKxUninstMgr::TaskFree() {
    CExecuteTime timing(L"CKxUninstMgr::TaskFree");
    KXLOG(1, L"Begin");
    m_bInited = FALSE;

    SaveSoftListCache(*this);

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
    if (m_pDataMgr) {
        m_pDataMgr->Uninit();
        m_pDataMgr->Release();
        m_pDataMgr = nullptr;
    }
    KXLOG(0, L"step.5 释放KxData.dll");
    if (m_hDll) {
        FreeLibrary(m_hDll);
        m_hDll = nullptr;
    }
    KXLOG(1, L"End");
}
