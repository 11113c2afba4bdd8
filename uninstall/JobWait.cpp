#define KX_LOG_SOURCE ".\\KxUninstAPI"
#include "JobWait.h"

#include <psapi.h>

#include <algorithm>
#include <cstddef>

#include "KxLog.h"
#include "ScopedHandle.h"

namespace UNINST_API {
namespace {

const char kFunction[] = "UNINST_API::WaitForAllProcess";
const wchar_t kJobName[] = L"KxUninst.WaitForAllProcess";

constexpr DWORD kPollMs = 100;
constexpr DWORD kNameCheckMs = 2000;
constexpr DWORD kIdRoom = 10;
constexpr DWORD kNameCheckAccess = PROCESS_QUERY_INFORMATION | PROCESS_VM_READ;
constexpr DWORD kCreationFlags = CREATE_SUSPENDED | CREATE_BREAKAWAY_FROM_JOB;
static_assert(kNameCheckAccess == 0x0410 && kCreationFlags == 0x01000004, "the documented values");

// The system's basic process-id list of a job, with room for kIdRoom ids.
struct JobProcessIdList {
    DWORD NumberOfAssignedProcesses;
    DWORD NumberOfProcessIdsInList;
    ULONG_PTR ProcessIdList[kIdRoom];
};
static_assert(offsetof(JobProcessIdList, ProcessIdList) == offsetof(JOBOBJECT_BASIC_PROCESS_ID_LIST, ProcessIdList),
              "the system's layout");
static_assert(sizeof(JobProcessIdList) == (sizeof(void*) == 4 ? 48 : 88), "room for exactly 10 ids");

const wchar_t* const kIgnoredNames[] = {
    L"iexplore.exe", L"360se.exe",  L"maxthon.exe", L"firefox.exe",       L"theworld.exe",
    L"opera.exe",    L"chrome.exe", L"notepad.exe", L"sogouexplorer.exe",
};

// A job of our own. The name is the documented one, but a job outlives its last handle while processes are in
// it: after a cancelled wait the old uninstaller may still hold the name, and opening its job would make this
// wait last until that unrelated uninstaller ends (and count it at every name check). Then an unnamed job is
// used, so the wait sees only the processes it starts.
kx::unique_handle CreateOwnJob() {
    kx::unique_handle job(CreateJobObjectW(nullptr, kJobName));
    if (job && GetLastError() == ERROR_ALREADY_EXISTS) {
        KXLOG_AS(0, kFunction, L"job已存在, 改用匿名job");
        job.reset(CreateJobObjectW(nullptr, nullptr));
    }
    return job;
}

// The name check: true when every process assigned to the job is a browser or Notepad. Only the ids the list
// holds are examined, so a job with more processes than ids never passes. A process that cannot be opened or
// named counts as still working.
bool OnlyIgnoredLeft(const JobProcessIdList& ids, wchar_t (&szName)[MAX_PATH]) {
    DWORD nIgnored = 0;
    DWORD nIds = std::min(ids.NumberOfProcessIdsInList, kIdRoom);
    for (DWORD i = 0; i < nIds; ++i) {
        DWORD dwId = static_cast<DWORD>(ids.ProcessIdList[i]);
        KXLOG_AS(0, kFunction, L"进程号:%d", static_cast<int>(dwId));
        kx::unique_handle process(OpenProcess(kNameCheckAccess, FALSE, dwId));
        if (!process) continue;
        DWORD nLength = GetModuleBaseNameW(process.get(), nullptr, szName, MAX_PATH);
        process.reset();
        if (nLength > 0 && IsIgnoredProcess(szName)) ++nIgnored;
    }
    return nIgnored >= ids.NumberOfAssignedProcesses;
}

// One bring-to-front pass: the first top-level window of each listed process.
void BringToFront(const JobProcessIdList& ids) {
    DWORD nIds = std::min(ids.NumberOfProcessIdsInList, kIdRoom);
    for (DWORD i = 0; i < nIds; ++i) {
        ProcessWindowSearch search = {static_cast<DWORD>(ids.ProcessIdList[i]), nullptr};
        EnumWindows(FindProcessWindowProc, reinterpret_cast<LPARAM>(&search));
        if (search.hWnd) {
            SetForegroundWindow(search.hWnd);
            BringWindowToTop(search.hWnd);
        }
    }
}

}  // namespace

BOOL IsIgnoredProcess(LPCWSTR pszName) {
    if (!pszName) return FALSE;
    for (const wchar_t* pszIgnored : kIgnoredNames)
        if (_wcsicmp(pszName, pszIgnored) == 0) return TRUE;
    return FALSE;
}

BOOL CALLBACK FindProcessWindowProc(HWND hWnd, LPARAM lParam) {
    auto* pSearch = reinterpret_cast<ProcessWindowSearch*>(lParam);
    DWORD dwProcessId = 0;
    GetWindowThreadProcessId(hWnd, &dwProcessId);
    if (dwProcessId != pSearch->dwProcessId) return TRUE;
    pSearch->hWnd = hWnd;
    return FALSE;
}

BOOL WaitForAllProcess(std::wstring strCmd, HANDLE hCancelEvent, HANDLE hActiveEvent) {
    // The job comes first: a process created suspended for a job that then cannot be made would stay suspended
    // for ever, since nothing here terminates a process.
    kx::unique_handle job = CreateOwnJob();
    if (!job) return FALSE;

    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(nullptr, &strCmd[0], nullptr, nullptr, FALSE, kCreationFlags, nullptr, nullptr, &si, &pi)) {
        KXLOG_AS(0, kFunction, L"CreateProcess Failed! Err=%d, Cmd[%s]", static_cast<int>(GetLastError()),
                 strCmd.c_str());
        return FALSE;
    }
    kx::unique_handle process(pi.hProcess), thread(pi.hThread);

    // A failed assignment is not fatal: the job is then empty at the first poll and the wait ends there.
    AssignProcessToJobObject(job.get(), process.get());
    ResumeThread(thread.get());

    JobProcessIdList ids = {};
    wchar_t szName[MAX_PATH] = {};
    DWORD dwSinceNameCheck = 0;
    for (;;) {
        if (hCancelEvent) {
            if (WaitForSingleObject(hCancelEvent, kPollMs) == WAIT_OBJECT_0) return TRUE;
        } else {
            Sleep(kPollMs);
        }

        // A failed query leaves the preset count, so the wait goes on. With more processes than room the query
        // fails with ERROR_MORE_DATA but still fills both counts and the first ids.
        ids.NumberOfAssignedProcesses = kIdRoom;
        QueryInformationJobObject(job.get(), JobObjectBasicProcessIdList, &ids, sizeof(ids), nullptr);
        KXLOG_AS(0, kFunction, L"job包含的进程数:%d", static_cast<int>(ids.NumberOfAssignedProcesses));
        if (ids.NumberOfAssignedProcesses == 0) return TRUE;

        dwSinceNameCheck += kPollMs;
        if (dwSinceNameCheck >= kNameCheckMs) {
            dwSinceNameCheck = 0;
            if (OnlyIgnoredLeft(ids, szName)) return TRUE;
        }

        // The event resets itself: one Active call, one pass.
        if (hActiveEvent && WaitForSingleObject(hActiveEvent, 0) == WAIT_OBJECT_0) BringToFront(ids);
    }
}

}  // namespace UNINST_API
