// The leftover scan of a large program beside a floor measured in the same run. The program: 20,000 files in
// 2,000 folders below C:\KxDustBench\App and a Start menu of 500 shortcuts into it (common programs, 50
// folders of 10). The floor: one FindFirstFile walk of the install tree and of the shortcut roots, one
// resolution of each shortcut, one enumeration of the registry places. The file tree stays for the next run;
// bench/dustman.sh removes the shortcuts, which every scan of the tests' prefix would walk.
//   dustman_bench.exe [ROUNDS]          (default 3; medians are printed)
#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <deque>
#include <string>
#include <vector>

#include "BenchClock.h"
#include "Dustman.h"
#include "KxLog.h"
#include "RegKey.h"
#include "ScopedHandle.h"

namespace {

const std::wstring kRoot = L"C:\\KxDustBench";
const std::wstring kApp = kRoot + L"\\App\\";
constexpr int kTop = 40, kSub = 49, kFilesPerFolder = 10, kLinkFolders = 50, kLinksPerFolder = 10;

using kxbench::Ms;
using kxbench::Now;

std::wstring Csidl(int n) {
    wchar_t sz[MAX_PATH] = {};
    SHGetSpecialFolderPathW(nullptr, sz, n, FALSE);
    return sz;
}
std::wstring LinkFolder() { return Csidl(CSIDL_COMMON_PROGRAMS) + L"\\KxDustBench"; }

void Touch(const std::wstring& path) {
    kx::unique_hfile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
}

bool MakeShortcut(const std::wstring& link, const std::wstring& target) {
    kx::com_ptr<IShellLinkW> shell;
    kx::com_ptr<IPersistFile> file;
    return SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, shell.put_void())) &&
           SUCCEEDED(shell->SetPath(target.c_str())) && SUCCEEDED(shell->QueryInterface(IID_IPersistFile, file.put_void())) &&
           SUCCEEDED(file->Save(link.c_str(), TRUE));
}

void GenerateShortcuts() {
    if (GetFileAttributesW(LinkFolder().c_str()) != INVALID_FILE_ATTRIBUTES) return;
    CreateDirectoryW(LinkFolder().c_str(), nullptr);
    for (int d = 0; d < kLinkFolders; ++d) {
        std::wstring folder = LinkFolder() + L"\\g" + std::to_wstring(d);
        CreateDirectoryW(folder.c_str(), nullptr);
        for (int l = 0; l < kLinksPerFolder; ++l)
            MakeShortcut(folder + L"\\l" + std::to_wstring(l) + L".lnk", kApp + L"d" + std::to_wstring(d % kTop) + L"\\f0.dat");
    }
}

void Generate() {
    GenerateShortcuts();
    const std::wstring marker = kRoot + L"\\ready.txt";
    if (GetFileAttributesW(marker.c_str()) != INVALID_FILE_ATTRIBUTES) return;
    CreateDirectoryW(kRoot.c_str(), nullptr);
    CreateDirectoryW(kApp.c_str(), nullptr);
    for (int t = 0; t < kTop; ++t) {
        std::wstring top = kApp + L"d" + std::to_wstring(t);
        CreateDirectoryW(top.c_str(), nullptr);
        for (int f = 0; f < kFilesPerFolder; ++f) Touch(top + L"\\f" + std::to_wstring(f) + L".dat");
        for (int s = 0; s < kSub; ++s) {
            std::wstring sub = top + L"\\s" + std::to_wstring(s);
            CreateDirectoryW(sub.c_str(), nullptr);
            for (int f = 0; f < kFilesPerFolder; ++f) Touch(sub + L"\\f" + std::to_wstring(f) + L".dat");
        }
    }
    Touch(marker);  // also keeps C:\KxDustBench from being an enclosing folder the program alone kept
}

// One FindFirstFile walk, breadth first; the .lnk files met are collected, and all files when asked.
size_t Walk(const std::wstring& root, std::vector<std::wstring>* pLinks, std::vector<std::wstring>* pFiles = nullptr) {
    size_t n = 0;
    std::deque<std::wstring> work{root};
    for (; !work.empty(); work.pop_front()) {
        WIN32_FIND_DATAW fd;
        std::wstring base = work.front();
        if (base.empty()) continue;
        if (base.back() != L'\\') base += L'\\';
        kx::unique_hfind find(FindFirstFileW((base + L"*.*").c_str(), &fd));
        if (!find) continue;
        do {
            if (fd.cFileName[0] == L'.' && (!fd.cFileName[1] || (fd.cFileName[1] == L'.' && !fd.cFileName[2]))) continue;
            ++n;
            std::wstring path = base + fd.cFileName;
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                work.push_back(path);
            else if (pFiles)
                pFiles->push_back(path);
            else if (pLinks && path.size() > 4 && _wcsicmp(path.c_str() + path.size() - 4, L".lnk") == 0)
                pLinks->push_back(path);
        } while (FindNextFileW(find.get(), &fd));
    }
    return n;
}

size_t ResolveAll(const std::vector<std::wstring>& links) {
    size_t n = 0;
    wchar_t szTarget[1024];
    for (const std::wstring& link : links) n += CDustman::ResolveShortcut(link.c_str(), szTarget) == 1;
    return n;
}

