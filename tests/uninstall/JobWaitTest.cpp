// The job wait with real processes: the uninstaller is this binary relaunched in a child mode; the processes it
// leaves behind are more copies of it, some under the names of a browser or Notepad. Every process a case
// leaves running lingers on an event of the case and is released (and waited for) before the case ends.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "JobWait.h"
#include "KxLog.h"
#include "ScopedHandle.h"
#include "kxtest/ChildProcess.h"
#include "kxtest/HostLayout.h"
#include "kxtest/TempDir.h"

namespace {

const wchar_t kJobName[] = L"KxUninst.WaitForAllProcess";
const wchar_t kPoll[] = L"job包含的进程数:";
const wchar_t kPid[] = L"进程号:";
const wchar_t kFn[] = L"[F.UNINST_API::WaitForAllProcess()] ";
const wchar_t kWindowClass[] = L"KxJobWaitTestWindow";
constexpr DWORD kLingerMs = 60000;  // a lingering child never outlives a crashed test by long

class OpenLog : public testing::Environment {
public:
    void SetUp() override { CKxLog::Instance().Open(); }
};
const testing::Environment* const kOpenLog = testing::AddGlobalTestEnvironment(new OpenLog);

std::vector<std::wstring> Split(const std::wstring& s, wchar_t sep) {
    std::vector<std::wstring> parts;
    size_t start = 0;
    for (size_t at; (at = s.find(sep, start)) != std::wstring::npos; start = at + 1) parts.push_back(s.substr(start, at - start));
    parts.push_back(s.substr(start));
    return parts;
}

std::wstring SelfPath() {
    wchar_t szExe[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, szExe, MAX_PATH);
    return szExe;
}

std::wstring BaseName(const std::wstring& path) { return path.substr(path.rfind(L'\\') + 1); }

// Waits for the named event (at most kLingerMs), serving the window if there is one.
int Linger(const std::wstring& strEvent, HWND hWnd) {
    kx::unique_handle release(OpenEventW(SYNCHRONIZE, FALSE, strEvent.c_str()));
    if (!release) return 3;
    HANDLE h = release.get();
    for (DWORD start = GetTickCount(); GetTickCount() - start < kLingerMs;) {
        if (MsgWaitForMultipleObjects(1, &h, FALSE, 50, QS_ALLINPUT) == WAIT_OBJECT_0) break;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    }
    if (hWnd) DestroyWindow(hWnd);
    return 0;
}

KXTEST_CHILD_MODE(jw_linger) { return Linger(args, nullptr); }

// The uninstaller: "base|action|exe0|exe1|...". Starts each exe lingering on "base.i" (inside its job, as an
// uninstaller's helpers are), then exits, lingers on "base.u", or opens a window titled base and lingers.
KXTEST_CHILD_MODE(jw_uninst) {
    std::vector<std::wstring> parts = Split(args, L'|');
    if (parts.size() < 2) return 2;
    for (size_t i = 2; i < parts.size(); ++i) {
        std::wstring cmd = L"\"" + parts[i] + L"\" --kx-child=jw_linger " + parts[0] + L"." + std::to_wstring(i - 2);
        STARTUPINFOW si = {};
        si.cb = sizeof(si);
        PROCESS_INFORMATION pi = {};
        if (!CreateProcessW(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return 4;
        kx::unique_handle process(pi.hProcess), thread(pi.hThread);
    }
    if (parts[1] == L"exit") return 0;
    HWND hWnd = nullptr;
    if (parts[1] == L"window") {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = kWindowClass;
        RegisterClassW(&wc);
        // Shown without activation: only the wait's bring-to-front pass may make it the foreground window.
        hWnd = CreateWindowW(kWindowClass, parts[0].c_str(), WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                             wc.hInstance, nullptr);
        ShowWindow(hWnd, SW_SHOWNOACTIVATE);
    }
    return Linger(parts[0] + L".u", hWnd);
}

// Runs WaitForAllProcess on a thread of its own, so that a case can act while it waits. When a failed case
// leaves it waiting, abandon releases what it waits for.
class AsyncWait {
public:
    AsyncWait(std::wstring cmd, HANDLE hCancel, HANDLE hActive, std::function<void()> abandon)
        : m_cmd(std::move(cmd)), m_hCancel(hCancel), m_hActive(hActive), m_abandon(std::move(abandon)) {
        m_thread.reset(CreateThread(nullptr, 0, Run, this, 0, nullptr));
    }
    ~AsyncWait() {
        if (!Done()) m_abandon();
        Join(INFINITE);
    }
    bool Done() const { return Join(0); }
    bool Join(DWORD dwMs) const { return WaitForSingleObject(m_thread.get(), dwMs) == WAIT_OBJECT_0; }
    BOOL Result() const { return m_bResult; }

private:
    static DWORD WINAPI Run(void* p) {
        auto* self = static_cast<AsyncWait*>(p);
        self->m_bResult = UNINST_API::WaitForAllProcess(self->m_cmd, self->m_hCancel, self->m_hActive);
        return 0;
    }
    std::wstring m_cmd;
    HANDLE m_hCancel, m_hActive;
    std::function<void()> m_abandon;
    BOOL m_bResult = -1;
    kx::unique_handle m_thread;
};

// A process of the job, as seen from outside after the wait returned.
struct JobMember {
    kx::unique_handle process;
    std::wstring name;
};

class JobWaitTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        s_copies = std::make_unique<kxtest::TempDir>();
        for (const wchar_t* name : {L"IEXPLORE.EXE", L"notepad.exe"})
            ASSERT_TRUE(CopyFileW(SelfPath().c_str(), (*s_copies / name).c_str(), FALSE));
    }
    static void TearDownTestSuite() { s_copies.reset(); }

    void SetUp() override { BeginCase(); }
    void TearDown() override { EndCase(); }

    void BeginCase() {
        static int s_case = 0;
        m_base = L"kxjw." + std::to_wstring(GetCurrentProcessId()) + L"." + std::to_wstring(++s_case);
        m_from = kxtest::ComponentLogLineCount();
    }

    // Every process left in the named job is released and must end by itself.
    void EndCase() {
        std::vector<JobMember> left = Members();
        ReleaseAll();
        for (auto& member : left) {
            if (WaitForSingleObject(member.process.get(), 15000) == WAIT_OBJECT_0) continue;
            ADD_FAILURE() << "still running: " << kxtest::WideToUtf8(member.name);
            TerminateProcess(member.process.get(), 1);
        }
        left.clear();
        m_events.clear();
        // The name must be free again: any handle of the wait left open (job, process or thread) keeps the job.
        // Wine keeps an exited process, and so its job, for about half a second after the job counts it gone.
        EXPECT_TRUE(PumpUntil([] { return !kx::unique_handle(OpenJobObjectW(JOB_OBJECT_QUERY, FALSE, kJobName)); }, 5000))
            << "the job outlived its processes";
    }
    void ReleaseAll() {
        for (auto& event : m_events) SetEvent(event.get());
    }
    // What a wait abandoned by a failed case needs to end.
    std::function<void()> Abandon(HANDLE hCancel) {
        return [this, hCancel] {
            ReleaseAll();
            if (hCancel) SetEvent(hCancel);
        };
    }

    // The release event of a lingering process: "u" for the uninstaller, else the index of its child.
    HANDLE Event(const std::wstring& suffix) {
        m_events.emplace_back(CreateEventW(nullptr, TRUE, FALSE, (m_base + L"." + suffix).c_str()));
        return m_events.back().get();
    }

    // The uninstaller's command: action "exit", "linger" or "window"; children "." (this binary) or a copy's name.
    std::wstring Uninstaller(const wchar_t* action, const std::vector<std::wstring>& children) {
        std::wstring args = m_base + L"|" + action;
        for (size_t i = 0; i < children.size(); ++i) {
            Event(std::to_wstring(i));
            args += L"|" + (children[i] == L"." ? SelfPath() : *s_copies / children[i]);
        }
        Event(L"u");
        return kxtest::ChildCommandLine("jw_uninst", args);
    }

    std::vector<std::wstring> Log(const std::wstring& needle) const { return kxtest::LogLinesContaining(needle, m_from); }

    // Runs until done() or dwMs passed, serving this thread's windows.
    template <typename Fn>
    static bool PumpUntil(Fn done, DWORD dwMs) {
        for (DWORD start = GetTickCount(); GetTickCount() - start < dwMs; Sleep(10)) {
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
            if (done()) return true;
        }
        return done();
    }

    // The process counts of the polls since the case began, read from whole log lines (-1 for a line of
    // another form).
    std::vector<int> PollCounts() const {
        const std::wstring prefix = std::wstring(kFn) + kPoll;
        std::vector<int> counts;
        for (const std::wstring& line : Log(kPoll)) {
            size_t at = line.find(prefix);
            EXPECT_NE(at, std::wstring::npos) << kxtest::WideToUtf8(line);
            counts.push_back(at == std::wstring::npos ? -1 : std::stoi(line.substr(at + prefix.size())));
        }
        return counts;
    }
    int LastPoll() const {
        std::vector<int> counts = PollCounts();
        return counts.empty() ? -1 : counts.back();
    }
    // Polls logged by the wait since the case began.
    size_t Polls() const { return Log(kPoll).size(); }
    // True once a name check of at least nIds ids has been logged and the wait polled again after it.
    bool PolledAfterNameCheck(size_t nIds) const {
        std::vector<std::wstring> lines = Log(L"[F.UNINST_API::WaitForAllProcess()]");
        size_t run = 0;
        for (size_t i = 0; i < lines.size(); ++i) {
            if (lines[i].find(kPid) != std::wstring::npos)
                ++run;
            else if (run >= nIds && run > 0 && lines[i].find(kPoll) != std::wstring::npos)
                return true;
            else
                run = 0;
        }
        return false;
    }

    // The processes in the named job (none when it no longer exists), with their module names.
    static std::vector<JobMember> Members() {
        std::vector<JobMember> members;
        kx::unique_handle job(OpenJobObjectW(JOB_OBJECT_QUERY, FALSE, kJobName));
        if (!job) return members;
        struct {
            JOBOBJECT_BASIC_PROCESS_ID_LIST head;
            ULONG_PTR more[63];
        } ids = {};
        ids.head.NumberOfAssignedProcesses = 64;
        QueryInformationJobObject(job.get(), JobObjectBasicProcessIdList, &ids, sizeof(ids), nullptr);
        for (DWORD i = 0; i < ids.head.NumberOfProcessIdsInList; ++i) {
            JobMember m;
            m.process.reset(OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE, FALSE,
                                        static_cast<DWORD>(i == 0 ? ids.head.ProcessIdList[0] : ids.more[i - 1])));
            wchar_t szPath[MAX_PATH] = {};
            DWORD n = MAX_PATH;
            if (m.process && QueryFullProcessImageNameW(m.process.get(), 0, szPath, &n)) m.name = BaseName(szPath);
            members.push_back(std::move(m));
        }
        return members;
    }
    static std::vector<std::wstring> MemberNames() {
        std::vector<std::wstring> names;
        for (const auto& m : Members()) names.push_back(m.name);
        std::sort(names.begin(), names.end());
        return names;
    }

