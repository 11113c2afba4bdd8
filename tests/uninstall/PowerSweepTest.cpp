// The forced sweep on real files, folders, shortcuts and registry entries in the sandboxed test prefix: what the
// host chose goes to the prefix's own Recycle Bin or out of the registry, nothing else is touched, and the progress,
// the leftover list and the program's state follow.
#include <gtest/gtest.h>

#include <windows.h>
#include <sddl.h>
#include <shlwapi.h>

#include <algorithm>

#include "PowerSweep.h"
#include "PowerSweepItem.h"
#include "ScopedHandle.h"
#include "SoftItem.h"
#include "kxtest/ChildProcess.h"
#include "kxtest/FakeDataMgr.h"
#include "kxtest/Log.h"
#include "kxtest/OpenLog.h"
#include "kxtest/RecordingMgr.h"
#include "kxtest/RegistryOverride.h"
#include "kxtest/TempDir.h"

namespace {

const wchar_t kScratch[] = L"Software\\KxSweepTest";
const UINT kSoftId = 300;

// Holds a file open without sharing until the test ends it.
KXTEST_CHILD_MODE(hold_file) {
    kx::unique_hfile file(CreateFileW(args.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file) return 2;
    Sleep(60000);
    return 0;
}

// The Recycle Bin of the prefix: the trash folder of the home the harness gave it.
bool InTrash(const std::wstring& strName) {
    wchar_t sz[MAX_PATH] = {};
    GetEnvironmentVariableW(L"XDG_DATA_HOME", sz, MAX_PATH);
    std::wstring unix = sz;
    std::replace(unix.begin(), unix.end(), L'/', L'\\');
    return kxtest::PathExists(L"Z:" + unix + L"\\Trash\\files\\" + strName);
}

// A volatile registry link HKCU\strLink to HKCU\strTarget, as the system makes them (the prefix's 32-bit view holds
// a few); false when it cannot be made.
bool MakeKeyLink(const std::wstring& strLink, const std::wstring& strTarget) {
    kx::unique_handle token;
    BYTE user[256];
    DWORD cb = 0;
    LPWSTR pszSid = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put()) ||
        !GetTokenInformation(token.get(), TokenUser, user, sizeof(user), &cb) ||
        !ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(user)->User.Sid, &pszSid))
        return false;
    const std::wstring target = std::wstring(L"\\Registry\\User\\") + pszSid + L"\\" + strTarget;
    LocalFree(pszSid);
    kx::unique_hkey link;
    return RegCreateKeyExW(HKEY_CURRENT_USER, strLink.c_str(), 0, nullptr, REG_OPTION_CREATE_LINK | REG_OPTION_VOLATILE,
                           KEY_ALL_ACCESS | KEY_CREATE_LINK, nullptr, link.put(), nullptr) == ERROR_SUCCESS &&
           RegSetValueExW(link.get(), L"SymbolicLinkValue", 0, REG_LINK, reinterpret_cast<const BYTE*>(target.data()),
                          static_cast<DWORD>(target.size() * sizeof(wchar_t))) == ERROR_SUCCESS;
}

// The link itself, never what it leads to.
void DeleteKeyLink(const std::wstring& strLink) {
    kx::unique_hkey link;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, strLink.c_str(), REG_OPTION_OPEN_LINK, DELETE, link.put()) == ERROR_SUCCESS)
        RegDeleteKeyW(link.get(), L"");
}

class PowerSweep : public testing::Test {
protected:
    void SetUp() override {
        mgr.m_pDataMgr.reset(&data);
        mgr.m_hStopEvent.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        auto* pItem = new CSoftItem;
        pItem->Id = kSoftId;
        mgr.m_vecSoft.push_back(pItem);
        app = dir / (L"KxSweepApp" + std::to_wstring(GetTickCount()));
        mgr.m_leftoverOrigin.strKey = L"KxSweepApp";
        mgr.m_leftoverOrigin.strFolder = app;
        kxtest::SetString(HKEY_CURRENT_USER, std::wstring(kScratch) + L"\\Run", L"tool", L"x");
        kxtest::SetString(HKEY_CURRENT_USER, std::wstring(kScratch) + L"\\Run", L"other", L"y");
        kxtest::SetString(HKEY_CURRENT_USER, std::wstring(kScratch) + L"\\App\\Sub", L"v", L"z");
    }
    void TearDown() override {
        (void)mgr.m_pDataMgr.detach();
        SHDeleteKeyW(HKEY_CURRENT_USER, kScratch);
    }

