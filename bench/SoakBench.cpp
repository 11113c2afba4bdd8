// Soak benchmark of KxUninst.dll through its exports and interfaces: CYCLES cycles of create, Init, list ready,
// Uninit and Release in one process. The object lives in the main thread's apartment; that thread's message
// loop serves the component's message window and issues the reads (GetSize, GetItemByIndex, Search) on a
// 10 ms timer and after every notification, so they meet the worker at every stage of its work.
//   soak_bench populate N DIR       N marked Uninstall entries (HKLM, HKCU, Wow6432Node), install folders in DIR
//   soak_bench remove               removes every entry populate wrote
//   soak_bench run CYCLES CACHEDIR  the soak; ends with "soak: N cycles, handles +X, threads +Y, 0 deadlocks"
// Every fifth cycle (the first included) starts without a cache file, so its list comes from discovery. The
// others get the list from the cache and then either wait for the rebuild's list as well or end the rebuild
// early, after a delay that walks through 0..249 ms. A deadlock is a cycle that does not reach a list or
// whose Uninit or Release does not return in time: a watchdog thread reports it and ends the process.
#include <windows.h>

#include <objbase.h>
#include <tlhelp32.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <string>
#include <vector>

#include "BenchClock.h"
#include "BenchHost.h"
#include "ListenerHost.h"

namespace {

const wchar_t kOwner[] = L"soak";
const int kColdEvery = 5;            // cycles 1, 6, 11, ... start without a cache
const int kWaitRebuildPhase = 3;     // cycles 3, 8, 13, ... wait for the rebuilt list too
const int kFirstFigures = 10;        // figures after warm-up
const DWORD kReadyBoundMs = 60000;   // a list, from the cache or from discovery
const DWORD kUninitBoundMs = 10000;  // Uninit waits 2 s for its worker, then ends it
const DWORD kReleaseBoundMs = 10000;
const DWORD kWorkerWaitMs = 2000;    // Uninit's own bound: reaching it means the worker was terminated
const UINT_PTR kReadTimer = 1;
const UINT kReadPeriodMs = 10;
const UINT kListenMask = LIST_SOFT | LIST_CATEGORY;
const WPARAM kSoftReady = (static_cast<WPARAM>(LIST_SOFT) << 16) | ACT_LIST_READY;

using kxbench::NowMs;

// ---- figures of the process ----------------------------------------------------------------------------------

struct Figures {
    int nHandles = 0;
    ULONG_PTR highestHandle = 0;
    int nThreads = 0;
    SIZE_T cbPrivate = 0;  // committed private pages (heaps, stacks, VirtualAlloc)
    SIZE_T cbShared = 0;   // committed image and mapped pages
    int nWindows = 0;
    int nModules = 0;
};

// Wine answers GetProcessHandleCount with 0: every handle value is probed instead. Handles are handed out
// from the bottom of the table, so the probe ends after a long run of invalid values above the highest valid
// one (the run is 16 times the largest gap seen at start, and at least 4096 values).
ULONG_PTR g_handleGap = 4096 * 4;

int CountHandles(ULONG_PTR& highest) {
    int n = 0;
    highest = 0;
    for (ULONG_PTR v = 4; v <= highest + g_handleGap; v += 4) {
        DWORD flags = 0;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(v), &flags)) {
            ++n;
            highest = v;
        }
    }
    return n;
}

// The largest run of invalid values between two valid handles, measured once up to a wide bound.
ULONG_PTR LargestHandleGap() {
    ULONG_PTR last = 0, gap = 0;
    for (ULONG_PTR v = 4; v <= 0x40000; v += 4) {
        DWORD flags = 0;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(v), &flags)) {
            gap = std::max(gap, v - last);
            last = v;
        }
    }
    return gap;
}

