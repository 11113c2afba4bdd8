// Benchmark driver of the uninstallable list, one mode per run:
//   list_bench ready CACHEDIR [exit]  the host's view: Init, time until the soft list is ready (0x200001),
//                                     then Uninit (which saves the cache); "exit" leaves at once instead.
//   list_bench floor ROUNDS           the discovery benchmark's floor (Uninstall keys enumerated, install folders
//                                     walked), the median of ROUNDS runs after one that warms the caches.
//   list_bench fuzz TOTAL DIR         TOTAL mutated cache files loaded by child batches; a batch that dies
//                                     counts as a crash.
//   list_bench fuzz-batch SEED COUNT DIR   one batch (run by "fuzz").
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "BenchFloor.h"
#include "KxUninstMgr.h"
#include "KxUninstStartup.h"
#include "Serializer.h"
#include "SoftItem.h"
#include "kxtest/SandboxedPrefix.h"

namespace {

// ---- ready ----

LARGE_INTEGER g_freq, g_start;
double g_readyMs = -1;

double ElapsedMs() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return double(now.QuadPart - g_start.QuadPart) * 1000.0 / double(g_freq.QuadPart);
}

LRESULT CALLBACK HostProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_LISTMGR && wParam == 0x200001 && g_readyMs < 0) {
        g_readyMs = ElapsedMs();
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(hWnd, msg, wParam, lParam);
}

int Ready(const std::wstring& cacheDir, bool exitAtReady) {
    QueryPerformanceFrequency(&g_freq);
    KxUninstStartup(nullptr);
    WNDCLASSW wc = {};
    wc.lpfnWndProc = HostProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"KxListBenchHost";
    RegisterClassW(&wc);
    HWND hWnd = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);

    auto* mgr = new CKxUninstMgr();
    mgr->AddRef();
    BSTR dir = SysAllocString(cacheDir.c_str());
    mgr->SetCacheDir(dir);
    SysFreeString(dir);
    mgr->AddListener(hWnd, LIST_SOFT | LIST_CATEGORY);
    QueryPerformanceCounter(&g_start);
    mgr->Init();

    SetTimer(hWnd, 1, 600000, nullptr);  // a build that never ends
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == WM_TIMER) break;
        DispatchMessageW(&msg);
    }
    UINT size = 0;
    mgr->GetSize(LIST_SOFT, &size);
    printf("list-ready ms: %.1f items: %u\n", g_readyMs, size);
    fflush(stdout);
    if (exitAtReady) ExitProcess(g_readyMs < 0 ? 1 : 0);
    mgr->Uninit();
    mgr->Release();
    DestroyWindow(hWnd);
    return g_readyMs < 0 ? 1 : 0;
}

// ---- floor ----

int FloorMs(int rounds) {
    QueryPerformanceFrequency(&g_freq);
    ULONGLONG nFiles = 0;
    QueryPerformanceCounter(&g_start);
    kxbench::Floor(nFiles);
    const double first = ElapsedMs();
    std::vector<double> runs;
    for (int r = 0; r < std::max(1, rounds); ++r) {
        QueryPerformanceCounter(&g_start);
        kxbench::Floor(nFiles);
        runs.push_back(ElapsedMs());
    }
    std::sort(runs.begin(), runs.end());
    printf("floor ms: %.1f directory entries: %llu first run in the process: %.1f ms\n", runs[runs.size() / 2],
           static_cast<unsigned long long>(nFiles), first);
    return 0;
}

// ---- fuzz ----

using Bytes = std::vector<BYTE>;

void PutU32(Bytes& b, size_t at, UINT v) {
    if (at + 4 <= b.size()) memcpy(&b[at], &v, 4);
}

// A valid cache file of a few varied items.
Bytes SeedFile() {
    CSerializer w;
    const wchar_t* names[] = {L"Alpha", L"\u5FAE\u4FE1 \u5BA2\u6237\u7AEF", L"", L"Gamma Editor 2", L"Z"};
    for (int i = 0; i < 5; ++i) {
        CSoftItem item;
        item.Id = 100 + i;
        item.SoftId = L"5E2C1A90-0000-4000-8000-00000000000" + std::to_wstring(i);
        item.Name = names[i];
        item.Category = i % 2 ? L"\u5176\u4ED6" : L"Tools";
        item.Icon = L"C:\\Program Files\\App\\app.exe, 0";
        item.Folder = L"C:\\Program Files\\App\\";
        item.Time = L"2024-01-15";
        item.Size = 1234567 * (i + 1);
        item.Use = i % 4;
        item.Key = L"HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\App" + std::to_wstring(i);
        item.Serialize(w);
    }
    Bytes file(12);
    PutU32(file, 0, 7);
    PutU32(file, 4, 0x20);
    PutU32(file, 8, w.Length());
    file.insert(file.end(), w.Buffer(), w.Buffer() + w.Length());
    return file;
}

