// The task queue and the worker: order by code, duplicates, the empty queue, exit overtaking, the exit task,
// Init twice, and Uninit of a worker that never leaves its task.
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "ComponentTestUtil.h"
#include "MesWnd.h"

using kxct::LogMessages;
using kxct::Queue;
using Pairs = std::vector<std::pair<UINT, UINT>>;

namespace {

Pairs PopAll(CKxUninstMgr* p) {
    Pairs popped;
    for (;;) {
        UINT nTask = 0, nParam = 0;
        p->TaskPop(nTask, nParam);
        popped.emplace_back(nTask, nParam);
        if (nTask == TASK_EMPTY) return popped;
    }
}

size_t CountOf(const std::vector<std::wstring>& lines, const std::wstring& text) {
    return static_cast<size_t>(std::count(lines.begin(), lines.end(), text));
}

}  // namespace

TEST(TaskQueue, PopsByCodeAndInPushOrderWithinACode) {
    kxct::MgrRef mgr;
    const size_t mark = kxct::LogMark();
    mgr->TaskPush(9, 1);
    mgr->TaskPush(4, 0);
    mgr->TaskPush(7, 6);
    mgr->TaskPush(7, 5);
    mgr->TaskPush(6, 0);
    mgr->TaskPush(3, 0);
    EXPECT_EQ(PopAll(mgr.get()), (Pairs{{3, 0}, {4, 0}, {6, 0}, {7, 6}, {7, 5}, {9, 1}, {10, 0}}));
    EXPECT_EQ(LogMessages(mark, L"CKxUninstMgr::TaskPush"),
              (std::vector<std::wstring>{L"TaskPush:[9,1]", L"TaskPush:[4,0]", L"TaskPush:[7,6]", L"TaskPush:[7,5]",
                                         L"TaskPush:[6,0]", L"TaskPush:[3,0]"}));
    // The empty queue's (10, 0) is not logged.
    EXPECT_EQ(LogMessages(mark, L"CKxUninstMgr::TaskPop"),
              (std::vector<std::wstring>{L"TaskPop:[3,0]", L"TaskPop:[4,0]", L"TaskPop:[6,0]", L"TaskPop:[7,6]",
                                         L"TaskPop:[7,5]", L"TaskPop:[9,1]"}));
}

TEST(TaskQueue, DropsAnExactDuplicateSilently) {
    kxct::MgrRef mgr;
    const size_t mark = kxct::LogMark();
    mgr->TaskPush(7, 5);
    mgr->TaskPush(7, 5);
    mgr->TaskPush(7, 6);
    mgr->TaskPush(7, 5);
    EXPECT_EQ(Queue(mgr.get()), (Pairs{{7, 5}, {7, 6}}));
    auto lines = LogMessages(mark, L"CKxUninstMgr::TaskPush");
    EXPECT_EQ(CountOf(lines, L"TaskPush:[7,5]"), 1u);
    EXPECT_EQ(CountOf(lines, L"TaskPush:[7,6]"), 1u);
    EXPECT_EQ(PopAll(mgr.get()), (Pairs{{7, 5}, {7, 6}, {10, 0}}));
}

TEST(TaskQueue, ExitOvertakesEverythingButAPendingInit) {
    kxct::MgrRef mgr;
    mgr->TaskPush(6, 0);
    mgr->TaskPush(7, 5);
    mgr->TaskPush(0, 0);
    mgr->TaskPush(1, 0);
    EXPECT_EQ(PopAll(mgr.get()), (Pairs{{0, 0}, {1, 0}, {6, 0}, {7, 5}, {10, 0}}));
}