    static std::unique_ptr<kxtest::TempDir> s_copies;
    std::wstring m_base;
    size_t m_from = 0;
    std::vector<kx::unique_handle> m_events;
};
std::unique_ptr<kxtest::TempDir> JobWaitTest::s_copies;

TEST(JobWaitNames, IgnoredProcessNames) {
    const struct {
        const wchar_t* name;
        BOOL ignored;
    } cases[] = {
        {L"iexplore.exe", TRUE}, {L"360SE.EXE", TRUE},         {L"Maxthon.exe", TRUE},  {L"firefox.EXE", TRUE},
        {L"TheWorld.exe", TRUE}, {L"opera.exe", TRUE},         {L"CHROME.exe", TRUE},   {L"notepad.exe", TRUE},
        {L"SogouExplorer.exe", TRUE},
        {L"notepad", FALSE},     {L"notepad++.exe", FALSE},    {L"xiexplore.exe", FALSE}, {L"chrome.exe ", FALSE},
        {L"msedge.exe", FALSE},  {L"", FALSE},                 {nullptr, FALSE},
    };
    for (const auto& c : cases)
        EXPECT_EQ(UNINST_API::IsIgnoredProcess(c.name), c.ignored) << (c.name ? kxtest::WideToUtf8(c.name) : "null");
}