Bytes Mutate(const Bytes& seed, std::mt19937& rng) {
    Bytes b = seed;
    auto pick = [&](size_t n) { return n ? std::uniform_int_distribution<size_t>(0, n - 1)(rng) : 0; };
    const UINT interesting[] = {0, 1, 2, 3, 0x7F, 0x80, 0xFF, 0x100, 0xFFFF, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFE,
                                0xFFFFFFFF, static_cast<UINT>(seed.size()), static_cast<UINT>(seed.size() - 12),
                                static_cast<UINT>(seed.size() - 11)};
    int rounds = 1 + static_cast<int>(pick(4));
    for (int r = 0; r < rounds; ++r) {
        switch (pick(6)) {
        case 0:  // flip bytes
            for (size_t n = 1 + pick(8); n-- && !b.empty();) b[pick(b.size())] ^= static_cast<BYTE>(1 + pick(255));
            break;
        case 1:  // truncate
            b.resize(pick(b.size() + 1));
            break;
        case 2:  // an interesting number in the header (version kept mostly, so the payload is reached)
            PutU32(b, 4 * (1 + pick(2)), interesting[pick(sizeof(interesting) / sizeof(interesting[0]))]);
            break;
        case 3:  // an interesting number anywhere (text counts, lengths)
            if (b.size() >= 4) PutU32(b, pick(b.size() - 3), interesting[pick(sizeof(interesting) / sizeof(interesting[0]))]);
            break;
        case 4:  // insert random bytes
            b.insert(b.begin() + static_cast<std::ptrdiff_t>(pick(b.size() + 1)), 1 + pick(16), static_cast<BYTE>(pick(256)));
            break;
        default:  // delete a run
            if (!b.empty()) {
                size_t at = pick(b.size());
                b.erase(b.begin() + static_cast<std::ptrdiff_t>(at),
                        b.begin() + static_cast<std::ptrdiff_t>(std::min(b.size(), at + 1 + pick(32))));
            }
        }
    }
    if (pick(10) == 0) PutU32(b, 0, 8);  // now and then a rules version that does not match
    return b;
}

int FuzzBatch(unsigned seed, int count, const std::wstring& dir) {
    // The component's standard-output lines go nowhere; the result line goes to the real output.
    fflush(stdout);
    int saved = _dup(1);
    int nul = _wopen(L"NUL", _O_WRONLY);
    _dup2(nul, 1);

    std::mt19937 rng(seed);
    const Bytes base = SeedFile();
    const std::wstring path = dir + L"\\KxUninstall_32";
    BSTR bstr = SysAllocString(path.c_str());
    CKxUninstMgr* mgr = new CKxUninstMgr();
    int loaded = 0, rejected = 0, kept = 0;
    for (int i = 0; i < count; ++i) {
        Bytes b = Mutate(base, rng);
        HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        DWORD written = 0;
        if (!b.empty()) WriteFile(h, b.data(), static_cast<DWORD>(b.size()), &written, nullptr);
        CloseHandle(h);
        HRESULT hr = mgr->LoadFromDisk(0x20, 7, bstr);
        bool exists = GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
        if (hr == S_OK) {
            ++loaded;
        } else {
            ++rejected;
            if (exists) ++kept;
        }
        DeleteFileW(path.c_str());
        for (CSoftItem* p : mgr->m_vecSoft) delete p;
        mgr->m_vecSoft.clear();
    }
    delete mgr;
    SysFreeString(bstr);

    fflush(stdout);
    _dup2(saved, 1);
    printf("batch %u: %d files, %d loaded, %d rejected, %d rejected but not deleted\n", seed, count, loaded,
           rejected, kept);
    fflush(stdout);
    return kept ? 2 : 0;
}

int Fuzz(int total, const std::wstring& dir) {
    wchar_t exe[MAX_PATH];
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    const int batch = 1000;
    int files = 0, crashes = 0, undeleted = 0;
    for (int done = 0, n = 0; done < total; done += batch, ++n) {
        int count = std::min(batch, total - done);
        std::wstring cmd = L"\"" + std::wstring(exe) + L"\" fuzz-batch " + std::to_wstring(1000 + n) + L" " +
                           std::to_wstring(count) + L" \"" + dir + L"\"";
        STARTUPINFOW si = {sizeof(si)};
        PROCESS_INFORMATION pi = {};
        std::vector<wchar_t> line(cmd.begin(), cmd.end());
        line.push_back(0);
        fflush(stdout);
        if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) return 3;
        WaitForSingleObject(pi.hProcess, INFINITE);
        DWORD code = 1;
        GetExitCodeProcess(pi.hProcess, &code);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
        if (code == 0 || code == 2) {
            files += count;
            if (code == 2) ++undeleted;
        } else {
            ++crashes;
            printf("batch %d died with 0x%08lX\n", 1000 + n, static_cast<unsigned long>(code));
        }
    }
    if (undeleted) printf("batches with rejected files left behind: %d\n", undeleted);
    printf("cache fuzz: %d files, %d crashes\n", files, crashes);
    return crashes || undeleted ? 1 : 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    // Every mode deletes cache files (the component deletes a rejected one too).
    if (!kxtest::RequireSandboxedPrefix()) return 3;
    std::wstring mode = argc > 1 ? argv[1] : L"";
    if (mode == L"ready" && argc >= 3) return Ready(argv[2], argc >= 4 && std::wstring(argv[3]) == L"exit");
    if (mode == L"floor") return FloorMs(argc >= 3 ? _wtoi(argv[2]) : 3);
    if (mode == L"fuzz" && argc >= 4) return Fuzz(_wtoi(argv[2]), argv[3]);
    if (mode == L"fuzz-batch" && argc >= 5) return FuzzBatch(static_cast<unsigned>(_wtoi(argv[2])), _wtoi(argv[3]), argv[4]);
    fprintf(stderr, "usage: list_bench ready CACHEDIR [exit] | floor [ROUNDS] | fuzz TOTAL DIR\n");
    return 2;
}