    // The leftover list as the scan builds it: the root, then per kind a head and its entries, whose ids are
    // their positions. Files and folders are made as they are listed.
    void Offer(const std::vector<std::pair<UINT, std::wstring>>& entries) {
        static const wchar_t* const kLabels[] = {L"全部", L"文件夹", L"文件", L"注册表", L"快捷方式"};
        auto add = [&](UINT kind, UINT id, UINT level, const std::wstring& path) {
            auto* p = new CPowerSweepItem;
            p->Kind = kind, p->Id = id, p->Level = level, p->Path = path;
            mgr.m_vecSweep.push_back(p);
        };
        add(0, 0, 0, kLabels[0]);
        UINT last = 0;
        for (const auto& e : entries) {
            if (e.first != last) add(e.first, 0, 1, kLabels[e.first]);
            last = e.first;
            add(e.first, static_cast<UINT>(mgr.m_vecSweep.size()), 2, e.second);
            if (e.first == CPowerSweepItem::KIND_FILE || e.first == CPowerSweepItem::KIND_SHORTCUT)
                kxtest::WriteFileBytes(e.second, "left behind");
            if (e.first == CPowerSweepItem::KIND_FOLDER) kxtest::MakeDirs(e.second);
        }
    }
    void Sweep(const std::vector<UINT>& ids) {
        mgr.notes.clear();
        mgr.m_vecSweepId = ids;
        mgr.TaskPowerSweep(kSoftId);
    }
    std::vector<LPARAM> Progress() const {
        std::vector<LPARAM> out;
        for (const auto& n : mgr.notes)
            if (n.first == MAKEWPARAM(ACT_PROGRESS, LIST_SWEEP)) out.push_back(n.second);
        return out;
    }
    std::vector<UINT> Ids() const {
        std::vector<UINT> out;
        for (const CPowerSweepItem* p : mgr.m_vecSweep) out.push_back(p->Id);
        return out;
    }
    bool Removed() const { return mgr.m_vecSoft.empty(); }
    void ExpectSweptAroundTheLink(const std::wstring& folder) {
        Offer({{CPowerSweepItem::KIND_FOLDER, folder + L"\\"}});
        kxtest::LogMark log;
        Sweep({2});
        EXPECT_TRUE(kxtest::PathExists(L"C:\\KxDustLinks\\Kept\\keep.txt"));
        EXPECT_TRUE(kxtest::PathExists(folder + L"\\sub\\dirlink"));
        EXPECT_FALSE(kxtest::PathExists(folder + L"\\data.txt"));
        EXPECT_FALSE(kxtest::PathExists(folder + L"\\sub\\more.txt"));
        EXPECT_TRUE(log.Has(L"guard: refused [" + folder + L"\\sub\\dirlink] (link)"));
        EXPECT_TRUE(Removed());
    }

    kxtest::TempDir dir;
    std::wstring app;
    kxtest::FakeDataMgr data;
    kxtest::RecordingMgr mgr;
};