TEST(Worker, RunsQueuedTasksInCodeOrderAndLogsItsLife) {
    kxct::TaskRecorder recorder;
    recorder.HoldAt(TASK_INIT);
    kxct::MgrRef mgr;
    const size_t mark = kxct::LogMark();
    ASSERT_EQ(mgr->Init(), S_OK);
    ASSERT_TRUE(recorder.WaitUntilHeld());
    mgr->TaskPush(9, 2);
    mgr->TaskPush(4, 0);
    mgr->TaskPush(6, 0);
    mgr->TaskPush(3, 0);
    recorder.Release();
    ASSERT_TRUE(recorder.WaitForRun(9));
    EXPECT_EQ(recorder.Runs(), (Pairs{{0, 0}, {3, 0}, {4, 0}, {6, 0}, {9, 2}}));
    HANDLE hThread = nullptr;
    DuplicateHandle(GetCurrentProcess(), mgr->m_hThread.get(), GetCurrentProcess(), &hThread, 0, FALSE,
                    DUPLICATE_SAME_ACCESS);
    ASSERT_EQ(mgr->Uninit(), S_OK);
    DWORD dwExit = 1;
    GetExitCodeThread(hThread, &dwExit);
    CloseHandle(hThread);
    EXPECT_EQ(dwExit, 0u);

    auto worker = LogMessages(mark, L"CKxUninstMgr::TaskThread");
    ASSERT_EQ(worker.size(), 2u);
    EXPECT_EQ(worker[0].rfind(L"thread(0x", 0), 0u);
    EXPECT_EQ(worker[0].substr(worker[0].size() - 7), L") begin");
    EXPECT_EQ(worker[1], worker[0].substr(0, worker[0].size() - 5) + L"end");
    EXPECT_EQ(LogMessages(mark, L"CKxUninstMgr::Init"),
              (std::vector<std::wstring>{L"Begin", L"step.1 创建消息总线", L"step.2 加载关心数据",
                                         L"step.3 创建工作线程", L"End"}));
    EXPECT_EQ(LogMessages(mark, L"CKxUninstMgr::Uninit"),
              (std::vector<std::wstring>{L"step.1 关闭工作线程", L"step.2 销毁消息总线"}));
    EXPECT_EQ(LogMessages(mark, L"CKxUninstMgr::TaskFree"),
              (std::vector<std::wstring>{L"Begin", L"step.1 删除任务队列", L"step.2 删除卸载规则",
                                         L"step.3 删除卸载软件列表，类型列表", L"step.4 删除强力清扫列表",
                                         L"step.5 释放KxData.dll", L"End"}));
    auto timing = LogMessages(mark, L"CExecuteTime::~CExecuteTime");
    ASSERT_EQ(timing.size(), 1u);
    EXPECT_EQ(timing[0].rfind(L"CKxUninstMgr::TaskFree execute ", 0), 0u);
    EXPECT_FALSE(mgr->m_hThread);
    EXPECT_FALSE(mgr->m_pMesWnd);
    EXPECT_FALSE(mgr->m_hStopEvent);
    EXPECT_FALSE(mgr->m_hCancelEvent);
    EXPECT_FALSE(mgr->m_hActiveEvent);
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
        for (int i = 0; i < 2000; ++i) {
            seen = Queue(mgr.get());
            if (!seen.empty() && seen.front().first == TASK_EXIT) break;
            Sleep(1);
        }
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
    const size_t mark = kxct::LogMark();
    ASSERT_EQ(mgr->Init(), S_OK);
    ASSERT_TRUE(recorder.WaitForRun(TASK_INIT));
    HANDLE hThread = mgr->m_hThread.get();
    CMesWnd* pWnd = mgr->m_pMesWnd.get();
    ASSERT_EQ(mgr->Init(), S_OK);
    ASSERT_TRUE(recorder.WaitForRun(TASK_INIT, 2));
    EXPECT_EQ(mgr->m_hThread.get(), hThread);
    EXPECT_EQ(mgr->m_pMesWnd.get(), pWnd);
    auto init = LogMessages(mark, L"CKxUninstMgr::Init");
    EXPECT_EQ(CountOf(init, L"step.1 创建消息总线"), 2u);
    EXPECT_EQ(CountOf(init, L"step.3 创建工作线程"), 1u);
    EXPECT_EQ(CountOf(LogMessages(mark, L"CKxUninstMgr::TaskPush"), L"TaskPush:[0,0]"), 2u);
    EXPECT_EQ(LogMessages(mark, L"CKxUninstMgr::TaskThread").size(), 1u);

    // A TaskInit still queued absorbs the second Init's request.
    recorder.HoldAt(TASK_ADD);
    mgr->TaskPush(TASK_ADD, 1);
    ASSERT_TRUE(recorder.WaitUntilHeld());
    ASSERT_EQ(mgr->Init(), S_OK);
    ASSERT_EQ(mgr->Init(), S_OK);
    EXPECT_EQ(Queue(mgr.get()), (Pairs{{0, 0}}));
    recorder.Release();
    ASSERT_EQ(mgr->Uninit(), S_OK);

    // And Init after Uninit builds everything anew.
    ASSERT_EQ(mgr->Init(), S_OK);
    EXPECT_TRUE(mgr->m_hThread);
    EXPECT_TRUE(mgr->m_pMesWnd);
    EXPECT_TRUE(mgr->m_hStopEvent);
    EXPECT_EQ(WaitForSingleObject(mgr->m_hStopEvent.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
    ASSERT_TRUE(recorder.WaitForRun(TASK_INIT, 4));
    ASSERT_EQ(mgr->Uninit(), S_OK);
}

TEST(Worker, UninitTerminatesAWorkerStuckInATaskAfterTwoSeconds) {
    kxct::TaskRecorder recorder;
    recorder.HoldAt(TASK_UNINSTALL, /*bForever=*/true);
    kxct::MgrRef mgr;
    const size_t mark = kxct::LogMark();
    ASSERT_EQ(mgr->Init(), S_OK);
    mgr->TaskPush(TASK_UNINSTALL, 5);
    mgr->TaskPush(TASK_ADD, 3);
    ASSERT_TRUE(recorder.WaitUntilHeld());
    HANDLE hThread = nullptr;
    DuplicateHandle(GetCurrentProcess(), mgr->m_hThread.get(), GetCurrentProcess(), &hThread, 0, FALSE,
                    DUPLICATE_SAME_ACCESS);
    const DWORD dwStart = GetTickCount();
    ASSERT_EQ(mgr->Uninit(), S_OK);
    const DWORD dwElapsed = GetTickCount() - dwStart;
    EXPECT_GE(dwElapsed, 1950u);
    EXPECT_LT(dwElapsed, 8000u);
    DWORD dwExit = 0;
    GetExitCodeThread(hThread, &dwExit);
    CloseHandle(hThread);
    EXPECT_EQ(dwExit, 0xFFFFFFFFu);
    EXPECT_FALSE(mgr->m_hThread);
    EXPECT_FALSE(mgr->m_pMesWnd);
    EXPECT_FALSE(mgr->m_hStopEvent);
    EXPECT_TRUE(LogMessages(mark, L"CKxUninstMgr::TaskFree").empty());
    // The task that never ran stays queued; the exit request that nobody took does not.
    EXPECT_EQ(Queue(mgr.get()), (Pairs{{TASK_ADD, 3}}));

    // The object can start again.
    recorder.Release();
    recorder.HoldAt(0xFFFFFFFF);
    ASSERT_EQ(mgr->Init(), S_OK);
    ASSERT_TRUE(recorder.WaitForRun(TASK_ADD, 1));
    ASSERT_TRUE(recorder.WaitForRun(TASK_INIT, 2));
    ASSERT_EQ(mgr->Uninit(), S_OK);
}
