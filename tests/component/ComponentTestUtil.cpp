#include "ComponentTestUtil.h"

#include <atomic>
#include <mutex>

#include "KxUninstStartup.h"
#include "TaskSeam.h"
#include "kxtest/Pump.h"

namespace kxct {
namespace {

std::mutex g_mutex;
Pairs g_runs;
std::atomic<UINT> g_holdAt{0xFFFFFFFF};
std::atomic<bool> g_forever{false}, g_listLock{false}, g_held{false};
kx::unique_handle g_release;

bool Hook(CKxUninstMgr* pMgr, UINT nTask, UINT nParam) {
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        g_runs.emplace_back(nTask, nParam);
    }
    if (nTask != g_holdAt) return false;
    if (g_listLock) EnterCriticalSection(&pMgr->m_csList.get());  // never left: the worker dies holding it
    g_held = true;
    if (g_forever) Sleep(INFINITE);
    WaitForSingleObject(g_release.get(), 10000);
    g_held = false;
    return false;
}

}  // namespace

MgrRef::MgrRef() {
    static const BOOL bLogOpen = KxUninstStartup(nullptr);
    (void)bLogOpen;
    m_p = new CKxUninstMgr;
    m_p->GetInnerUnknown()->AddRef();
}

TaskRecorder::TaskRecorder() {
    g_release.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    g_runs.clear();
    HoldAt(0xFFFFFFFF);
    g_held = false;
    g_pfnKxTaskHook = Hook;
}

TaskRecorder::~TaskRecorder() {
    g_pfnKxTaskHook = nullptr;
    SetEvent(g_release.get());
}

void TaskRecorder::HoldAt(UINT nTask, bool bForever, bool bTakeListLock) {
    g_forever = bForever;
    g_listLock = bTakeListLock;
    g_holdAt = nTask;
}

void TaskRecorder::Release() {
    g_holdAt = 0xFFFFFFFF;
    SetEvent(g_release.get());
}

Pairs TaskRecorder::Runs() const {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_runs;
}

bool TaskRecorder::WaitForRun(UINT nTask, int count, DWORD dwTimeoutMs) const {
    return kxtest::PumpUntil([&] {
        int seen = 0;
        for (const auto& run : Runs()) seen += run.first == nTask;
        return seen >= count;
    }, dwTimeoutMs);
}

bool TaskRecorder::WaitUntilHeld(DWORD dwTimeoutMs) const {
    return kxtest::PumpUntil([] { return g_held.load(); }, dwTimeoutMs);
}

Pairs Queue(CKxUninstMgr* p) {
    kx::CritSecLock lock(p->m_csTask);
    Pairs result;
    for (const TASK_ITEM* pItem : p->m_vecTask) result.emplace_back(pItem->nTask, pItem->nParam);
    return result;
}

}  // namespace kxct