int CountThreads() {
    kx::unique_handle snap(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    if (!snap || snap.get() == INVALID_HANDLE_VALUE) return -1;
    THREADENTRY32 te = {sizeof(te)};
    int n = 0;
    for (BOOL ok = Thread32First(snap.get(), &te); ok; ok = Thread32Next(snap.get(), &te))
        if (te.th32OwnerProcessID == GetCurrentProcessId()) ++n;
    return n;
}

int CountModules() {
    kx::unique_handle snap(CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, 0));
    if (!snap || snap.get() == INVALID_HANDLE_VALUE) return -1;
    MODULEENTRY32W me = {sizeof(me)};
    int n = 0;
    for (BOOL ok = Module32FirstW(snap.get(), &me); ok; ok = Module32NextW(snap.get(), &me)) ++n;
    return n;
}

// PrivateUsage is 0 under Wine: the address space is walked instead.
void CountCommitted(SIZE_T& cbPrivate, SIZE_T& cbShared) {
    SYSTEM_INFO si;
    GetSystemInfo(&si);
    cbPrivate = cbShared = 0;
    auto* p = static_cast<BYTE*>(si.lpMinimumApplicationAddress);
    MEMORY_BASIC_INFORMATION mbi;
    while (p < si.lpMaximumApplicationAddress && VirtualQuery(p, &mbi, sizeof(mbi)) == sizeof(mbi)) {
        if (mbi.State == MEM_COMMIT) (mbi.Type == MEM_PRIVATE ? cbPrivate : cbShared) += mbi.RegionSize;
        p = static_cast<BYTE*>(mbi.BaseAddress) + mbi.RegionSize;
    }
}

BOOL CALLBACK CountWindow(HWND, LPARAM lParam) {
    ++*reinterpret_cast<int*>(lParam);
    return TRUE;
}

Figures TakeFigures() {
    Figures f;
    f.nThreads = CountThreads();
    f.nModules = CountModules();
    EnumThreadWindows(GetCurrentThreadId(), CountWindow, reinterpret_cast<LPARAM>(&f.nWindows));
    CountCommitted(f.cbPrivate, f.cbShared);
    f.nHandles = CountHandles(f.highestHandle);  // last: the snapshots above are closed by now
    return f;
}

void PrintFigures(int nCycle, const Figures& f) {
    printf("cycle %3d: handles %d (highest 0x%llx), threads %d, committed %llu KB private + %llu KB image/mapped, "
           "windows %d, modules %d\n",
           nCycle, f.nHandles, static_cast<unsigned long long>(f.highestHandle), f.nThreads,
           static_cast<unsigned long long>(f.cbPrivate / 1024), static_cast<unsigned long long>(f.cbShared / 1024),
           f.nWindows, f.nModules);
    fflush(stdout);
}

// ---- watchdog ----------------------------------------------------------------------------------------------------

// The host thread arms it before each step that must end; when a step overruns its bound the watchdog
// reports which cycle and step, and ends the process instead of letting the benchmark hang.
class CWatchdog {
public:
    CWatchdog() {
        m_hQuit.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        m_hThread.reset(CreateThread(nullptr, 0, ThreadProc, this, 0, nullptr));
    }
    ~CWatchdog() {
        SetEvent(m_hQuit.get());
        WaitForSingleObject(m_hThread.get(), INFINITE);
    }
    void Arm(int nCycle, const char* pszStep, DWORD dwBoundMs) {
        m_nCycle = nCycle;
        m_pszStep = pszStep;
        m_dwBoundMs = dwBoundMs;
        m_deadline = GetTickCount64() + dwBoundMs;
    }
    void Disarm() { m_deadline = 0; }
    ULONGLONG Deadline() const { return m_deadline; }

private:
    static DWORD WINAPI ThreadProc(void* p) {
        auto* self = static_cast<CWatchdog*>(p);
        while (WaitForSingleObject(self->m_hQuit.get(), 250) == WAIT_TIMEOUT) {
            ULONGLONG deadline = self->m_deadline;
            if (deadline == 0 || GetTickCount64() < deadline) continue;
            printf("deadlock: cycle %d did not %s within %lu ms\n", self->m_nCycle.load(), self->m_pszStep.load(),
                   self->m_dwBoundMs.load());
            printf("soak: %d cycles, 1 deadlock\n", self->m_nCycle.load() - 1);
            fflush(stdout);
            TerminateProcess(GetCurrentProcess(), 3);
        }
        return 0;
    }

