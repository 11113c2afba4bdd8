// The job wait with real processes: the uninstaller is this binary relaunched in a child mode; the processes it
// leaves behind are more copies of it, some under the names of a browser or Notepad.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <memory>

#include "JobWait.h"
#include "kxtest/ChildProcess.h"
#include "kxtest/HostLayout.h"
#include "kxtest/Log.h"
#include "kxtest/OpenLog.h"
#include "kxtest/Processes.h"
#include "kxtest/Pump.h"
#include "kxtest/TempDir.h"

namespace {

const wchar_t kJobName[] = L"KxUninst.WaitForAllProcess";
const wchar_t kPoll[] = L"job包含的进程数:";
const wchar_t kFn[] = L"[F.UNINST_API::WaitForAllProcess()] ";

// The wait's log since the mark: the process counts of its polls, and whether it polled again after a name
// check of at least nIds process ids.
struct WaitLog : kxtest::LogMark {
    std::vector<int> Polls() const {
        std::vector<int> counts;
        for (const std::wstring& line : Lines(kPoll)) {
            size_t at = line.find(std::wstring(kFn) + kPoll);
            EXPECT_NE(at, std::wstring::npos) << kxtest::WideToUtf8(line);
            counts.push_back(at == std::wstring::npos ? -1 : std::stoi(line.substr(at + wcslen(kFn) + wcslen(kPoll))));
        }
        return counts;
    }
    bool PolledAfterNameCheck(size_t nIds) const {
        size_t run = 0;
        for (const std::wstring& line : Lines(kFn)) {
            if (line.find(L"进程号:") != std::wstring::npos) ++run;
            else if (run >= nIds && run > 0 && line.find(kPoll) != std::wstring::npos) return true;
            else run = 0;
        }
        return false;
    }
};

class JobWait : public testing::Test {
protected:
    static void SetUpTestSuite() {
        s_copies = std::make_unique<kxtest::TempDir>();
        for (const wchar_t* name : {L"IEXPLORE.EXE", L"notepad.exe"})
            ASSERT_TRUE(CopyFileW(kxtest::SelfPath().c_str(), (*s_copies / name).c_str(), FALSE));
    }
    static void TearDownTestSuite() { s_copies.reset(); }
    static std::wstring Copy(const std::wstring& name) { return name.empty() ? name : *s_copies / name; }

