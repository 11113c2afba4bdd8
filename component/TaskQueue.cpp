// The task queue and the worker thread that runs one task at a time in the order of the task codes.
#define KX_LOG_SOURCE ".\\KxUninstMgr"
#include <new>

#include "ErrorEdge.h"
#include "KxLog.h"
#include "KxUninstMgr.h"
#include "ScopedHandle.h"
#include "TaskSeam.h"

KxTaskHook g_pfnKxTaskHook = nullptr;

namespace {
const DWORD kIdlePollMs = 10;
}

void CKxUninstMgr::TaskPush(UINT nTask, UINT nParam) {
    kx::CritSecLock lock(m_csTask);
    auto at = m_vecTask.begin();
    for (; at != m_vecTask.end(); ++at) {
        if ((*at)->nTask == nTask && (*at)->nParam == nParam) return;  // already queued
        if ((*at)->nTask > nTask) break;
    }
    TASK_ITEM* pItem = new (std::nothrow) TASK_ITEM{nTask, nParam};
    if (!pItem) {
        KXLOG(0, L"!!!New Failed");
        return;
    }
    try {
        m_vecTask.insert(at, pItem);
    } catch (...) {
        delete pItem;
        KXLOG(0, L"!!!New Failed");
        return;
    }
    KXLOG(0, L"TaskPush:[%d,%d]", nTask, nParam);
}

void CKxUninstMgr::TaskPop(UINT& nTask, UINT& nParam) {
    kx::CritSecLock lock(m_csTask);
    if (m_vecTask.empty()) {
        nTask = TASK_EMPTY;
        nParam = 0;
        return;
    }
    TASK_ITEM* pItem = m_vecTask.front();
    nTask = pItem->nTask;
    nParam = pItem->nParam;
    delete pItem;
    m_vecTask.erase(m_vecTask.begin());
    KXLOG(0, L"TaskPop:[%d,%d]", nTask, nParam);
}

// One task; an exception ends the task, not the worker.
void CKxUninstMgr::RunTask(UINT nTask, UINT nParam) {
    try {
        kx::FaultPoint("CKxUninstMgr::RunTask");
        switch (nTask) {
        case TASK_INIT: TaskInit(); break;
        case TASK_EXIT: TaskFree(); break;
        case TASK_LOAD_CACHE: TaskLoadCache(); break;
        case TASK_CLEAR_RULES: TaskClearRules(); break;
        case TASK_GET_UNRULES: TaskGetUnRules(); break;
        case TASK_CREATE_UNLIST: TaskCreateUnList(); break;
        case TASK_UNINSTALL: TaskUninstall(nParam); break;
        case TASK_POWER_SWEEP: TaskPowerSweep(nParam); break;
        case TASK_ADD: TaskAdd(nParam); break;
        default: Sleep(kIdlePollMs); break;
        }
    } catch (...) {
        kx::LogCurrentException("CKxUninstMgr::TaskThread");
        KXLOG_AS(0, "CKxUninstMgr::TaskThread", L"!!Task failed:[%d]", nTask);
    }
}

DWORD CKxUninstMgr::TaskThread() {
    KXLOG(1, L"thread(0x%x) begin", GetCurrentThreadId());
    for (;;) {
        UINT nTask = TASK_EMPTY;
        UINT nParam = 0;
        TaskPop(nTask, nParam);
        if (nTask != TASK_EMPTY && g_pfnKxTaskHook && g_pfnKxTaskHook(this, nTask, nParam) && nTask != TASK_EXIT)
            continue;
        RunTask(nTask, nParam);
        if (nTask == TASK_EXIT) {
            KXLOG(1, L"thread(0x%x) end", GetCurrentThreadId());
            return 0;
        }
    }
}

unsigned __stdcall CKxUninstMgr::ThreadProc(void* pThis) {
    try {
        return static_cast<CKxUninstMgr*>(pThis)->TaskThread();
    } catch (...) {
        kx::LogCurrentException("CKxUninstMgr::ThreadProc");
        return 0xFFFFFFFF;
    }
}