    kx::unique_handle m_hQuit, m_hThread;
    std::atomic<ULONGLONG> m_deadline{0};
    std::atomic<int> m_nCycle{0};
    std::atomic<const char*> m_pszStep{""};
    std::atomic<DWORD> m_dwBoundMs{0};
};

// ---- the host's reads ----------------------------------------------------------------------------------------------

struct ReadStats {
    long nBursts = 0;
    long nBurstsBeforeList = 0;   // Init done, no list yet: the worker loads, reads the cache or discovers
    long nBurstsWhileRebuild = 0;  // a list shown, the rebuild still running
    long nRecords = 0, nPastEnd = 0, nOtherCodes = 0, nUndecodable = 0;
    long nSearches = 0, nSearchIds = 0, nSearchFailures = 0;
    long nSizeFailures = 0;
    double maxBurstMs = 0;
    long nSlowBursts = 0;  // over 100 ms: the host thread waited for the list lock
};

struct Cycle {
    IKxListMgr* pList = nullptr;
    bool bHadCache = false;
    int nReady = 0;
    int nMessages = 0;  // every WM_LISTMGR of the cycle
    WPARAM lastMessage = 0;
    double tInit = 0;
    double readyMs = 0;
    UINT nItemsAtReady = 0;
};

Cycle g_cycle;
bool g_bVerbose = false;  // a line per cycle (KX_SOAK_VERBOSE=1)
ReadStats g_reads;
std::vector<BYTE> g_buffer;

void ReadBurst() {
    IKxListMgr* pList = g_cycle.pList;
    if (!pList) return;
    const double t0 = NowMs();
    UINT nSoft = 0, nCategories = 0;
    if (pList->GetSize(LIST_SOFT, &nSoft) != 0 || pList->GetSize(LIST_CATEGORY, &nCategories) != 0)
        ++g_reads.nSizeFailures;
    // The first, the middle and the last record, and one past the end.
    const UINT indices[] = {0, nSoft / 2, nSoft ? nSoft - 1 : 0, nSoft};
    for (UINT nIndex : indices) {
        HRESULT code = kxbench::ReadSoftRecord(pList, nIndex, g_buffer);
        if (code == UNINST_ERR_INDEX) {
            ++g_reads.nPastEnd;
        } else if (code != 0) {
            ++g_reads.nOtherCodes;
        } else {
            ++g_reads.nRecords;
            kxbench::SoftFields fields;
            if (!kxbench::DecodeSoftRecord(g_buffer.data(), g_buffer.size(), fields)) ++g_reads.nUndecodable;
        }
    }
    std::vector<UINT> ids(nSoft + 16);
    UINT nIds = static_cast<UINT>(ids.size());
    BSTR text = SysAllocString(L"KxSoak");
    HRESULT hr = pList->Search(LIST_SOFT, 2, text, ids.data(), &nIds);
    SysFreeString(text);
    ++g_reads.nSearches;
    if (hr == S_OK)
        g_reads.nSearchIds += nIds;
    else if (hr != DISP_E_BUFFERTOOSMALL)  // the list grew between GetSize and Search
        ++g_reads.nSearchFailures;

    const double ms = NowMs() - t0;
    ++g_reads.nBursts;
    if (g_cycle.nReady == 0)
        ++g_reads.nBurstsBeforeList;
    else if (g_cycle.nReady == 1 && g_cycle.bHadCache)
        ++g_reads.nBurstsWhileRebuild;
    g_reads.maxBurstMs = std::max(g_reads.maxBurstMs, ms);
    if (ms > 100) ++g_reads.nSlowBursts;
}