// What ends each wait, and what it leaves running. A case that holds is shown to outlast a full name check (or,
// for a cancel, a first poll) before the children listed in `release` are released or the cancel is signalled.
TEST_F(JobWaitTest, EndsWhenOnlyIgnorableOrNothingIsLeft) {
    const struct {
        const char* label;
        const wchar_t* action;
        std::vector<std::wstring> children;
        bool cancelEvent;                // pass a cancel event (else NULL: each poll sleeps)
        std::vector<int> release;        // held until these children are released
        bool cancel;                     // held until the cancel event is signalled
        std::vector<std::wstring> left;  // still running in the job after the return, by name
    } cases[] = {
        {"ends at once", L"exit", {}, false, {}, false, {}},
        {"copy of itself", L"exit", {L"."}, true, {0}, false, {}},
        {"browser left", L"exit", {L"IEXPLORE.EXE"}, false, {}, false, {L"IEXPLORE.EXE"}},
        {"notepad left", L"exit", {L"notepad.exe"}, true, {}, false, {L"notepad.exe"}},
        {"notepad beside a worker", L"exit", {L"notepad.exe", L"."}, false, {1}, false, {L"notepad.exe"}},
        {"more ids than room", L"exit", std::vector<std::wstring>(11, L"notepad.exe"), false,
         {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, false, {}},
        {"cancel", L"linger", {}, true, {}, true, {L"jobwait_tests.exe"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        BeginCase();
        kx::unique_handle cancel(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        std::wstring cmd = Uninstaller(c.action, c.children);
        {
            HANDLE hCancel = c.cancelEvent ? cancel.get() : nullptr;
            AsyncWait wait(cmd, hCancel, nullptr, Abandon(hCancel));
            if (!c.release.empty() || c.cancel) {
                size_t nIds = std::min<size_t>(c.children.size(), 10);
                ASSERT_TRUE(PumpUntil([&] { return (c.cancel ? Polls() > 0 : PolledAfterNameCheck(nIds)) || wait.Done(); }, 15000));
                ASSERT_FALSE(wait.Done());
                size_t polls = Polls();
                for (int i : c.release) SetEvent(m_events[i].get());
                if (c.cancel) SetEvent(cancel.get());
                ASSERT_TRUE(wait.Join(10000));
                // The cancel is seen at the next poll at the latest.
                if (c.cancel) {
                    EXPECT_LE(Polls(), polls + 1);
                }
            }
            ASSERT_TRUE(wait.Join(15000));
            EXPECT_EQ(wait.Result(), TRUE);
        }
        EXPECT_EQ(MemberNames(), c.left);

        // The last poll saw the job empty, or only what was left to run.
        if (!c.cancel) {
            EXPECT_EQ(LastPoll(), static_cast<int>(c.left.size()));
        }
        if (c.children.empty()) {
            EXPECT_TRUE(Log(kPid).empty());
        }
        EndCase();
    }
}

TEST_F(JobWaitTest, UninstallerThatCannotStart) {
    kxtest::TempDir dir;
    const std::wstring cases[] = {L"\"" + dir / L"missing.exe" + L"\" /S", dir / L"missing.exe", L""};
    for (const std::wstring& cmd : cases) {
        SCOPED_TRACE(kxtest::WideToUtf8(cmd));
        BeginCase();
        EXPECT_EQ(UNINST_API::WaitForAllProcess(cmd, nullptr, nullptr), FALSE);
        std::vector<std::wstring> lines = Log(L"[F.UNINST_API::WaitForAllProcess()]");
        ASSERT_EQ(lines.size(), 1u);
        std::wstring expected = std::wstring(kFn) + L"CreateProcess Failed! Err=2, Cmd[" + cmd + L"]";
        EXPECT_EQ(lines[0].substr(lines[0].find(kFn)), expected);
    }
}

// A cancelled uninstaller keeps its job and the job's name; the next wait must see its own processes only.
TEST_F(JobWaitTest, NameHeldByACancelledUninstaller) {
    kx::unique_handle cancel(CreateEventW(nullptr, TRUE, TRUE, nullptr));
    ASSERT_EQ(UNINST_API::WaitForAllProcess(Uninstaller(L"linger", {}), cancel.get(), nullptr), TRUE);
    ASSERT_EQ(MemberNames(), std::vector<std::wstring>{L"jobwait_tests.exe"});

    m_from = kxtest::ComponentLogLineCount();
    ResetEvent(cancel.get());
    {
        // An uninstaller that ends at once.
        AsyncWait wait(kxtest::ChildCommandLine("jw_linger", L"no.such.event"), cancel.get(), nullptr,
                       Abandon(cancel.get()));
        ASSERT_TRUE(wait.Join(10000)) << "the wait waits for the old uninstaller";
        EXPECT_EQ(wait.Result(), TRUE);
    }
    EXPECT_EQ(Log(L"job已存在, 改用匿名job").size(), 1u);
    std::vector<int> counts = PollCounts();
    ASSERT_FALSE(counts.empty());
    EXPECT_EQ(counts.back(), 0);
    EXPECT_LE(*std::max_element(counts.begin(), counts.end()), 1) << "the old uninstaller was counted";
    // The old uninstaller is still where it was, and still the name's only process.
    EXPECT_EQ(MemberNames(), std::vector<std::wstring>{L"jobwait_tests.exe"});
}

// Active brings the uninstaller's window to the front once per signal.
TEST_F(JobWaitTest, ActiveBringsTheUninstallerWindowToTheFront) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"KxJobWaitTestOwn";
    RegisterClassW(&wc);
    HWND hOwn = CreateWindowW(wc.lpszClassName, L"own", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100, nullptr,
                              nullptr, wc.hInstance, nullptr);
    ASSERT_NE(hOwn, nullptr);
    kx::unique_handle cancel(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    kx::unique_handle active(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    AsyncWait wait(Uninstaller(L"window", {}), cancel.get(), active.get(), Abandon(cancel.get()));

    HWND hUninst = nullptr;
    ASSERT_TRUE(PumpUntil([&] { return (hUninst = FindWindowW(kWindowClass, m_base.c_str())) != nullptr; }, 10000));
    UNINST_API::ProcessWindowSearch search = {0, nullptr};
    GetWindowThreadProcessId(hUninst, &search.dwProcessId);
    EnumWindows(UNINST_API::FindProcessWindowProc, reinterpret_cast<LPARAM>(&search));
    EXPECT_EQ(search.hWnd, hUninst);

    // Whether the uninstaller's window is in front three polls after the own window was put there and Active was
    // signalled or not.
    auto passes = [&](bool bActive) {
        SetForegroundWindow(hOwn);
        EXPECT_TRUE(PumpUntil([&] { return GetForegroundWindow() == hOwn; }, 2000));
        if (bActive) SetEvent(active.get());
        size_t polls = Polls();
        PumpUntil([&] { return Polls() >= polls + 3; }, 5000);
        return GetForegroundWindow() == hUninst;
    };
    EXPECT_FALSE(passes(false));
    EXPECT_TRUE(passes(true));
    EXPECT_FALSE(passes(false)) << "one Active, one pass";

    SetEvent(cancel.get());
    ASSERT_TRUE(wait.Join(10000));
    DestroyWindow(hOwn);
}

}  // namespace
