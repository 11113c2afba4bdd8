// The task queue and the worker: order by code, duplicates, exit overtaking, the exit task, Init twice, and
// Uninit of a worker that never leaves its task.
#include <gtest/gtest.h>

#include <thread>

#include "ComponentTestUtil.h"
#include "MesWnd.h"
#include "kxtest/Log.h"

using kxct::Pairs;
using kxct::Queue;

namespace {

Pairs PopAll(CKxUninstMgr* p) {
    Pairs popped;
    for (UINT nTask = 0, nParam = 0; nTask != TASK_EMPTY;) {
        p->TaskPop(nTask, nParam);
        popped.emplace_back(nTask, nParam);
    }
    return popped;
}

DWORD ExitCodeAfterUninit(CKxUninstMgr* p) {
    HANDLE hThread = nullptr;
    DuplicateHandle(GetCurrentProcess(), p->m_hThread.get(), GetCurrentProcess(), &hThread, 0, FALSE, DUPLICATE_SAME_ACCESS);
    kx::unique_handle thread(hThread);
    EXPECT_EQ(p->Uninit(), S_OK);
    DWORD dwExit = 1;
    GetExitCodeThread(thread.get(), &dwExit);
    // Uninit leaves no thread, window or event behind.
    EXPECT_FALSE(p->m_hThread || p->m_pMesWnd || p->m_hStopEvent || p->m_hCancelEvent || p->m_hActiveEvent);
    return dwExit;
}

}  // namespace

TEST(TaskQueue, PopsByCodeInPushOrderWithinACodeWithoutDuplicates) {
    const struct {
        Pairs pushed, popped;
    } cases[] = {
        {{{9, 1}, {4, 0}, {7, 6}, {7, 5}, {6, 0}, {3, 0}}, {{3, 0}, {4, 0}, {6, 0}, {7, 6}, {7, 5}, {9, 1}, {10, 0}}},
        {{{7, 5}, {7, 5}, {7, 6}, {7, 5}}, {{7, 5}, {7, 6}, {10, 0}}},  // an exact duplicate is dropped
        {{{6, 0}, {7, 5}, {0, 0}, {1, 0}}, {{0, 0}, {1, 0}, {6, 0}, {7, 5}, {10, 0}}},  // exit overtakes all but an init
    };
    for (const auto& c : cases) {
        kxct::MgrRef mgr;
        for (const auto& task : c.pushed) mgr->TaskPush(task.first, task.second);
        EXPECT_EQ(PopAll(mgr.get()), c.popped);
    }
}

TEST(Worker, RunsQueuedTasksInCodeOrderAndEndsThroughTheExitTask) {
    kxct::TaskRecorder recorder;
    recorder.HoldAt(TASK_INIT);
    kxct::MgrRef mgr;
    ASSERT_EQ(mgr->Init(), S_OK);
    ASSERT_TRUE(recorder.WaitUntilHeld());
    for (auto task : Pairs{{9, 2}, {4, 0}, {6, 0}, {3, 0}}) mgr->TaskPush(task.first, task.second);
    recorder.Release();
    ASSERT_TRUE(recorder.WaitForRun(9));
    EXPECT_EQ(recorder.Runs(), (Pairs{{0, 0}, {3, 0}, {4, 0}, {6, 0}, {9, 2}}));
    kxtest::LogMark log;
    EXPECT_EQ(ExitCodeAfterUninit(mgr.get()), 0u);
    EXPECT_TRUE(log.Has(L"[F.CKxUninstMgr::TaskFree()] End"));
}

