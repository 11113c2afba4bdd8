// One case per row of the edge table: a failure injected through the test seam where the edge calls it, the
// result the edge gives, its log line, and the process (and for the worker, the next task) going on. The DLL's
// entry point and exports are compiled into this binary, so the seam reaches them.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <stdexcept>

#include "ComponentTestUtil.h"
#include "ErrorEdge.h"
#include "MesWnd.h"
#include "ScopedHandle.h"
#include "TaskSeam.h"
#include "kxtest/HostLayout.h"
#include "kxtest/Log.h"
#include "kxtest/Pump.h"
#include "kxtest/TempDir.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID);
STDAPI DllGetClassObject(REFCLSID, REFIID, LPVOID*);

namespace {

enum class Thrown { Code, BadAlloc, Other };
std::atomic<const char*> g_edge{nullptr};
std::atomic<Thrown> g_thrown{Thrown::BadAlloc};
std::atomic<bool> g_taskArmed{false};  // the worker's edge throws for the one task the hook armed it for

void Seam(const char* pszFunction) {
    const char* edge = g_edge;
    if (!edge || strcmp(edge, pszFunction) != 0) return;
    if (strcmp(edge, "CKxUninstMgr::RunTask") == 0 && !g_taskArmed.exchange(false)) return;
    switch (g_thrown.load()) {
    case Thrown::Code: throw UNINST_ERR_SOFT_ID;
    case Thrown::BadAlloc: throw std::bad_alloc();
    case Thrown::Other: throw std::runtime_error("injected");
    }
}

class ErrorEdge : public ::testing::Test {
protected:
    void SetUp() override { kx::g_pfnFaultSeam = Seam; }
    void TearDown() override {
        g_edge = nullptr;
        kx::g_pfnFaultSeam = nullptr;
    }
    static void Arm(const char* edge, Thrown thrown) {
        g_thrown = thrown;
        g_edge = edge;
    }
    kxct::MgrRef mgr;
};

}  // namespace

TEST_F(ErrorEdge, EveryEdgeOfTheHostThreadGivesItsResultAndLogsIt) {
    kxtest::TempDir dir;
    const std::wstring cache = dir / L"KxUninstall_32";
    BYTE buffer[64];
    UINT n = 0;
    void* pv = nullptr;
    const LONG kOutOfMemory = E_OUTOFMEMORY, kUnexpected = E_UNEXPECTED;
    const struct {
        const char* edge;
        Thrown thrown;
        std::function<LONG()> call;
        LONG result;
        const wchar_t* message;  // under the edge's name; nullptr: the edge logs nothing
    } rows[] = {
        {"CKxUninstMgr::GetItemByIndex", Thrown::Code, [&] { return mgr->GetItemByIndex(LIST_SOFT, 0, buffer, 64); },
         UNINST_ERR_SOFT_ID, L"!!Exception code:[201]"},
        {"CKxUninstMgr::GetItemById", Thrown::BadAlloc, [&] { return mgr->GetItemById(LIST_SOFT, 1, buffer, 64); },
         UNINST_ERR_SERIALIZE, L"!!Exception code:[4]"},
        {"CKxUninstMgr::GetSize", Thrown::Other, [&] { return mgr->GetSize(LIST_SOFT, &n); }, kUnexpected,
         L"!!Exception code:[-2147418113]"},
        {"CKxUninstMgr::Init", Thrown::BadAlloc, [&] { return mgr->Init(); }, kOutOfMemory, L"!!!New Failed"},
        {"CKxListMgr::AddListener", Thrown::Other, [&] { return mgr->AddListener(nullptr, LIST_SOFT); }, kUnexpected,
         L"!!Unexpected exception"},
        {"DllGetClassObject", Thrown::BadAlloc, [&] { return DllGetClassObject(CLSID_KxUninstMgr, IID_IClassFactory, &pv); },
         kOutOfMemory, L"!!!New Failed"},
        {"CKxListMgr::DumpToDisk", Thrown::BadAlloc,
         [&] { return mgr->DumpToDisk(LIST_SOFT, 1, kx::MakeBstr(cache).get()); }, E_FAIL, L"!!!New Failed"},
        {"CKxListMgr::LoadFromDisk", Thrown::Other,
         [&] {
             kxtest::WriteFileBytes(cache, std::string("\1\0\0\0\x20\0\0\0\0\0\0\0", 12));
             const bool bArmed = g_edge != nullptr;
             HRESULT hr = mgr->LoadFromDisk(LIST_SOFT, 1, kx::MakeBstr(cache).get());
             EXPECT_NE(kxtest::PathExists(cache), bArmed) << "a failed load deletes the file";
             return hr;
         }, E_FAIL, L"!!Unexpected exception"},
        {"DllMain", Thrown::Other, [] { return DllMain(nullptr, DLL_PROCESS_ATTACH, nullptr); }, FALSE, nullptr},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.edge);
        kxtest::LogMark log;
        Arm(row.edge, row.thrown);
        LONG result = row.call();
        g_edge = nullptr;
        EXPECT_EQ(result, row.result);
        std::vector<std::wstring> expected;
        if (row.message) expected.push_back(row.message);
        EXPECT_EQ(log.Messages(kxtest::Utf8ToWide(row.edge)), expected);
        // The same call without the failure goes through.
        if (row.result != FALSE) {
            EXPECT_NE(row.call(), row.result);
        }
    }
    EXPECT_EQ(mgr->Uninit(), S_OK);
    if (pv) static_cast<IUnknown*>(pv)->Release();
}