LRESULT CALLBACK HostProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    if (uMsg == WM_LISTMGR) {
        ++g_cycle.nMessages;
        g_cycle.lastMessage = wParam;
        if (wParam == kSoftReady && g_cycle.pList) {
            if (++g_cycle.nReady == 1) {
                g_cycle.readyMs = NowMs() - g_cycle.tInit;
                g_cycle.pList->GetSize(LIST_SOFT, &g_cycle.nItemsAtReady);
            }
        }
        ReadBurst();
        return 0;
    }
    if (uMsg == WM_TIMER && wParam == kReadTimer) {
        // Armed again only when the reads are done: a burst slower than the period must not keep the queue
        // from ever running dry, or the loop would never look at anything else.
        KillTimer(hWnd, kReadTimer);
        ReadBurst();
        if (g_cycle.pList) SetTimer(hWnd, kReadTimer, kReadPeriodMs, nullptr);
        return 0;
    }
    return DefWindowProcW(hWnd, uMsg, wParam, lParam);
}

// ---- the cycles ------------------------------------------------------------------------------------------------------

struct CycleStats {
    int nCold = 0, nWaitedRebuild = 0, nEndedEarly = 0, nRejectedCaches = 0;
    std::vector<double> coldReadyMs, warmReadyMs;
    UINT nColdItemsMin = ~0u, nColdItemsMax = 0;
    double maxUninitMs = 0, maxReleaseMs = 0;
    int nTerminatedWorkers = 0;
    int nStillLocked = 0;  // DllCanUnloadNow said no after the last Release
    int nCreateFailures = 0;
};

double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

bool FileExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool RunCycle(int nCycle, const kxbench::CComponent& component, HWND hHost, const std::wstring& cacheDir,
              CWatchdog& watchdog, CycleStats& stats) {
    const std::wstring cacheFile = cacheDir + L"\\KxUninstall_32";
    const bool bCold = nCycle % kColdEvery == 1;
    if (bCold) DeleteFileW(cacheFile.c_str());
    const bool bHadCache = FileExists(cacheFile);

    kx::com_ptr<IKxUninstMgr> uninst;
    kx::com_ptr<IKxListMgr> list;
    watchdog.Arm(nCycle, "create the object", kReleaseBoundMs);
    if (!component.Create(uninst, list)) {
        ++stats.nCreateFailures;
        return false;
    }
    BSTR dir = SysAllocString(cacheDir.c_str());
    uninst->SetCacheDir(dir);
    SysFreeString(dir);
    list->AddListener(hHost, kListenMask);

    g_cycle = Cycle();
    g_cycle.pList = list.get();
    g_cycle.bHadCache = bHadCache;
    SetTimer(hHost, kReadTimer, kReadPeriodMs, nullptr);
    g_cycle.tInit = NowMs();
    watchdog.Arm(nCycle, "reach a list", kReadyBoundMs);
    uninst->Init();
    if (!kxhost::PumpUntil([] { return g_cycle.nReady >= 1; }, kReadyBoundMs - 1000)) {
        BOOL bLoaded = FALSE;
        UINT nSize = 0;
        list->IsLoaded(LIST_SOFT, &bLoaded);
        list->GetSize(LIST_SOFT, &nSize);
        printf("cycle %d: no list yet: %d notifications (last 0x%llx), IsLoaded %d, %u programs\n", nCycle,
               g_cycle.nMessages, static_cast<unsigned long long>(g_cycle.lastMessage), bLoaded, nSize);
        fflush(stdout);
        kxhost::PumpUntil([] { return g_cycle.nReady >= 1; }, kReadyBoundMs);
    }

    // A cache that was there and is gone now was rejected: the list came from discovery.
    const bool bFromCache = bHadCache && FileExists(cacheFile);
    if (bHadCache && !bFromCache) ++stats.nRejectedCaches;
    if (!bFromCache) {
        ++stats.nCold;
        stats.coldReadyMs.push_back(g_cycle.readyMs);
        stats.nColdItemsMin = std::min(stats.nColdItemsMin, g_cycle.nItemsAtReady);
        stats.nColdItemsMax = std::max(stats.nColdItemsMax, g_cycle.nItemsAtReady);
    } else {
        stats.warmReadyMs.push_back(g_cycle.readyMs);
        if (nCycle % kColdEvery == kWaitRebuildPhase) {
            ++stats.nWaitedRebuild;
            watchdog.Arm(nCycle, "reach the rebuilt list", kReadyBoundMs);
            kxhost::PumpUntil([] { return g_cycle.nReady >= 2; }, kReadyBoundMs * 2);
        } else {
            ++stats.nEndedEarly;
            kxhost::PumpFor(static_cast<DWORD>(nCycle * 37 % 250));
        }
    }
    KillTimer(hHost, kReadTimer);
    list->RemoveListener(hHost, kListenMask);

    watchdog.Arm(nCycle, "return from Uninit", kUninitBoundMs);
    double t0 = NowMs();
    uninst->Uninit();
    double ms = NowMs() - t0;
    stats.maxUninitMs = std::max(stats.maxUninitMs, ms);
    if (ms >= kWorkerWaitMs) ++stats.nTerminatedWorkers;

    g_cycle.pList = nullptr;
    watchdog.Arm(nCycle, "return from the last Release", kReleaseBoundMs);
    t0 = NowMs();
    list.reset();
    uninst.reset();
    stats.maxReleaseMs = std::max(stats.maxReleaseMs, NowMs() - t0);
    watchdog.Disarm();

    kxhost::PumpFor(0);  // late notifications to the host window
    if (component.CanUnloadNow() != S_OK) ++stats.nStillLocked;
    if (g_bVerbose) {
        printf("cycle %d: %s, list after %.0f ms (%u programs), %d lists, Uninit %.0f ms\n", nCycle,
               bCold ? "cold" : bFromCache ? "from the cache" : "cache rejected", g_cycle.readyMs, g_cycle.nItemsAtReady,
               g_cycle.nReady, ms);
        fflush(stdout);
    }
    return true;
}

