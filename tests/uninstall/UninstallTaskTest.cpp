// The uninstall task with real uninstallers (this binary in child modes) and real Uninstall keys and folders in
// the test prefix. The data component is the recording stand-in, so every state is seen in the order it was set.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlwapi.h>

#include "CategoryItem.h"
#include "CategoryStat.h"
#include "KxLog.h"
#include "KxUninstMgr.h"
#include "PowerSweepItem.h"
#include "SoftItem.h"
#include "kxtest/ChildProcess.h"
#include "kxtest/FakeDataMgr.h"
#include "kxtest/Log.h"
#include "kxtest/Pump.h"
#include "kxtest/Processes.h"
#include "kxtest/TempDir.h"

namespace {

// The component log, read back by the tests, is written beside this binary.
class OpenLog : public testing::Environment {
public:
    void SetUp() override { CKxLog::Instance().Open(); }
};
const testing::Environment* const kOpenLog = testing::AddGlobalTestEnvironment(new OpenLog);

const wchar_t kUninstall[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const wchar_t kCategory[] = L"测试";

// An uninstaller (a copy of this binary in the program's folder) that removes its key, takes its own file away
// as real uninstallers do (the program counts as installed while its uninstaller is there) and, when a second
// argument names it, the folder; one that the user closes without removing anything; one that waits for the test.
KXTEST_CHILD_MODE(uninst_gone) {
    size_t bar = args.find(L'|');
    SHDeleteKeyW(HKEY_CURRENT_USER, (kUninstall + args.substr(0, bar)).c_str());
    wchar_t szSelf[MAX_PATH] = {}, szTemp[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, szSelf, MAX_PATH);
    GetTempPathW(MAX_PATH, szTemp);
    MoveFileExW(szSelf, (std::wstring(szTemp) + L"kxtask-gone-" + std::to_wstring(GetCurrentProcessId()) + L".exe").c_str(),
                MOVEFILE_REPLACE_EXISTING);
    if (bar != std::wstring::npos) kxtest::RemoveTree(args.substr(bar + 1));
    return 0;
}
KXTEST_CHILD_MODE(uninst_keep) { return args.empty() ? 0 : 1; }
KXTEST_CHILD_MODE(uninst_wait) {
    kx::unique_handle alive(CreateMutexW(nullptr, FALSE, (args + L"Alive").c_str()));
    kx::unique_handle event(OpenEventW(SYNCHRONIZE, FALSE, args.c_str()));
    return WaitForSingleObject(event.get(), 60000) == WAIT_OBJECT_0 ? 0 : 1;
}

WPARAM Note(UINT nAct) { return MAKEWPARAM(nAct, LIST_SOFT); }

class RecordingMgr : public CKxUninstMgr {
public:
    HRESULT STDMETHODCALLTYPE Notify(WPARAM wParam, LPARAM lParam) override {
        if (HIWORD(wParam) == LIST_SOFT) notes.emplace_back(wParam, lParam);
        return S_OK;
    }
    kxtest::Notes notes;
};

class UninstallTask : public testing::Test {
protected:
    void SetUp() override {
        // Under Wine the first window of a session starts its desktop process; started by an uninstaller, it
        // would join the job and keep the wait going for ever. A host has its windows long before.
        GetDesktopWindow();
        mgr.m_pDataMgr.reset(&data);
        mgr.m_hStopEvent.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        mgr.m_hCancelEvent.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        mgr.m_hActiveEvent.reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
        mgr.m_bListReady = TRUE;
    }
    void TearDown() override {
        (void)mgr.m_pDataMgr.detach();
        for (const std::wstring& key : keys) SHDeleteKeyW(HKEY_CURRENT_USER, (kUninstall + key).c_str());
    }

    // A listed registry program: its Uninstall key (with the command, when there is one) and its folder holding a
    // data file; counted in its category.
    UINT AddProgram(const std::wstring& strName, const std::wstring& strCommand, bool bFolder = true) {
        const UINT nId = nextId++;
        const std::wstring key = L"KxTaskTest" + strName;
        keys.push_back(key);
        std::wstring folder = bFolder ? dir / strName : std::wstring();
        if (bFolder) kxtest::WriteFileBytes(folder + L"\\data.txt", "kept by the uninstaller");
        HKEY hKey = nullptr;
        RegCreateKeyExW(HKEY_CURRENT_USER, (kUninstall + key).c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &hKey, nullptr);
        kx::unique_hkey owned(hKey);
        auto set = [&](const wchar_t* name, const std::wstring& value) {
            RegSetValueExW(hKey, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                           static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
        };
        set(L"DisplayName", L"KxTaskTest " + strName);
        if (!strCommand.empty()) set(L"UninstallString", strCommand);
        if (bFolder) set(L"InstallLocation", folder);
        auto* pItem = new CSoftItem;
        pItem->Id = nId;
        pItem->Name = L"KxTaskTest " + strName;
        pItem->Key = L"HKEY_CURRENT_USER\\" + std::wstring(kUninstall) + key;
        pItem->Folder = bFolder ? folder + L"\\" : std::wstring();
        pItem->Category = kCategory;
        mgr.m_vecSoft.push_back(pItem);
        Count(TRUE);
        return nId;
    }
    void Count(BOOL bAdd) {
        SoftLists lists = mgr.Lists();
        StatCategory(lists, bAdd, L"");
        StatCategory(lists, bAdd, kCategory);
    }
    // The command of a copy of this binary in the program's folder (or beside it) that removes the program.
    std::wstring Gone(const std::wstring& strName, bool bFolderToo) {
        std::wstring args = L"KxTaskTest" + strName;
        if (bFolderToo) args += L"|" + dir / strName;
        const std::wstring copy = dir / strName + L"\\uninst.exe";
        kxtest::MakeDirs(dir / strName);
        CopyFileW(kxtest::SelfPath().c_str(), copy.c_str(), FALSE);
        return L"\"" + copy + L"\" --kx-child=uninst_gone " + args;
    }
    std::vector<UINT> States(UINT nId) const {
        std::vector<UINT> out;
        for (const auto& s : data.states)
            if (s.first == nId) out.push_back(s.second);
        return out;
    }
    bool Listed(UINT nId) const {
        for (const CSoftItem* p : mgr.m_vecSoft)
            if (p->Id == nId) return true;
        return false;
    }

    kxtest::TempDir dir;
    kxtest::FakeDataMgr data;
    RecordingMgr mgr;
    std::vector<std::wstring> keys;
    UINT nextId = 100;
};

// Each way an uninstall ends, with the states in order and whether the program is still listed.
TEST_F(UninstallTask, EndsAsTheUninstallerLeftTheProgram) {
    const struct {
        const char* label;
        std::wstring name;
        int command;  // 0 removes the key, 1 removes key and folder, 2 removes nothing, 3 no command at all
        bool folder;
        std::vector<UINT> states;
        const wchar_t* line;
    } cases[] = {
        {"gone, its data left", L"Data", 0, true, {16, 17, 16, 18}, L"step.3 开启强力清扫"},
        {"gone, nothing left", L"Clean", 1, true, {16, 17, 16, 20}, L"step.3 用户检测卸载完成"},
        {"still installed", L"Kept", 2, true, {16, 17, 19}, L"step.2 用户取消了卸载操作"},
        {"no command, a folder left", L"NoCmd", 3, true, {16, 17, 16, 18}, L"step.3 开启强力清扫"},
        {"no command, nothing to find", L"Bare", 3, false, {16, 17, 16, 20}, L"step.3 用户检测卸载完成"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        std::wstring command = c.command == 0   ? Gone(c.name, false)
                               : c.command == 1 ? Gone(c.name, true)
                               : c.command == 2 ? kxtest::ChildCommandLine("uninst_keep")
                                                : std::wstring();
        const UINT nId = AddProgram(c.name, command, c.folder);
        mgr.notes.clear();
        kxtest::LogMark log;
        mgr.TaskUninstall(nId);
        EXPECT_EQ(States(nId), c.states);
        EXPECT_TRUE(log.Has(L"[F.CKxUninstMgr::TaskUninstall()] " + std::wstring(c.line)));
        const bool bRemoved = c.states.back() == 20;
        EXPECT_EQ(Listed(nId), !bRemoved);
        kxtest::Notes expected(c.states.size(), {Note(ACT_STATE_CHANGED), nId});
        if (bRemoved) expected.insert(expected.end() - 1, {Note(ACT_ITEM_REMOVED), nId});
        EXPECT_EQ(mgr.notes, expected);
        if (c.states.back() == 18) {
            kx::CritSecLock lock(mgr.m_csSweep);
            ASSERT_FALSE(mgr.m_vecSweep.empty());
            EXPECT_EQ(mgr.m_vecSweep.front()->Path, L"全部");
            EXPECT_EQ(_wcsicmp(mgr.m_leftoverOrigin.strKey.c_str(), (L"KxTaskTest" + c.name).c_str()), 0);
        }
    }
}

// A removal takes the program out of its category counts: the categories are as before it was listed.
TEST_F(UninstallTask, RemovalUndoesTheCategoryCounts) {
    const UINT nId = AddProgram(L"Counted", Gone(L"Counted", true));
    mgr.TaskUninstall(nId);
    ASSERT_EQ(States(nId).back(), 20u);
    kx::CritSecLock lock(mgr.m_csList);
    ASSERT_FALSE(mgr.m_vecCategory.empty());
    for (const CCategoryItem* p : mgr.m_vecCategory) EXPECT_EQ(p->Count, 0u);
}

TEST_F(UninstallTask, AProgramNoLongerListedIsNotUninstalled) {
    kxtest::LogMark log;
    mgr.TaskUninstall(4242);
    EXPECT_EQ(States(4242), (std::vector<UINT>{16, 19}));
    EXPECT_TRUE(log.Has(L"step.2 没有找到卸载软件，取消卸载"));
    EXPECT_EQ(mgr.notes, kxtest::Notes(2, {Note(ACT_STATE_CHANGED), 4242}));

    // Nor is one that is not listed removed again: no state, no notification.
    mgr.notes.clear();
    UninstallContext ctx = mgr.UninstallWork();
    DeleteUnItem(ctx.lists, ctx.csList, ctx.pDataMgr, 4243);
    EXPECT_TRUE(States(4243).empty());
    EXPECT_TRUE(mgr.notes.empty());
}

// The host cancels while the uninstaller waits for its user: the task ends at once, the uninstaller runs on.
TEST_F(UninstallTask, CancelEndsTheWaitAndLeavesTheUninstallerRunning) {
    const std::wstring event = L"KxTaskTestRelease" + std::to_wstring(GetCurrentProcessId());
    kx::unique_handle release(CreateEventW(nullptr, TRUE, FALSE, event.c_str()));
    const UINT nId = AddProgram(L"Waits", kxtest::ChildCommandLine("uninst_wait", event));
    kxtest::LogMark log;
    {
        kxtest::AsyncCall task([&] { mgr.TaskUninstall(nId); }, [&] { SetEvent(release.get()); });
        const std::wstring alive = event + L"Alive";
        auto running = [&] { return kx::unique_handle(OpenMutexW(SYNCHRONIZE, FALSE, alive.c_str())).get() != nullptr; };
        // The job counts the uninstaller before it has run a line of its own: wait for it to say it is there.
        ASSERT_TRUE(kxtest::PumpUntil([&] { return log.Has(L"job包含的进程数:1") && running(); }, 20000));
        SetEvent(mgr.m_hCancelEvent.get());
        EXPECT_TRUE(task.Join(2000)) << "the wait sees the cancel at its next poll";
        EXPECT_TRUE(running()) << "the uninstaller runs on";
    }
    SetEvent(release.get());
    EXPECT_EQ(States(nId), (std::vector<UINT>{16, 17, 19}));
    EXPECT_TRUE(log.Has(L"step.2 Varnok取消了卸载操作"));
    EXPECT_EQ(WaitForSingleObject(mgr.m_hCancelEvent.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT)) << "reset for the next";
    EXPECT_TRUE(Listed(nId));
}

// A software-centre program goes through the starter, which moves its folder to the Recycle Bin. While the starter
// is there, the program is not judged gone (no Uninstall key of its name, a starter that exists): state 19, and
// it leaves the list at the next refresh.
TEST_F(UninstallTask, SoftwareCentreProgramThroughTheStarter) {
    const std::wstring name = L"QzTask" + std::to_wstring(GetTickCount());
    const std::wstring folder = dir / name;
    kxtest::WriteFileBytes(folder + L"\\qz.ini", "[Soft]\r\nInitialized=1\r\n");
    const std::wstring ini = kxtest::SelfPath().substr(0, kxtest::SelfPath().rfind(L'\\')) + L"\\conf\\soft.ini";
    kxtest::WriteUtf16File(ini, L"[Vinst]\r\nqztask=" + folder + L"\r\n");
    auto* pItem = new CSoftItem;
    pItem->Id = nextId++;
    pItem->Virtual = 1;
    pItem->Folder = folder;
    mgr.m_vecSoft.push_back(pItem);
    mgr.TaskUninstall(pItem->Id);
    DeleteFileW(ini.c_str());
    EXPECT_EQ(States(nextId - 1), (std::vector<UINT>{16, 17, 19}));
    EXPECT_FALSE(kxtest::PathExists(folder));
}

// A cancel that came before the uninstaller started is forgotten; a stop after the wait leaves state 17.
TEST_F(UninstallTask, EarlyCancelIsForgottenAndAStopLeavesTheUninstallerState) {
    const UINT nEarly = AddProgram(L"Early", Gone(L"Early", true));
    SetEvent(mgr.m_hCancelEvent.get());
    mgr.TaskUninstall(nEarly);
    EXPECT_EQ(States(nEarly), (std::vector<UINT>{16, 17, 16, 20}));

    const UINT nStopped = AddProgram(L"Stopped", Gone(L"Stopped", true));
    SetEvent(mgr.m_hStopEvent.get());
    kxtest::LogMark log;
    mgr.TaskUninstall(nStopped);
    EXPECT_EQ(States(nStopped), (std::vector<UINT>{16, 17}));
    EXPECT_TRUE(log.Has(L"[F.CKxUninstMgr::TaskUninstall()] !!iErr code:[15]"));
    EXPECT_TRUE(Listed(nStopped));
}

}  // namespace
