#include "ComponentTestUtil.h"

#include <atomic>
#include <mutex>

#include "KxUninstStartup.h"
#include "TaskSeam.h"
#include "kxtest/HostLayout.h"

namespace kxct {
namespace {

std::mutex g_mutex;
std::vector<std::pair<UINT, UINT>> g_runs;
std::atomic<UINT> g_holdAt{0xFFFFFFFF};
std::atomic<bool> g_forever{false};
std::atomic<bool> g_held{false};
HANDLE g_release = nullptr;

bool Hook(CKxUninstMgr*, UINT nTask, UINT nParam) {
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        g_runs.emplace_back(nTask, nParam);
    }
    if (nTask == g_holdAt) {
        g_held = true;
        if (g_forever) Sleep(INFINITE);
        WaitForSingleObject(g_release, 10000);
        g_held = false;
    }
    return false;
}

}  // namespace

MgrRef::MgrRef() {
    static const BOOL bLogOpen = KxUninstStartup(nullptr);
    (void)bLogOpen;
    m_p = new CKxUninstMgr;
    m_p->GetInnerUnknown()->AddRef();
}

MgrRef::~MgrRef() { m_p->GetInnerUnknown()->Release(); }

TaskRecorder::TaskRecorder() {
    g_release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    g_runs.clear();
    g_holdAt = 0xFFFFFFFF;
    g_forever = false;
    g_held = false;
    g_pfnKxTaskHook = Hook;
}

TaskRecorder::~TaskRecorder() {
    g_pfnKxTaskHook = nullptr;
    SetEvent(g_release);
}

void TaskRecorder::HoldAt(UINT nTask, bool bForever) {
    g_forever = bForever;
    g_holdAt = nTask;
}

void TaskRecorder::Release() {
    g_holdAt = 0xFFFFFFFF;
    SetEvent(g_release);
}

std::vector<std::pair<UINT, UINT>> TaskRecorder::Runs() const {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_runs;
}

bool TaskRecorder::WaitForRun(UINT nTask, int count, DWORD dwTimeoutMs) const {
    const DWORD dwStart = GetTickCount();
    do {
        int seen = 0;
        for (const auto& run : Runs())
            if (run.first == nTask) ++seen;
        if (seen >= count) return true;
        Sleep(5);
    } while (GetTickCount() - dwStart < dwTimeoutMs);
    return false;
}

bool TaskRecorder::WaitUntilHeld(DWORD dwTimeoutMs) const {
    const DWORD dwStart = GetTickCount();
    while (!g_held) {
        if (GetTickCount() - dwStart >= dwTimeoutMs) return false;
        Sleep(5);
    }
    return true;
}

std::vector<std::pair<UINT, UINT>> Queue(CKxUninstMgr* p) {
    std::vector<std::pair<UINT, UINT>> result;
    EnterCriticalSection(&p->m_csTask.get());
    for (const TASK_ITEM* pItem : p->m_vecTask) result.emplace_back(pItem->nTask, pItem->nParam);
    LeaveCriticalSection(&p->m_csTask.get());
    return result;
}

size_t LogMark() { return kxtest::ComponentLogLineCount(); }

std::vector<std::wstring> LogMessages(size_t from, const std::wstring& function) {
    std::vector<std::wstring> result;
    auto lines = kxtest::ReadLogLines(kxtest::ComponentLogPath());
    for (size_t i = from; i < lines.size(); ++i) {
        const std::wstring& line = lines[i];
        size_t at = line.find(L"[F.");
        if (at == std::wstring::npos) continue;
        size_t end = line.find(L"()] ", at);
        if (end == std::wstring::npos) continue;
        std::wstring fn = line.substr(at + 3, end - at - 3);
        if (!function.empty() && fn != function) continue;
        result.push_back(line.substr(end + 4));
    }
    return result;
}

}  // namespace kxct
