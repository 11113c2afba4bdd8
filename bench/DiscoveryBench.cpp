// Times discovery against a bare floor and against Wine's own uninstaller on the same machine, in one run.
//   discovery_bench.exe [rounds]
// Floor: the same Uninstall keys enumerated (each entry opened, its name read) and the same install folders
// walked with FindFirstFile, nothing else. Ends with "discovery/floor ratio: X.XX".
#include <windows.h>

#include <shlwapi.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "BenchClock.h"
#include "BenchFloor.h"
#include "KxUninstAPI.h"
#include "KxLog.h"
#include "KxUninstStartup.h"
#include "RegKey.h"
#include "ScopedHandle.h"

namespace {

using kxbench::NowMs;

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Wine's own "uninstaller --list" on the same prefix, output discarded.
double TimeWineUninstaller() {
    SECURITY_ATTRIBUTES sa = {sizeof(sa), nullptr, TRUE};
    kx::unique_hfile hNul(CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa, OPEN_EXISTING, 0, nullptr));
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = si.hStdError = hNul.get();
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION pi = {};
    wchar_t szCmd[] = L"uninstaller.exe --list";
    double start = NowMs();
    if (!CreateProcessW(nullptr, szCmd, nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) return -1;
    WaitForSingleObject(pi.hProcess, INFINITE);
    double ms = NowMs() - start;
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return ms;
}

// "profile" as second argument: where the time of one discovery pass goes, function by function.
void Profile(const InsideMap& map) {
    double parse = 0, derive = 0, icon = 0, scan = 0;
    for (const auto& entry : map) {
        UnItemInside item = *entry.second;
        std::wstring folder, file, argument;
        double t0 = NowMs();
        ParseCommandLine(item.UninstallString, folder, file, argument);
        double t1 = NowMs();
        item.InstallLocation.clear();
        DeriveInstallFolder(item);
        double t2 = NowMs();
        ResolveDisplayIcon(item);
        double t3 = NowMs();
        ScanInstallFolder(item.InstallLocation);
        double t4 = NowMs();
        parse += t1 - t0, derive += t2 - t1, icon += t3 - t2, scan += t4 - t3;
    }
    double isDir = 0, exists = 0, longFolder = 0, longFile = 0;
    for (const auto& entry : map) {
        std::wstring folder = entry.second->InstallLocation, file = folder + L"uninst.exe";
        wchar_t sz[MAX_PATH];
        double t0 = NowMs();
        PathIsDirectoryW(folder.c_str());
        double t1 = NowMs();
        PathFileExistsW(file.c_str());
        double t2 = NowMs();
        GetLongPathNameW(folder.c_str(), sz, MAX_PATH);
        double t3 = NowMs();
        GetLongPathNameW(L"uninst.exe", sz, MAX_PATH);
        double t4 = NowMs();
        isDir += t1 - t0, exists += t2 - t1, longFolder += t3 - t2, longFile += t4 - t3;
    }
    wprintf(L"profile: PathIsDirectoryW %.1f ms, PathFileExistsW %.1f ms, GetLongPathNameW(folder) %.1f ms, "
            L"GetLongPathNameW(name) %.1f ms\n", isDir, exists, longFolder, longFile);
    wprintf(L"profile: ParseCommandLine %.1f ms, DeriveInstallFolder %.1f ms, ResolveDisplayIcon %.1f ms, "
            L"ScanInstallFolder %.1f ms\n", parse, derive, icon, scan);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    int rounds = argc > 1 ? _wtoi(argv[1]) : 3;
    if (rounds < 1) rounds = 1;
    // "nolog" as second argument: the log file stays closed, to see what the log lines cost.
    if (argc <= 2 || !wcsstr(argv[2], L"nolog")) KxUninstStartup(nullptr);

    // Warm-up: the first pass over 100,000 directory entries fills the caches both sides then share.
    InsideMap warm;
    CreateUnItemInside(warm, nullptr);
    if (argc > 2 && wcsstr(argv[2], L"profile")) Profile(warm);
    ULONGLONG nFiles = 0;
    size_t nEntries = kxbench::Floor(nFiles);

    // The same pass with the log file closed shows what the log lines cost (they are the logger's, not
    // discovery's: each one reopens the log file).
    CKxLog& log = CKxLog::Instance();
    const DWORD dwLogFlags = log.Flags();
    std::vector<double> discovery, quiet, floor, wine;
    size_t nRecords = warm.size();
    for (int r = 0; r < rounds; ++r) {
        double t0 = NowMs();
        kxbench::Floor(nFiles);
        double t1 = NowMs();
        InsideMap map;
        CreateUnItemInside(map, nullptr);
        double t2 = NowMs();
        nRecords = map.size();
        log.SetFlags(dwLogFlags & ~KXLOG_FILE);
        InsideMap quietMap;
        double t3 = NowMs();
        CreateUnItemInside(quietMap, nullptr);
        quiet.push_back(NowMs() - t3);
        log.SetFlags(dwLogFlags);
        floor.push_back(t1 - t0);
        discovery.push_back(t2 - t1);
        wine.push_back(TimeWineUninstaller());
    }
    double d = Median(discovery), q = Median(quiet), f = Median(floor), w = Median(wine);
    wprintf(L"entries %u, records %u, directory entries walked %I64u, rounds %d (medians)\n",
            static_cast<unsigned>(nEntries), static_cast<unsigned>(nRecords), nFiles, rounds);
    wprintf(L"floor (enumerate + FindFirstFile walk): %8.1f ms\n", f);
    wprintf(L"CreateUnItemInside:                     %8.1f ms\n", d);
    wprintf(L"CreateUnItemInside, log file closed:    %8.1f ms (ratio %.2f)\n", q, f > 0 ? q / f : 0.0);
    wprintf(L"wine uninstaller --list:                %8.1f ms\n", w);
    wprintf(L"discovery/wine ratio: %.2f\n", w > 0 ? d / w : 0.0);
    wprintf(L"discovery/floor ratio: %.2f\n", f > 0 ? d / f : 0.0);
    return 0;
}