TEST(Worker, ExitOvertakesPendingTasksWhichTheExitTaskFrees) {
    kxct::TaskRecorder recorder;
    recorder.HoldAt(TASK_INIT);
    kxct::MgrRef mgr;
    ASSERT_EQ(mgr->Init(), S_OK);
    ASSERT_TRUE(recorder.WaitUntilHeld());
    mgr->TaskPush(6, 0);
    mgr->TaskPush(7, 5);
    // The held task lets go once Uninit has queued the exit, which must then be at the front.
    Pairs seen;
    std::thread releaser([&] {
        for (int i = 0; i < 2000; ++i, Sleep(1))
            if (!(seen = Queue(mgr.get())).empty() && seen.front().first == TASK_EXIT) break;
        recorder.Release();
    });
    const DWORD dwStart = GetTickCount();
    ASSERT_EQ(mgr->Uninit(), S_OK);
    const DWORD dwElapsed = GetTickCount() - dwStart;
    releaser.join();
    EXPECT_EQ(seen, (Pairs{{1, 0}, {6, 0}, {7, 5}}));
    EXPECT_LT(dwElapsed, 1900u) << "the worker ended through its exit task, not by termination";
    EXPECT_EQ(recorder.Runs(), (Pairs{{0, 0}, {1, 0}}));
    EXPECT_TRUE(Queue(mgr.get()).empty());
}

TEST(Worker, InitTwiceStartsOneWorkerAndQueuesTaskInitAgain) {
    kxct::TaskRecorder recorder;
    kxct::MgrRef mgr;
    ASSERT_EQ(mgr->Init(), S_OK);
    ASSERT_TRUE(recorder.WaitForRun(TASK_INIT));
    HANDLE hThread = mgr->m_hThread.get();
    CMesWnd* pWnd = mgr->m_pMesWnd.get();
    ASSERT_EQ(mgr->Init(), S_OK);
    ASSERT_TRUE(recorder.WaitForRun(TASK_INIT, 2));
    EXPECT_EQ(mgr->m_hThread.get(), hThread);
    EXPECT_EQ(mgr->m_pMesWnd.get(), pWnd);
    // A TaskInit still queued absorbs the second Init's request.
    recorder.HoldAt(TASK_ADD);
    mgr->TaskPush(TASK_ADD, 1);
    ASSERT_TRUE(recorder.WaitUntilHeld());
    ASSERT_EQ(mgr->Init(), S_OK);
    ASSERT_EQ(mgr->Init(), S_OK);
    EXPECT_EQ(Queue(mgr.get()), (Pairs{{0, 0}}));
    recorder.Release();
    ASSERT_EQ(mgr->Uninit(), S_OK);
    // Init after Uninit builds everything anew, the stop event reset.
    ASSERT_EQ(mgr->Init(), S_OK);
    EXPECT_TRUE(mgr->m_hThread && mgr->m_pMesWnd && mgr->m_hStopEvent);
    EXPECT_EQ(WaitForSingleObject(mgr->m_hStopEvent.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
    ASSERT_TRUE(recorder.WaitForRun(TASK_INIT, 4));
    ASSERT_EQ(mgr->Uninit(), S_OK);
}

TEST(Worker, UninitTerminatesAWorkerStuckInATaskAfterTwoSeconds) {
    kxct::TaskRecorder recorder;
    recorder.HoldAt(TASK_UNINSTALL, /*bForever=*/true);
    kxct::MgrRef mgr;
    kxtest::LogMark log;
    ASSERT_EQ(mgr->Init(), S_OK);
    mgr->TaskPush(TASK_UNINSTALL, 5);
    mgr->TaskPush(TASK_ADD, 3);
    ASSERT_TRUE(recorder.WaitUntilHeld());
    const DWORD dwStart = GetTickCount();
    EXPECT_EQ(ExitCodeAfterUninit(mgr.get()), 0xFFFFFFFFu);
    const DWORD dwElapsed = GetTickCount() - dwStart;
    EXPECT_GE(dwElapsed, 1950u);
    EXPECT_LT(dwElapsed, 8000u);
    EXPECT_FALSE(log.Has(L"TaskFree"));
    // The task that never ran stays queued; the exit request that nobody took does not.
    EXPECT_EQ(Queue(mgr.get()), (Pairs{{TASK_ADD, 3}}));
    // The object can start again.
    recorder.HoldAt(0xFFFFFFFF);
    ASSERT_EQ(mgr->Init(), S_OK);
    ASSERT_TRUE(recorder.WaitForRun(TASK_ADD, 1));
    ASSERT_TRUE(recorder.WaitForRun(TASK_INIT, 2));
    ASSERT_EQ(mgr->Uninit(), S_OK);
}