    // Every process left in the job ends once released, and the job's name is free again: a handle of the wait
    // left open (job, process or thread) would keep it. Wine keeps an exited process, and so its job, for about
    // half a second after the job counts it gone.
    static void ExpectAllEnd(kxtest::ScriptedUninstaller& uninstaller) {
        std::vector<kxtest::JobProcess> left = kxtest::JobProcesses(kJobName);
        uninstaller.ReleaseAll();
        for (auto& p : left) {
            if (WaitForSingleObject(p.process.get(), 15000) == WAIT_OBJECT_0) continue;
            ADD_FAILURE() << "still running: " << kxtest::WideToUtf8(p.name);
            TerminateProcess(p.process.get(), 1);
        }
        left.clear();  // a handle of ours would keep the job
        EXPECT_TRUE(kxtest::PumpUntil([] { return !kx::unique_handle(OpenJobObjectW(JOB_OBJECT_QUERY, FALSE, kJobName)); },
                                      5000)) << "the job outlived its processes";
    }
    static std::unique_ptr<kxtest::TempDir> s_copies;
};
std::unique_ptr<kxtest::TempDir> JobWait::s_copies;

TEST(JobWaitNames, IgnoredProcessNames) {
    const struct { const wchar_t* name; BOOL ignored; } cases[] = {
        {L"iexplore.exe", TRUE}, {L"360SE.EXE", TRUE}, {L"Maxthon.exe", TRUE}, {L"firefox.EXE", TRUE},
        {L"TheWorld.exe", TRUE}, {L"opera.exe", TRUE}, {L"CHROME.exe", TRUE}, {L"notepad.exe", TRUE},
        {L"SogouExplorer.exe", TRUE}, {L"notepad", FALSE}, {L"notepad++.exe", FALSE}, {L"xiexplore.exe", FALSE},
        {L"chrome.exe ", FALSE}, {L"msedge.exe", FALSE}, {L"", FALSE}, {nullptr, FALSE},
    };
    for (const auto& c : cases)
        EXPECT_EQ(UNINST_API::IsIgnoredProcess(c.name), c.ignored) << (c.name ? kxtest::WideToUtf8(c.name) : "null");
}

// What ends each wait, and what it leaves running. A case that holds is shown to outlast a full name check (or,
// for a cancel, a first poll) before the children listed in `release` are released or the cancel is signalled.
TEST_F(JobWait, EndsWhenOnlyIgnorableOrNothingIsLeft) {
    const struct {
        const char* label;
        const wchar_t* action;
        std::vector<std::wstring> children;  // "" is this binary
        bool cancelEvent;                    // pass a cancel event (else NULL: each poll sleeps)
        std::vector<int> release;            // held until these children are released
        bool cancel;                         // held until the cancel event is signalled
        std::vector<std::wstring> left;      // still running in the job after the return, by name
    } cases[] = {
        {"ends at once", L"exit", {}, false, {}, false, {}},
        {"copy of itself", L"exit", {L""}, true, {0}, false, {}},
        {"browser left", L"exit", {L"IEXPLORE.EXE"}, false, {}, false, {L"IEXPLORE.EXE"}},
        {"notepad left", L"exit", {L"notepad.exe"}, true, {}, false, {L"notepad.exe"}},
        {"notepad beside a worker", L"exit", {L"notepad.exe", L""}, false, {1}, false, {L"notepad.exe"}},
        {"more ids than room", L"exit", std::vector<std::wstring>(11, L"notepad.exe"), false,
         {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, false, {}},
        {"cancel", L"linger", {}, true, {}, true, {L"jobwait_tests.exe"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        WaitLog log;
        std::vector<std::wstring> children;
        for (const auto& name : c.children) children.push_back(Copy(name));
        kxtest::ScriptedUninstaller uninstaller(c.action, children);
        kx::unique_handle cancelEvent(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        HANDLE hCancel = c.cancelEvent ? cancelEvent.get() : nullptr;
        BOOL result = -1;
        {
            kxtest::AsyncCall wait([&] { result = UNINST_API::WaitForAllProcess(uninstaller.Command(), hCancel, nullptr); },
                                   [&] { uninstaller.ReleaseAll(); if (hCancel) SetEvent(hCancel); });
            if (!c.release.empty() || c.cancel) {
                size_t nIds = std::min<size_t>(c.children.size(), 10);
                ASSERT_TRUE(kxtest::PumpUntil([&] {
                    return (c.cancel ? !log.Polls().empty() : log.PolledAfterNameCheck(nIds)) || wait.Done();
                }, 15000));
                ASSERT_FALSE(wait.Done());
                size_t polls = log.Polls().size();
                for (int i : c.release) uninstaller.ReleaseChild(i);
                if (c.cancel) SetEvent(hCancel);
                ASSERT_TRUE(wait.Join(10000));
                if (c.cancel) {
                    EXPECT_LE(log.Polls().size(), polls + 1) << "the cancel is seen at the next poll";
                }
            }
            ASSERT_TRUE(wait.Join(15000));
        }
        EXPECT_EQ(result, TRUE);
        EXPECT_EQ(kxtest::JobProcessNames(kJobName), c.left);
        // The last poll saw the job empty, or only what was left to run.
        std::vector<int> polls = log.Polls();
        if (!c.cancel) {
            EXPECT_EQ(polls.empty() ? -1 : polls.back(), static_cast<int>(c.left.size()));
        }
        if (c.children.empty()) {
            EXPECT_FALSE(log.Has(L"进程号:"));
        }
        ExpectAllEnd(uninstaller);
    }
}

TEST_F(JobWait, UninstallerThatCannotStart) {
    kxtest::TempDir dir;
    for (const std::wstring& cmd : {L"\"" + dir / L"missing.exe" + L"\" /S", dir / L"missing.exe", std::wstring()}) {
        kxtest::LogMark log;
        EXPECT_EQ(UNINST_API::WaitForAllProcess(cmd, nullptr, nullptr), FALSE);
        std::vector<std::wstring> lines = log.Lines(kFn);
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_TRUE(kxtest::EndsWith(lines[0], std::wstring(kFn) + L"CreateProcess Failed! Err=2, Cmd[" + cmd + L"]"));
    }
}

// A cancelled uninstaller keeps its job and the job's name; the next wait must see its own processes only.
TEST_F(JobWait, NameHeldByACancelledUninstaller) {
    kxtest::ScriptedUninstaller old(L"linger", {});
    kx::unique_handle cancel(CreateEventW(nullptr, TRUE, TRUE, nullptr));
    ASSERT_EQ(UNINST_API::WaitForAllProcess(old.Command(), cancel.get(), nullptr), TRUE);
    ASSERT_EQ(kxtest::JobProcessNames(kJobName), std::vector<std::wstring>{L"jobwait_tests.exe"});

    WaitLog log;
    ResetEvent(cancel.get());
    BOOL result = -1;
    {
        // An uninstaller that ends at once.
        kxtest::AsyncCall wait([&] { result = UNINST_API::WaitForAllProcess(
                                         kxtest::ChildCommandLine("kx_linger", L"no.such.event"), cancel.get(), nullptr); },
                               [&] { SetEvent(cancel.get()); });
        ASSERT_TRUE(wait.Join(10000)) << "the wait waits for the old uninstaller";
    }
    EXPECT_EQ(result, TRUE);
    EXPECT_EQ(log.Lines(L"job已存在, 改用匿名job").size(), 1u);
    std::vector<int> counts = log.Polls();
    ASSERT_FALSE(counts.empty());
    EXPECT_EQ(counts.back(), 0);
    EXPECT_LE(*std::max_element(counts.begin(), counts.end()), 1) << "the old uninstaller was counted";
    EXPECT_EQ(kxtest::JobProcessNames(kJobName), std::vector<std::wstring>{L"jobwait_tests.exe"});
    ExpectAllEnd(old);
}

// Active brings the uninstaller's window to the front once per signal.
TEST_F(JobWait, ActiveBringsTheUninstallerWindowToTheFront) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"KxJobWaitTestOwn";
    RegisterClassW(&wc);
    HWND hOwn = CreateWindowW(wc.lpszClassName, L"own", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100, nullptr,
                              nullptr, wc.hInstance, nullptr);
    ASSERT_NE(hOwn, nullptr);
    kxtest::ScriptedUninstaller uninstaller(L"window", {});
    kx::unique_handle cancel(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    kx::unique_handle active(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    WaitLog log;
    kxtest::AsyncCall wait([&] { UNINST_API::WaitForAllProcess(uninstaller.Command(), cancel.get(), active.get()); },
                           [&] { SetEvent(cancel.get()); });

    HWND hUninst = nullptr;
    ASSERT_TRUE(kxtest::PumpUntil([&] {
        return (hUninst = FindWindowW(kxtest::ScriptedUninstaller::WindowClass(), uninstaller.Title().c_str())) != nullptr;
    }, 10000));
    UNINST_API::ProcessWindowSearch search = {0, nullptr};
    GetWindowThreadProcessId(hUninst, &search.dwProcessId);
    EnumWindows(UNINST_API::FindProcessWindowProc, reinterpret_cast<LPARAM>(&search));
    EXPECT_EQ(search.hWnd, hUninst);

    // Whether the uninstaller's window is in front three polls after the own window was put there and Active was
    // signalled or not.
    auto passes = [&](bool bActive) {
        SetForegroundWindow(hOwn);
        EXPECT_TRUE(kxtest::PumpUntil([&] { return GetForegroundWindow() == hOwn; }, 2000));
        if (bActive) SetEvent(active.get());
        size_t polls = log.Polls().size();
        kxtest::PumpUntil([&] { return log.Polls().size() >= polls + 3; }, 5000);
        return GetForegroundWindow() == hUninst;
    };
    EXPECT_FALSE(passes(false));
    EXPECT_TRUE(passes(true));
    EXPECT_FALSE(passes(false)) << "one Active, one pass";

    SetEvent(cancel.get());
    ASSERT_TRUE(wait.Join(10000));
    DestroyWindow(hOwn);
    ExpectAllEnd(uninstaller);
}

}  // namespace