// How many were chosen decides the percentages; the list is pruned just before 100; an id that is not listed
// still counts.
TEST_F(PowerSweep, ProgressAndPruning) {
    const struct {
        const char* label;
        std::vector<UINT> ids;
        std::vector<LPARAM> progress;
        std::vector<UINT> left;  // the ids of the records left, heads and root as 0
        bool removed;
    } cases[] = {
        {"all four", {2, 3, 5, 7}, {25, 50, 75, 100}, {}, true},
        {"the files of three kinds", {2, 3, 7}, {33, 66, 100}, {0, 0, 5}, false},
        {"an unknown id among them", {2, 99, 3}, {33, 66, 100}, {0, 0, 5, 0, 7}, false},
        {"none", {}, {}, {0, 0, 2, 3, 0, 5, 0, 7}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        DeleteAll(mgr.m_vecSweep);
        Offer({{CPowerSweepItem::KIND_FILE, app + L"\\a.dat"}, {CPowerSweepItem::KIND_FILE, app + L"\\b.dat"},
               {CPowerSweepItem::KIND_REGISTRY, L"HKEY_CURRENT_USER\\Software\\KxSweepTest\\Run\\\\tool"},
               {CPowerSweepItem::KIND_FOLDER, app}});
        Sweep(c.ids);
        EXPECT_EQ(Progress(), c.progress);
        EXPECT_EQ(Ids(), c.left);
        EXPECT_TRUE(mgr.m_vecSweepId.empty());
        EXPECT_EQ(Removed(), c.removed);
        if (c.removed) {
            EXPECT_EQ(data.states.back(), std::make_pair(kSoftId, 20u));
            EXPECT_EQ(mgr.notes.back(), std::make_pair(MAKEWPARAM(ACT_STATE_CHANGED, LIST_SOFT), LPARAM(kSoftId)));
            mgr.m_vecSoft.push_back(new CSoftItem);
            mgr.m_vecSoft.back()->Id = kSoftId;
        }
    }
}

// Files and shortcuts go to the prefix's Recycle Bin, a value text deletes that value only, a key text the key
// with its subkeys, and what was not chosen stays.
TEST_F(PowerSweep, DeletesWhatWasChosenAndNothingElse) {
    // Named for this run: the prefix's Recycle Bin keeps what earlier runs put there.
    const std::wstring tag = std::to_wstring(GetTickCount());
    const std::wstring chosen = L"chosen" + tag + L".dat", link = L"KxSweep" + tag + L".lnk";
    Offer({{CPowerSweepItem::KIND_FILE, app + L"\\" + chosen}, {CPowerSweepItem::KIND_FILE, app + L"\\kept.dat"},
           {CPowerSweepItem::KIND_REGISTRY, L"HKEY_CURRENT_USER\\Software\\KxSweepTest\\Run\\\\tool"},
           {CPowerSweepItem::KIND_REGISTRY, L"HKEY_CURRENT_USER\\Software\\KxSweepTest\\App"},
           {CPowerSweepItem::KIND_SHORTCUT, app + L"\\" + link}});
    Sweep({2, 5, 6, 8});
    EXPECT_FALSE(kxtest::PathExists(app + L"\\" + chosen));
    EXPECT_TRUE(InTrash(chosen));
    EXPECT_TRUE(kxtest::PathExists(app + L"\\kept.dat"));
    EXPECT_FALSE(kxtest::PathExists(app + L"\\" + link));
    EXPECT_TRUE(InTrash(link));
    EXPECT_EQ(kxtest::GetString(HKEY_CURRENT_USER, std::wstring(kScratch) + L"\\Run", L"tool"), L"");
    EXPECT_EQ(kxtest::GetString(HKEY_CURRENT_USER, std::wstring(kScratch) + L"\\Run", L"other"), L"y");
    EXPECT_FALSE(kxtest::KeyExists(HKEY_CURRENT_USER, std::wstring(kScratch) + L"\\App"));
    EXPECT_EQ(Ids(), (std::vector<UINT>{0, 0, 3}));
    EXPECT_FALSE(Removed());
}

// A folder goes with its content; one that the shell could not take keeps its files, and its empty subfolders
// go on their own.
TEST_F(PowerSweep, FolderWithItsContent) {
    kxtest::WriteFileBytes(app + L"\\sub\\deep\\x.txt", "x");
    Offer({{CPowerSweepItem::KIND_FOLDER, app + L"\\"}});
    Sweep({2});
    EXPECT_FALSE(kxtest::PathExists(app));
    EXPECT_TRUE(Removed());
}

// A leftover folder with a link to a folder below it is never handed to the shell whole: when the Recycle Bin
// cannot take a folder, the shell deletes it for good, and Wine's descends into such links. The folder's content
// goes around the link; the link, the folder on its way, and what it leads to stay.
TEST_F(PowerSweep, AFolderLinkBelowIsNeverFollowed) { ExpectSweptAroundTheLink(L"C:\\KxDustLinks\\Swept"); }

// T: lies on another file system than the prefix's trash (where the fixture can make one there): the shell would
// delete the folder for good.
TEST_F(PowerSweep, AFolderLinkBelowIsNeverFollowedWhereTheRecycleBinCannotTakeIt) {
    if (!kxtest::PathExists(L"T:\\Swept")) GTEST_SKIP() << "no drive on a file system of its own";
    ExpectSweptAroundTheLink(L"T:\\Swept");
}

// A leftover key with a registry link below it is kept whole: deleting the tree would follow the link and empty
// the key it leads to.
TEST_F(PowerSweep, AKeyWithALinkBelowIsKept) {
    const std::wstring app = std::wstring(kScratch) + L"\\App", victim = std::wstring(kScratch) + L"\\Victim";
    kxtest::SetString(HKEY_CURRENT_USER, victim + L"\\Sub", L"keep", L"1");
    ASSERT_TRUE(MakeKeyLink(app + L"\\Linked", victim));
    const std::wstring text = L"HKEY_CURRENT_USER\\" + app;
    Offer({{CPowerSweepItem::KIND_REGISTRY, text}});
    kxtest::LogMark log;
    Sweep({2});
    DeleteKeyLink(app + L"\\Linked");
    EXPECT_EQ(kxtest::GetString(HKEY_CURRENT_USER, victim + L"\\Sub", L"keep"), L"1");
    EXPECT_TRUE(kxtest::KeyExists(HKEY_CURRENT_USER, app));
    EXPECT_TRUE(log.Has(L"guard: refused [" + text + L"] (link)"));
}

// Between the scan and the sweep another program was installed into a leftover folder: the guard, asked again
// before every deletion, keeps that folder and what it holds.
TEST_F(PowerSweep, AProgramInstalledSinceTheScanIsKept) {
    const std::wstring other = app + L"\\Plugins\\Other";
    kxtest::WriteFileBytes(other + L"\\other.exe", "another program");
    kxtest::WriteFileBytes(app + L"\\mine.dat", "left behind");
    const std::wstring key = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\KxSweepOther";
    kxtest::SetString(HKEY_CURRENT_USER, key, L"DisplayName", L"KxSweep Other");
    kxtest::SetString(HKEY_CURRENT_USER, key, L"InstallLocation", other);
    Offer({{CPowerSweepItem::KIND_FILE, other + L"\\other.exe"}, {CPowerSweepItem::KIND_FOLDER, app}});
    kxtest::LogMark log;
    Sweep({2, 4});
    SHDeleteKeyW(HKEY_CURRENT_USER, key.c_str());
    EXPECT_TRUE(kxtest::PathExists(other + L"\\other.exe"));
    EXPECT_TRUE(log.Has(L"guard: refused [" + other + L"\\other.exe] (program)"));
    EXPECT_TRUE(log.Has(L"guard: refused [" + app + L"] (program)"));
    EXPECT_EQ(Progress(), (std::vector<LPARAM>{50, 100}));
    EXPECT_TRUE(Removed()) << "a refused entry still leaves the list";
}

// A file held open without sharing survives the four steps: it is then deleted at the next restart, under its own
// name.
TEST_F(PowerSweep, AFileInUseIsDeletedAtRestart) {
    const std::wstring file = app + L"\\busy.dat";
    Offer({{CPowerSweepItem::KIND_FILE, file}});
    kx::unique_handle holder(kxtest::StartChild("hold_file", file));
    ASSERT_TRUE(holder);
    Sleep(1500);  // the child opens the file
    Sweep({2});
    wchar_t szPending[32768] = {};
    DWORD cb = sizeof(szPending) - sizeof(wchar_t);
    RegGetValueW(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Control\\Session Manager",
                 L"PendingFileRenameOperations", RRF_RT_REG_MULTI_SZ, nullptr, szPending, &cb);
    // Pairs of source and target; an empty target is a deletion.
    std::vector<std::wstring> pending;
    for (size_t i = 0; i < cb / sizeof(wchar_t); i += wcslen(szPending + i) + 1) pending.push_back(szPending + i);
    TerminateProcess(holder.get(), 0);
    WaitForSingleObject(holder.get(), 5000);
    EXPECT_TRUE(kxtest::PathExists(file));
    EXPECT_NE(std::find(pending.begin(), pending.end(), L"\\??\\" + file), pending.end());
    RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Control\\Session Manager",
                       L"PendingFileRenameOperations");
}

// A stop ends the loop with code 15: the rest is dropped with the chosen ids, nothing is pruned, the program stays.
TEST_F(PowerSweep, AStopEndsTheLoop) {
    Offer({{CPowerSweepItem::KIND_FILE, app + L"\\a.dat"}, {CPowerSweepItem::KIND_FILE, app + L"\\b.dat"}});
    SetEvent(mgr.m_hStopEvent.get());
    kxtest::LogMark log;
    Sweep({2, 3});
    EXPECT_TRUE(Progress().empty());
    EXPECT_EQ(Ids(), (std::vector<UINT>{0, 0, 2, 3}));
    EXPECT_TRUE(kxtest::PathExists(app + L"\\a.dat"));
    EXPECT_TRUE(log.Has(L"[F.CKxUninstMgr::TaskPowerSweep()] !!iErr code:[15]"));
    EXPECT_FALSE(Removed());
}

}  // namespace
