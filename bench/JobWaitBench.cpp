// How long WaitForAllProcess takes to notice that the last process of its job has ended: the uninstaller (this
// program in its child mode) stamps the time just before it exits, and the wait's return is stamped when it
// comes back. Baseline in the same run: the same child waited for directly on its process handle, which is the
// least any waiter can see under this platform. The poll interval the wait is built on is 100 ms.
//   jobwait_bench.exe [RUNS]          (default 20)
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "JobWait.h"
#include "KxLog.h"
#include "ScopedHandle.h"

namespace {

const wchar_t kJobName[] = L"KxUninst.WaitForAllProcess";
constexpr double kPollMs = 100.0;

double Frequency() {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return static_cast<double>(f.QuadPart);
}

LONGLONG Now() {
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return t.QuadPart;
}

// The child: sleeps, stamps the time into the named mapping and exits.
int Child(DWORD dwDelayMs, const wchar_t* pszMapping) {
    Sleep(dwDelayMs);
    kx::unique_handle mapping(OpenFileMappingW(FILE_MAP_WRITE, FALSE, pszMapping));
    if (!mapping) return 2;
    auto* pStamp = static_cast<volatile LONGLONG*>(MapViewOfFile(mapping.get(), FILE_MAP_WRITE, 0, 0, sizeof(LONGLONG)));
    if (!pStamp) return 3;
    *pStamp = Now();
    UnmapViewOfFile(const_cast<LONGLONG*>(pStamp));
    return 0;
}

std::wstring SelfPath() {
    wchar_t szExe[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, szExe, MAX_PATH);
    return szExe;
}

// A job that has just emptied keeps its name for a moment under Wine; each run starts with the name free, as an
// uninstall normally does.
void WaitForFreeName() {
    for (DWORD start = GetTickCount(); GetTickCount() - start < 3000; Sleep(20))
        if (!kx::unique_handle(OpenJobObjectW(JOB_OBJECT_QUERY, FALSE, kJobName))) return;
}

struct Stats {
    double min, median, p95, max;
};

// p95 by nearest rank.
Stats Summarize(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    size_t n = v.size();
    size_t rank95 = (n * 95 + 99) / 100;
    return {v.front(), n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2, v[rank95 - 1], v.back()};
}

void Print(const char* name, const Stats& s) {
    printf("%-8s min %6.1f  median %6.1f  p95 %6.1f  max %6.1f ms\n", name, s.min, s.median, s.p95, s.max);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc >= 4 && wcscmp(argv[1], L"--child") == 0) return Child(wcstoul(argv[2], nullptr, 10), argv[3]);
    int nRuns = argc >= 2 ? _wtoi(argv[1]) : 20;
    if (nRuns < 1) nRuns = 20;

    CKxLog::Instance().Open();  // the wait logs every poll, as it does inside the component
    const double ticksPerMs = Frequency() / 1000.0;
    std::wstring strMapping = L"Local\\KxJobWaitBench." + std::to_wstring(GetCurrentProcessId());
    kx::unique_handle mapping(
        CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(LONGLONG), strMapping.c_str()));
    auto* pStamp = mapping ? static_cast<volatile LONGLONG*>(MapViewOfFile(mapping.get(), FILE_MAP_ALL_ACCESS, 0, 0, 0))
                           : nullptr;
    kx::unique_handle cancel(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!pStamp || !cancel) {
        fprintf(stderr, "setup failed: %lu\n", GetLastError());
        return 1;
    }

    std::vector<double> direct, jobwait;
    printf("%d runs; the child ends 150 to 249 ms after it starts\n", nRuns);
    for (int i = 0; i < nRuns; ++i) {
        // Delays spread over one poll interval, so the child's end falls at every phase of the poll.
        std::wstring cmd = L"\"" + SelfPath() + L"\" --child " + std::to_wstring(150 + (i * 37) % 100) + L" " + strMapping;

        *pStamp = 0;
        STARTUPINFOW si = {};
        si.cb = sizeof(si);
        PROCESS_INFORMATION pi = {};
        std::wstring line = cmd;
        if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return 1;
        kx::unique_handle process(pi.hProcess), thread(pi.hThread);
        WaitForSingleObject(process.get(), INFINITE);
        LONGLONG end = Now();
        if (!*pStamp) return 1;
        direct.push_back((end - *pStamp) / ticksPerMs);
        process.reset();
        thread.reset();

        WaitForFreeName();
        *pStamp = 0;
        if (!UNINST_API::WaitForAllProcess(cmd, cancel.get(), nullptr)) return 1;
        end = Now();
        if (!*pStamp) return 1;
        jobwait.push_back((end - *pStamp) / ticksPerMs);
        printf("run %2d: direct %6.1f ms   jobwait %6.1f ms\n", i + 1, direct.back(), jobwait.back());
        WaitForFreeName();
    }
    UnmapViewOfFile(const_cast<LONGLONG*>(pStamp));

    Stats d = Summarize(direct), j = Summarize(jobwait);
    Print("direct", d);
    Print("jobwait", j);
    printf("poll interval %.0f ms; jobwait p95 = %.2f polls, %.1f ms above the direct wait's p95\n", kPollMs,
           j.p95 / kPollMs, j.p95 - d.p95);
    printf("jobwait latency p95: %.0f ms\n", j.p95);
    return 0;
}