// The message window's procedure: the message counts as handled (0) and queues nothing.
TEST_F(ErrorEdge, MessageWindowProcedure) {
    kxct::TaskRecorder recorder;
    recorder.HoldAt(TASK_INIT);  // nothing leaves the queue while the case looks at it
    ASSERT_EQ(mgr->Init(), S_OK);
    ASSERT_TRUE(recorder.WaitUntilHeld());
    for (Thrown thrown : {Thrown::BadAlloc, Thrown::Other}) {
        kxtest::LogMark log;
        Arm("CMesWnd::WindowProc", thrown);
        EXPECT_EQ(SendMessageW(mgr->m_pMesWnd->m_hWnd, WM_LISTMGR, MAKEWPARAM(ACT_LIST_READY, DATA_UNINSTALL_RULE), 0), 0);
        g_edge = nullptr;
        EXPECT_EQ(log.Messages(L"CMesWnd::WindowProc"),
                  std::vector<std::wstring>{thrown == Thrown::BadAlloc ? L"!!!New Failed" : L"!!Unexpected exception"});
        EXPECT_TRUE(kxct::Queue(mgr.get()).empty());
    }
    // Without the failure the same message queues the rule fetch and the list build.
    SendMessageW(mgr->m_pMesWnd->m_hWnd, WM_LISTMGR, MAKEWPARAM(ACT_LIST_READY, DATA_UNINSTALL_RULE), 0);
    EXPECT_EQ(kxct::Queue(mgr.get()), (kxct::Pairs{{TASK_GET_UNRULES, 0}, {TASK_CREATE_UNLIST, 0}}));
    for (UINT t = 0, p = 0; t != TASK_EMPTY;) mgr->TaskPop(t, p);  // no list build over the real registry
    recorder.Release();
    EXPECT_EQ(mgr->Uninit(), S_OK);
}

// The worker logs the task's failure and goes on with the next task.
TEST_F(ErrorEdge, WorkerTask) {
    static std::atomic<int> s_popped{0};
    g_pfnKxTaskHook = [](CKxUninstMgr*, UINT nTask, UINT nParam) {
        if (nTask == TASK_CLEAR_RULES) {
            if (nParam == 1) g_taskArmed = true;
            ++s_popped;
        }
        return false;
    };
    ASSERT_EQ(mgr->Init(), S_OK);
    for (Thrown thrown : {Thrown::BadAlloc, Thrown::Other}) {
        kxtest::LogMark log;
        s_popped = 0;
        Arm("CKxUninstMgr::RunTask", thrown);
        mgr->TaskPush(TASK_CLEAR_RULES, 1);
        mgr->TaskPush(TASK_CLEAR_RULES, 2);
        ASSERT_TRUE(kxtest::PumpUntil([] { return s_popped == 2; }, 5000));
        ASSERT_TRUE(kxtest::PumpUntil([&] { return log.Has(L"TaskClearRules()] End"); }, 5000)) << "the next task ran";
        g_edge = nullptr;
        const std::vector<std::wstring> failure = {thrown == Thrown::BadAlloc ? L"!!!New Failed" : L"!!Unexpected exception",
                                                   L"!!Task failed:[3]"};
        std::vector<std::wstring> messages;
        for (const auto& m : log.Messages(L"CKxUninstMgr::TaskThread"))
            if (m.rfind(L"!!", 0) == 0) messages.push_back(m);
        EXPECT_EQ(messages, failure);
        EXPECT_EQ(log.Lines(L"TaskClearRules()] End").size(), 1u) << "only the second task ran";
    }
    EXPECT_EQ(mgr->Uninit(), S_OK);
    g_pfnKxTaskHook = nullptr;
}
