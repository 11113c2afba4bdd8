// The forced sweep of a large program's leftovers beside a floor measured in the same run. The program left
// 2,000 files in 20 folders below C:\KxSweepBench\App and 200 MUICache values naming them; the real scan lists
// them, and the component's sweep task (with its guard and a fresh look at the installed programs) removes the
// files and the values the host chose. The floor: the same shell deletion requests issued directly for the same
// texts, and the same SHDeleteValueW deletions. Each phase starts from a fresh tree and a Recycle Bin without
// the benchmark's earlier files; the phases alternate their order from round to round.
//   sweep_bench.exe [ROUNDS]          (default 5; medians are printed)
#include <windows.h>
#include <shellapi.h>
#include <shlwapi.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "BenchClock.h"
#include "Dustman.h"
#include "KxLog.h"
#include "KxUninstAPI.h"
#include "KxUninstMgr.h"
#include "PowerSweepItem.h"
#include "RegKey.h"
#include "ScopedHandle.h"
#include "SoftItem.h"
#include "kxtest/FakeDataMgr.h"
#include "kxtest/SandboxedPrefix.h"

namespace {

const std::wstring kRoot = L"C:\\KxSweepBench";
const std::wstring kApp = kRoot + L"\\App\\";
const wchar_t kKey[] = L"KxSweepBenchApp";
// Every name the benchmark puts into the Recycle Bin starts with it.
const wchar_t kStem[] = L"kxsweepbench";
constexpr int kFolders = 20, kFilesPerFolder = 100, kValues = 200;
constexpr UINT kSoftId = 1;

using kxbench::Ms;
using kxbench::Now;

// Below HKEY_USERS: the current user's MUICache, one of the places the scan reads value names in.
std::wstring MuiCacheKey() { return GetAccountSidString(true) + dust::kMuiCachePath; }

std::wstring FilePath(int d, int f) {
    wchar_t sz[64];
    _snwprintf(sz, 64, L"d%02d\\%ls%04d.dat", d, kStem, d * kFilesPerFolder + f);
    return kApp + sz;
}

void Generate() {
    CreateDirectoryW(kRoot.c_str(), nullptr);
    CreateDirectoryW(kApp.c_str(), nullptr);
    // Keeps C:\KxSweepBench from being an enclosing folder the program alone kept.
    kx::unique_hfile marker(CreateFileW((kRoot + L"\\ready.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    for (int d = 0; d < kFolders; ++d) {
        CreateDirectoryW((kApp + L"d" + (d < 10 ? L"0" : L"") + std::to_wstring(d)).c_str(), nullptr);
        for (int f = 0; f < kFilesPerFolder; ++f) {
            kx::unique_hfile file(CreateFileW(FilePath(d, f).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
            DWORD written = 0;
            WriteFile(file.get(), "left behind", 11, &written, nullptr);
        }
    }
    HKEY hKey = nullptr;
    if (RegCreateKeyExW(HKEY_USERS, MuiCacheKey().c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &hKey, nullptr) != ERROR_SUCCESS)
        return;
    kx::unique_hkey key(hKey);
    const wchar_t data[] = L"KxSweepBench tool";
    for (int v = 0; v < kValues; ++v) {
        const std::wstring name = kApp + L"tool" + std::to_wstring(v) + L".exe";
        RegSetValueExW(key.get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data), sizeof(data));
    }
}

// The benchmark's earlier files in the prefix's Recycle Bin (the trash of the home the harness gave it), so
// that every phase finds the same names there: none.
void EmptyBenchTrash() {
    wchar_t sz[MAX_PATH] = {};
    if (!GetEnvironmentVariableW(L"XDG_DATA_HOME", sz, MAX_PATH) || sz[0] != L'/') return;
    std::wstring trash = L"Z:" + std::wstring(sz) + L"/Trash";
    std::replace(trash.begin(), trash.end(), L'/', L'\\');
    for (const wchar_t* sub : {L"\\files\\", L"\\info\\"}) {
        const std::wstring folder = trash + sub;
        WIN32_FIND_DATAW fd;
        kx::unique_hfind find(FindFirstFileW((folder + kStem + L"*").c_str(), &fd));
        if (!find) continue;
        do {
            if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileW((folder + fd.cFileName).c_str());
        } while (FindNextFileW(find.get(), &fd));
    }
}

void Prepare() {
    EmptyBenchTrash();
    Generate();
}

size_t FilesLeft() {
    size_t n = 0;
    for (int d = 0; d < kFolders; ++d)
        for (int f = 0; f < kFilesPerFolder; ++f) n += GetFileAttributesW(FilePath(d, f).c_str()) != INVALID_FILE_ATTRIBUTES;
    return n;
}

size_t ValuesLeft() {
    kx::CRegKey key(HKEY_USERS, MuiCacheKey());
    size_t n = 0;
    kx::RegValueText value;
    for (DWORD i = 0, c = key.ValueCount(); i < c; ++i)
        n += key.ValueAt(i, value) && StrStrIW(value.strName.c_str(), kApp.c_str()) != nullptr;
    return n;
}

class BenchMgr : public CKxUninstMgr {
public:
    HRESULT STDMETHODCALLTYPE Notify(WPARAM wParam, LPARAM lParam) override {
        if (wParam == MAKEWPARAM(ACT_PROGRESS, LIST_SWEEP)) lastPercent = lParam;
        return S_OK;
    }
    LPARAM lastPercent = -1;
};

// The leftover list as the uninstall task keeps it: the scan's records and the guard's context of that scan.
struct Leftovers {
    std::vector<CPowerSweepItem*> records;
    DustGuardContext origin;
    std::vector<UINT> ids;            // the host's choice: every file and every registry value
    std::vector<std::wstring> files;  // their texts, in the same order
    std::vector<std::wstring> values;
};

bool Scan(Leftovers& out) {
    CDustman dust(kKey, kApp.c_str(), nullptr);
    dust.Parse();
    dust.ToSweepList(out.records);
    if (!dust.GuardContext()) return false;
    out.origin = *dust.GuardContext();
    for (const CPowerSweepItem* p : out.records) {
        if (p->Id == 0) continue;
        if (p->Kind == CPowerSweepItem::KIND_FILE) out.files.push_back(p->Path);
        else if (p->Kind == CPowerSweepItem::KIND_REGISTRY) out.values.push_back(p->Path);
        else continue;
        out.ids.push_back(p->Id);
    }
    return out.files.size() == static_cast<size_t>(kFolders * kFilesPerFolder) && out.values.size() == kValues;
}

double Sweep(Leftovers& left, LPARAM& lastPercent) {
    kxtest::FakeDataMgr data;
    BenchMgr mgr;
    mgr.m_pDataMgr.reset(&data);
    mgr.m_hStopEvent.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    auto* pSoft = new CSoftItem;
    pSoft->Id = kSoftId;
    mgr.m_vecSoft.push_back(pSoft);
    mgr.m_vecSweep = std::move(left.records);
    left.records.clear();
    mgr.m_leftoverOrigin = left.origin;
    mgr.m_vecSweepId = left.ids;
    const LONGLONG a = Now();
    mgr.TaskPowerSweep(kSoftId);
    const double ms = Ms(Now() - a);
    lastPercent = mgr.lastPercent;
    (void)mgr.m_pDataMgr.detach();
    return ms;
}

// The least the same work can cost: one shell request per file, one value deletion per value.
double Floor(const Leftovers& left) {
    const LONGLONG a = Now();
    // The sweep's own shell request without the guard around it: one FO_DELETE of 0x0454 per file.
    for (const std::wstring& path : left.files) CDustman::ShellDelete(path.c_str());
    for (const std::wstring& text : left.values) {
        HKEY hRoot = nullptr;
        std::wstring rest;
        if (!kx::SplitKeyText(text, hRoot, rest)) continue;
        const size_t p = rest.find(L"\\\\");
        SHDeleteValueW(hRoot, rest.substr(0, p).c_str(), rest.substr(p + 2).c_str());
    }
    return Ms(Now() - a);
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// What the sweep does beyond the floor's requests, each part timed on its own over a fresh tree.
void Profile(double floorMs) {
    Prepare();
    Leftovers left;
    if (!Scan(left)) return;
    LONGLONG a = Now();
    DustGuardContext ctx = MakeDustGuardContext(left.origin.strKey.c_str(), left.origin.strFolder.c_str(), nullptr);
    const double context = Ms(Now() - a);
    a = Now();
    InsideMap installed;
    ListInstalledPrograms(installed, nullptr);
    const double programs = Ms(Now() - a);
    a = Now();
    size_t refused = 0;
    for (const std::wstring& path : left.files) refused += DustGuardRefusal(path, DustKind::File, ctx) != nullptr;
    const double guardFiles = Ms(Now() - a);
    a = Now();
    for (const std::wstring& text : left.values) refused += DustGuardRefusal(text, DustKind::Reg, ctx) != nullptr;
    const double guardValues = Ms(Now() - a);
    // Of the file guard: the open of each file for its final path.
    a = Now();
    for (const std::wstring& path : left.files) {
        kx::unique_hfile h(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        wchar_t szFinal[MAX_PATH + 8];
        GetFinalPathNameByHandleW(h.get(), szFinal, MAX_PATH + 8, VOLUME_NAME_DOS);
    }
    const double finalPaths = Ms(Now() - a);
    // The guard's other looks at each file: its full path, its attributes, its long form.
    double calls[3] = {};
    for (const std::wstring& path : left.files) {
        wchar_t sz[MAX_PATH];
        LONGLONG b = Now();
        GetFullPathNameW(path.c_str(), MAX_PATH, sz, nullptr);
        LONGLONG c = Now();
        GetFileAttributesW(path.c_str());
        LONGLONG d = Now();
        GetLongPathNameW(path.c_str(), sz, MAX_PATH);
        LONGLONG e = Now();
        calls[0] += Ms(c - b), calls[1] += Ms(d - c), calls[2] += Ms(e - d);
    }
    // The sweep's own looks at each file around its shell request: is it a folder, is it still there.
    a = Now();
    for (const std::wstring& path : left.files) {
        PathIsDirectoryW(path.c_str());
        GetFileAttributesW(path.c_str());
    }
    const double looks = Ms(Now() - a);
    // Finding each chosen record in the leftover list and taking it out.
    std::vector<CPowerSweepItem*> records = left.records;
    a = Now();
    for (UINT id : left.ids) {
        auto it = std::find_if(records.begin(), records.end(), [id](const CPowerSweepItem* p) { return p->Id == id; });
        if (it != records.end()) records.erase(it);
    }
    const double find = Ms(Now() - a);
    // The stop test the sweep makes before every chosen entry.
    kx::unique_handle stop(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    a = Now();
    for (size_t i = 0; i < left.ids.size(); ++i) WaitForSingleObject(stop.get(), 0);
    const double stopTests = Ms(Now() - a);
    // The sweep's deletion of a file beside the bare shell request, file by file in turn, so that both see the
    // same load: the even files through the sweep's own operation, the odd ones directly.
    CDustman dust(nullptr, nullptr, nullptr);
    dust.SetGuardContext(ctx);
    double through[2] = {};
    for (size_t i = 0; i < left.files.size(); ++i) {
        const LONGLONG b = Now();
        if (i % 2 == 0)
            dust.DeleteFileDust(left.files[i]);
        else
            CDustman::ShellDelete(left.files[i].c_str());
        through[i % 2] += Ms(Now() - b);
    }
    DeleteAll(left.records);
    Floor(left);
    wprintf(L"where the sweep's time beyond the floor goes (each part timed alone, %.0f ms floor):\n", floorMs);
    wprintf(L"  guard context: %.1f ms, of which the fresh look at the %u installed programs %.1f ms\n", context,
            static_cast<unsigned>(installed.size()), programs);
    wprintf(L"  guard on %u file texts: %.1f ms (%.3f ms each), of which the final-path open %.1f ms\n",
            static_cast<unsigned>(left.files.size()), guardFiles, guardFiles / left.files.size(), finalPaths);
    wprintf(L"    full path %.1f ms, attributes %.1f ms, long form %.1f ms\n", calls[0], calls[1], calls[2]);
    wprintf(L"  guard on %u registry texts: %.1f ms\n", static_cast<unsigned>(left.values.size()), guardValues);
    wprintf(L"  folder and existence looks around each file's request: %.1f ms\n", looks);
    wprintf(L"  finding and taking out the chosen records: %.1f ms\n", find);
    wprintf(L"  stop test before each of the %u entries: %.1f ms\n", static_cast<unsigned>(left.ids.size()), stopTests);
    wprintf(L"  file by file in turn: the sweep's deletion %.3f ms each, the bare shell request %.3f ms each (%.2f)\n",
            through[0] / ((left.files.size() + 1) / 2), through[1] / (left.files.size() / 2), through[0] / through[1]);
    if (refused) wprintf(L"  (the guard refused %u texts)\n", static_cast<unsigned>(refused));
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (!kxtest::RequireSandboxedPrefix()) return 3;
    const int nRounds = argc > 1 ? std::max(1, _wtoi(argv[1])) : 5;
    CKxLog::Instance().Open();
    CoInitialize(nullptr);
    std::vector<double> sweeps, floors;
    for (int r = 0; r < nRounds; ++r) {
        double sweep = 0, floor = 0;
        size_t filesLeft = 0, valuesLeft = 0, floorFilesLeft = 0, floorValuesLeft = 0;
        LPARAM percent = -1;
        for (int phase = 0; phase < 2; ++phase) {
            const bool bSweep = (phase == 0) == (r % 2 == 0);
            Prepare();
            Leftovers left;
            if (!Scan(left)) {
                fwprintf(stderr, L"the scan listed %u files and %u registry values, not %d and %d\n",
                         static_cast<unsigned>(left.files.size()), static_cast<unsigned>(left.values.size()),
                         kFolders * kFilesPerFolder, kValues);
                return 1;
            }
            if (bSweep) {
                sweep = Sweep(left, percent);
                filesLeft = FilesLeft();
                valuesLeft = ValuesLeft();
            } else {
                floor = Floor(left);
                floorFilesLeft = FilesLeft();
                floorValuesLeft = ValuesLeft();
            }
            DeleteAll(left.records);
        }
        if (filesLeft || valuesLeft || floorFilesLeft || floorValuesLeft || percent != 100) {
            fwprintf(stderr, L"round %d: the sweep left %u files and %u values (last progress %d), the floor %u and %u\n",
                     r + 1, static_cast<unsigned>(filesLeft), static_cast<unsigned>(valuesLeft), static_cast<int>(percent),
                     static_cast<unsigned>(floorFilesLeft), static_cast<unsigned>(floorValuesLeft));
            return 1;
        }
        sweeps.push_back(sweep);
        floors.push_back(floor);
        wprintf(L"round %d (%ls first): sweep %.0f ms, floor %.0f ms, ratio %.2f\n", r + 1,
                r % 2 == 0 ? L"sweep" : L"floor", sweep, floor, sweep / floor);
    }
    const double sweep = Median(sweeps), floor = Median(floors);
    Profile(floor);
    EmptyBenchTrash();
    wprintf(L"sweep of %d files and %d registry values (median of %d): %.0f ms\n", kFolders * kFilesPerFolder, kValues,
            nRounds, sweep);
    wprintf(L"floor (median): %.0f ms\n", floor);
    wprintf(L"sweep/floor ratio: %.2f\n", sweep / floor);
    return 0;
}