int Run(int nCycles, const std::wstring& cacheDir) {
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 2;
    g_bVerbose = _wgetenv(L"KX_SOAK_VERBOSE") && _wgetenv(L"KX_SOAK_VERBOSE")[0] == L'1';
    kxbench::CComponent component;
    if (!component.Load()) return 2;

    WNDCLASSW wc = {};
    wc.lpfnWndProc = HostProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"KxSoakHost";
    RegisterClassW(&wc);
    HWND hHost = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    if (!hHost) return 2;

    CWatchdog watchdog;
    g_handleGap = std::max<ULONG_PTR>(4096, 16 * LargestHandleGap());
    printf("handle probe: values 4, 8, ... up to %llu past the highest valid handle\n",
           static_cast<unsigned long long>(g_handleGap));

    CycleStats stats;
    Figures first, last;
    const double tStart = NowMs();
    for (int c = 1; c <= nCycles; ++c) {
        if (!RunCycle(c, component, hHost, cacheDir, watchdog, stats)) {
            printf("cycle %d: the object could not be created\n", c);
            return 1;
        }
        if (c == kFirstFigures || c == nCycles || c % 100 == 0) {
            Figures f = TakeFigures();
            PrintFigures(c, f);
            if (c == kFirstFigures) first = f;
            last = f;
        }
    }
    const double totalS = (NowMs() - tStart) / 1000;

    printf("cycles: %d in %.0f s; %d with a list from discovery (ready after a median %.0f ms, %u to %u programs), "
           "%d from the cache (ready after a median %.0f ms; %d waited for the rebuild, %d ended it early); "
           "%d caches rejected\n",
           nCycles, totalS, stats.nCold, Median(stats.coldReadyMs), stats.nColdItemsMin == ~0u ? 0 : stats.nColdItemsMin,
           stats.nColdItemsMax, static_cast<int>(stats.warmReadyMs.size()), Median(stats.warmReadyMs),
           stats.nWaitedRebuild, stats.nEndedEarly, stats.nRejectedCaches);
    printf("Uninit: at most %.0f ms, %d workers terminated; last Release: at most %.1f ms; "
           "DllCanUnloadNow refused after %d cycles\n",
           stats.maxUninitMs, stats.nTerminatedWorkers, stats.maxReleaseMs, stats.nStillLocked);
    printf("host reads: %ld bursts (%ld before the first list, %ld while a rebuild ran), longest %.0f ms, "
           "%ld over 100 ms; records %ld read, %ld past the end, %ld other codes, %ld undecodable; "
           "%ld searches, %ld ids, %ld failed; %ld GetSize failures\n",
           g_reads.nBursts, g_reads.nBurstsBeforeList, g_reads.nBurstsWhileRebuild, g_reads.maxBurstMs,
           g_reads.nSlowBursts, g_reads.nRecords, g_reads.nPastEnd, g_reads.nOtherCodes, g_reads.nUndecodable,
           g_reads.nSearches, g_reads.nSearchIds, g_reads.nSearchFailures, g_reads.nSizeFailures);
    printf("from cycle %d to %d: handles %+d, threads %+d, committed private %+lld KB, image/mapped %+lld KB, "
           "windows %+d, modules %+d\n",
           kFirstFigures, nCycles, last.nHandles - first.nHandles, last.nThreads - first.nThreads,
           (static_cast<long long>(last.cbPrivate) - static_cast<long long>(first.cbPrivate)) / 1024,
           (static_cast<long long>(last.cbShared) - static_cast<long long>(first.cbShared)) / 1024,
           last.nWindows - first.nWindows, last.nModules - first.nModules);
    printf("soak: %d cycles, handles %+d, threads %+d, 0 deadlocks\n", nCycles, last.nHandles - first.nHandles,
           last.nThreads - first.nThreads);
    fflush(stdout);

    DestroyWindow(hHost);
    CoUninitialize();
    return 0;
}