size_t EnumerateKey(HKEY hRoot, const std::wstring& path, bool bDescend) {
    kx::CRegKey key(hRoot, path);
    if (!key.IsOpen()) return 0;
    size_t n = 0;
    kx::RegValueText value;
    for (DWORD i = 0, c = key.ValueCount(); i < c; ++i) n += key.ValueAt(i, value);
    for (DWORD i = 0, c = key.SubKeyCount(); i < c; ++i) {
        std::wstring name = key.SubKeyName(i);
        ++n;
        if (bDescend && !name.empty()) n += EnumerateKey(hRoot, path + L"\\" + name, true);
    }
    return n;
}

struct Times {
    double scan, context, walk, resolve, registry;
    size_t findings;
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const int nRounds = argc > 1 ? std::max(1, _wtoi(argv[1])) : 3;
    CKxLog::Instance().Open();
    CoInitialize(nullptr);
    LONGLONG t0 = Now();
    Generate();
    wprintf(L"tree: %d folders, %d files, %d shortcuts (ready in %.0f ms)\n", kTop * (kSub + 1),
            kTop * (kSub + 1) * kFilesPerFolder, kLinkFolders * kLinksPerFolder, Ms(Now() - t0));

    std::vector<Times> rounds;
    std::vector<std::wstring> links;
    for (int r = 0; r < nRounds; ++r) {
        Times t = {};
        LONGLONG a = Now();
        DustGuardContext ctx = MakeDustGuardContext(L"KxDustBenchApp", kApp.c_str(), nullptr);
        t.context = Ms(Now() - a);
        a = Now();
        CDustman dust(L"KxDustBenchApp", kApp.c_str(), nullptr);
        dust.SetGuardContext(ctx);
        dust.Parse();
        t.scan = Ms(Now() - a) + t.context;
        t.findings = dust.GetDustCount();

        a = Now();
        links.clear();
        size_t entries = Walk(kApp, nullptr);
        for (int n : {0x02, 0x0B, 0x17, 0x16, 0x00, 0x07, 0x18}) entries += Walk(Csidl(n), &links);
        entries += Walk(Csidl(0x1A) + L"\\Microsoft\\Internet Explorer\\Quick Launch", &links);
        t.walk = Ms(Now() - a);
        std::sort(links.begin(), links.end());
        links.erase(std::unique(links.begin(), links.end(), [](const std::wstring& x, const std::wstring& y) {
                        return _wcsicmp(x.c_str(), y.c_str()) == 0;
                    }), links.end());
        a = Now();
        size_t resolved = ResolveAll(links);
        t.resolve = Ms(Now() - a);
        a = Now();
        size_t regs = 0;
        for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER})
            for (const wchar_t* path : {dust::kRunPath, dust::kUninstallPath, dust::kArpCachePath}) regs += EnumerateKey(root, path, false);
        regs += EnumerateKey(HKEY_CLASSES_ROOT, dust::kFolderShellPath, true);
        t.registry = Ms(Now() - a);
        rounds.push_back(t);
        wprintf(L"round %d: scan %.0f ms (guard context %.0f ms, %u findings); floor %.0f ms (walk %.0f ms of %u entries, "
                L"%u of %u shortcuts resolved in %.0f ms, %u registry entries in %.0f ms)\n",
                r + 1, t.scan, t.context, static_cast<unsigned>(t.findings), t.walk + t.resolve + t.registry, t.walk,
                static_cast<unsigned>(entries), static_cast<unsigned>(resolved), static_cast<unsigned>(links.size()),
                t.resolve, static_cast<unsigned>(regs), t.registry);
    }
    auto median = [&rounds](double Times::*field) {
        std::vector<double> v;
        for (const Times& t : rounds) v.push_back(t.*field);
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    // What the guard's look at each listed file's final path costs: Wine does not mark file links in listings.
    std::vector<std::wstring> files;
    Walk(kApp, nullptr, &files);
    LONGLONG b = Now();
    for (const std::wstring& file : files) {
        kx::unique_hfile h(CreateFileW(file.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        wchar_t szFinal[MAX_PATH + 8];
        GetFinalPathNameByHandleW(h.get(), szFinal, MAX_PATH + 8, VOLUME_NAME_DOS);
    }
    const double finalPaths = Ms(Now() - b);
    // What the second visit of each programs-folder shortcut would cost if it were resolved again.
    LONGLONG a = Now();
    ResolveAll(links);
    const double again = Ms(Now() - a);
    const double scan = median(&Times::scan);
    const double floor = median(&Times::walk) + median(&Times::resolve) + median(&Times::registry);
    wprintf(L"dustman scan (median of %d): %.0f ms, of which guard context %.0f ms\n", nRounds, scan, median(&Times::context));
    wprintf(L"floor (median): %.0f ms\n", floor);
    wprintf(L"second resolution of the %u programs-folder shortcuts (avoided: each link is resolved once per scan): "
            L"%.0f ms, %.2f ms each, %.2f of the floor\n",
            static_cast<unsigned>(links.size()), again, links.empty() ? 0.0 : again / links.size(), again / floor);
    wprintf(L"final path of each of the %u files (the file-link check under Wine only): %.0f ms; "
            L"scan without it %.0f ms, ratio %.2f\n",
            static_cast<unsigned>(files.size()), finalPaths, scan - finalPaths, (scan - finalPaths) / floor);
    wprintf(L"dustman/floor ratio: %.2f\n", scan / floor);
    return 0;
}