// ---- the machine ---------------------------------------------------------------------------------------------------

int Populate(int n, const std::wstring& dir) {
    const int kFilesPerProgram = 20;
    int nWritten = 0, nFiles = 0;
    for (int i = 0; i < n; ++i) {
        wchar_t szIndex[8];
        swprintf(szIndex, 8, L"%04d", i);
        const std::wstring folder = dir + L"\\App" + szIndex;
        kx::unique_hkey key = kxbench::CreateMarkedEntry(kxbench::kUninstallRoots[i % 3], L"KxSoak" + std::wstring(szIndex), kOwner);
        if (!key) continue;
        kxbench::SetText(key.get(), L"DisplayName", L"KxSoak App " + std::wstring(szIndex));
        kxbench::SetText(key.get(), L"UninstallString", L"\"" + folder + L"\\uninst.exe\" /S");
        kxbench::SetText(key.get(), L"DisplayIcon", folder + L"\\app.exe,0");
        if (i % 2 == 0) kxbench::SetText(key.get(), L"InstallLocation", folder);
        if (i % 3 == 0) kxbench::SetDword(key.get(), L"EstimatedSize", 1000 + i);
        if (i % 4 == 0) kxbench::SetText(key.get(), L"InstallDate", L"20240115");
        ++nWritten;
        nFiles += kxbench::MakeFile(folder + L"\\uninst.exe") + kxbench::MakeFile(folder + L"\\app.exe");
        for (int f = 0; f < kFilesPerProgram - 2; ++f)
            nFiles += kxbench::MakeFile(folder + (f % 2 ? L"\\bin\\" : L"\\data\\") + L"file" + std::to_wstring(f) + L".dat");
    }
    printf("machine: %d programs (HKLM, HKCU, Wow6432Node), %d files in their folders\n", nWritten, nFiles);
    return nWritten == n ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring mode = argc > 1 ? argv[1] : L"";
    if (mode == L"populate" && argc >= 4) return Populate(_wtoi(argv[2]), argv[3]);
    if (mode == L"remove") {
        printf("removed %d entries\n", kxbench::RemoveMarkedEntries(kOwner));
        return 0;
    }
    if (mode == L"run" && argc >= 4) return Run(_wtoi(argv[2]), argv[3]);
    fprintf(stderr, "usage: soak_bench populate N DIR | remove | run CYCLES CACHEDIR\n");
    return 2;
}
