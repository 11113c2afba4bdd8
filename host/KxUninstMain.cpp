// kxuninst.exe: the command-line host of KxUninst.dll. It plays the suite's user interface: loads the
// component from its own folder, creates it through the DLL's class factory, listens for WM_LISTMGR with a
// hidden window and reads and searches the lists through IKxListMgr.
#include <windows.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include <map>
#include <string>
#include <vector>

#include "Activity.h"
#include "CacheProbe.h"
#include "CliArgs.h"
#include "CliOutput.h"
#include "ComponentHost.h"
#include "KxUninstIf.h"
#include "ListRender.h"

namespace {

enum ExitCode { kExitOk = 0, kExitUsage = 2, kExitComponent = 3, kExitTimeout = 4 };

struct Cli {
    TextSink out;
    TextSink err;
    CliOptions opt;
    std::wstring folder;  // the executable's folder, with trailing backslash

    void Say(const std::string& text) const { err.Write("kxuninst: " + text + "\n"); }
    int Fail(int code, const std::wstring& text) const {
        Say(ToUtf8(text));
        return code;
    }
};

std::wstring ExeFolder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
        if (n == 0) return L"";
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);
    }
    return path.substr(0, path.find_last_of(L'\\') + 1);
}

std::vector<std::wstring> Arguments() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::vector<std::wstring> args;
    for (int i = 1; argv && i < argc; ++i) args.push_back(argv[i]);
    LocalFree(argv);
    return args;
}

// The cache folder as an absolute path without trailing backslash, created when missing.
bool PrepareCacheDir(std::wstring& dir, std::wstring& error) {
    wchar_t full[MAX_PATH];
    DWORD n = GetFullPathNameW(dir.c_str(), MAX_PATH, full, nullptr);
    if (n == 0 || n >= MAX_PATH) {
        error = L"bad cache folder: " + dir;
        return false;
    }
    dir = full;
    while (dir.size() > 3 && dir.back() == L'\\') dir.pop_back();
    int rc = SHCreateDirectoryExW(nullptr, dir.c_str(), nullptr);
    if (rc != ERROR_SUCCESS && rc != ERROR_ALREADY_EXISTS && rc != ERROR_FILE_EXISTS) {
        error = L"cannot create the cache folder " + dir + L" (error " + std::to_wstring(rc) + L")";
        return false;
    }
    if (GetFileAttributesW(dir.c_str()) == INVALID_FILE_ATTRIBUTES ||
        !(GetFileAttributesW(dir.c_str()) & FILE_ATTRIBUTE_DIRECTORY)) {
        error = L"the cache folder is not a folder: " + dir;
        return false;
    }
    return true;
}

std::vector<CSoftItem> Items(const std::vector<SoftRecord>& records) {
    std::vector<CSoftItem> items;
    items.reserve(records.size());
    for (const SoftRecord& r : records) items.push_back(r.item);
    return items;
}

bool SameRecords(const std::vector<SoftRecord>& a, const std::vector<SoftRecord>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i].bytes != b[i].bytes) return false;
    }
    return true;
}

std::string ProgramCount(size_t n) { return std::to_string(n) + (n == 1 ? " program" : " programs"); }

// One run of the component: start it and wait for the list of the full build.
class Session {
public:
    explicit Session(Cli& cli) : m_cli(cli), m_activity(cli.err, !cli.opt.quiet) {}

    int Run() {
        std::wstring error;
        const std::wstring dll = m_cli.folder + L"KxUninst.dll";
        if (!m_host.Load(dll, error)) return m_cli.Fail(kExitComponent, error);
        if (m_cli.opt.command == CliCommand::Register || m_cli.opt.command == CliCommand::Unregister) {
            bool unregister = m_cli.opt.command == CliCommand::Unregister;
            if (FAILED(m_host.Register(unregister, error))) return m_cli.Fail(kExitComponent, error);
            m_cli.Say(ToUtf8(dll) + (unregister ? " unregistered" : " registered"));
            return kExitOk;
        }
        if (!FileExists(m_cli.folder + L"KxData.dll"))
            return m_cli.Fail(kExitComponent, L"data component not found: " + m_cli.folder + L"KxData.dll");
        std::wstring cacheDir = m_cli.opt.cacheDir;
        if (!cacheDir.empty() && !PrepareCacheDir(cacheDir, error)) return m_cli.Fail(kExitComponent, error);
        if (!m_host.Create(error)) return m_cli.Fail(kExitComponent, error);

        // Every command waits for the list of the full build; only the list command shows the cached one.
        m_strCachePath = SoftCacheFilePath(cacheDir);
        m_bExpectCache = CacheMayGiveList(m_strCachePath);
        m_nDeadline = GetTickCount64() + m_cli.opt.timeoutMs;
        if (!m_host.Start(cacheDir, error)) return m_cli.Fail(kExitComponent, error);

        int rc = WaitForBuild();
        if (rc == kExitOk && m_cli.opt.command == CliCommand::Refresh) rc = Rebuild();
        if (rc == kExitOk) rc = Report();
        m_activity.Clear();
        m_host.Stop();
        return rc;
    }

private:
    // Pumps messages until the soft list of a full build is ready. A list loaded from the cache comes first
    // and is shown at once.
    int WaitForBuild() {
        m_activity.SetPhase(m_bExpectCache && m_cli.opt.command == CliCommand::List ? "loading the cached list"
                                                                                  : "reading the installed software");
        for (;;) {
            for (const ListNotification& n : m_host.Pump(100)) {
                if (n.nType != LIST_SOFT || !(n.nAct & ACT_LIST_READY)) continue;
                // A cache the component rejected is deleted before it tells anyone anything.
                bool fromCache = m_bExpectCache && !m_bSawCache && FileExists(m_strCachePath);
                std::vector<SoftRecord> records;
                std::wstring error;
                if (!m_host.ReadSoftList(records, error)) return m_cli.Fail(kExitComponent, error);
                if (fromCache) {
                    m_bSawCache = true;
                    OnCachedList(records);
                    continue;
                }
                m_vecRecords = std::move(records);
                return kExitOk;
            }
            if (GetTickCount64() >= m_nDeadline) return TimedOut();
            m_activity.Tick();
        }
    }

    int Rebuild() {
        HRESULT hr = m_host.Refresh();
        if (FAILED(hr)) return m_cli.Fail(kExitComponent, L"Refresh failed");
        m_activity.SetPhase("rebuilding the list");
        m_bExpectCache = false;
        return WaitForBuild();
    }

    int TimedOut() {
        m_activity.Clear();
        double seconds = m_cli.opt.timeoutMs / 1000.0;
        m_cli.Say("timed out after " + SecondsText(seconds) + " waiting for the list of installed software" +
                  (m_bSawCache ? " (only the cached list arrived)" : "") +
                  "; see the component's log in " + ToUtf8(m_cli.folder) + "Log");
        return kExitTimeout;
    }

    void OnCachedList(const std::vector<SoftRecord>& records) {
        if (m_cli.opt.command != CliCommand::List) return;
        m_activity.Clear();
        m_bShowedCache = true;
        m_cachedRecords = records;
        m_cli.Say(ProgramCount(records.size()) + " from the cache after " + SecondsText(m_activity.ElapsedSeconds()) +
                  (m_cli.opt.json ? "" : "; the list follows"));
        if (!m_cli.opt.json) m_cli.out.Write(SoftTable(Items(records)));
        m_activity.SetPhase("reading the installed software");
    }

    int Report() {
        m_activity.Clear();
        std::string took = " after " + SecondsText(m_activity.ElapsedSeconds());
        const bool json = m_cli.opt.json;
        switch (m_cli.opt.command) {
            case CliCommand::List:
            case CliCommand::Refresh:
                if (m_bShowedCache && SameRecords(m_cachedRecords, m_vecRecords)) {
                    m_cli.Say("discovery finished" + took + ": the list is unchanged");
                    if (json) m_cli.out.Write(SoftJson(Items(m_vecRecords)));
                    return kExitOk;
                }
                m_cli.Say(ProgramCount(m_vecRecords.size()) + took + (m_bShowedCache ? "; the list changed:" : ""));
                m_cli.out.Write(json ? SoftJson(Items(m_vecRecords)) : SoftTable(Items(m_vecRecords)));
                return kExitOk;
            case CliCommand::Categories: {
                std::vector<CCategoryItem> categories;
                std::wstring error;
                if (!m_host.ReadCategories(categories, error)) return m_cli.Fail(kExitComponent, error);
                m_cli.out.Write(json ? CategoryJson(categories) : CategoryTable(categories));
                return kExitOk;
            }
            case CliCommand::Search:
                return ReportSearch();
            default:
                return kExitOk;
        }
    }

    int ReportSearch() {
        std::vector<UINT> ids;
        HRESULT hr = m_host.Search(m_cli.opt.byCategory ? 1 : 2, m_cli.opt.searchText, ids);
        if (FAILED(hr)) return m_cli.Fail(kExitComponent, L"Search failed");
        // The result names ids; the records come from the list read after the build, each taken once.
        std::multimap<UINT, size_t> byId;
        for (size_t i = 0; i < m_vecRecords.size(); ++i) byId.emplace(m_vecRecords[i].item.Id, i);
        std::vector<CSoftItem> found;
        for (UINT id : ids) {
            auto it = byId.find(id);
            if (it == byId.end()) continue;
            found.push_back(m_vecRecords[it->second].item);
            byId.erase(it);
        }
        m_cli.Say(ProgramCount(found.size()) + " found");
        m_cli.out.Write(m_cli.opt.json ? SoftJson(found) : SoftTable(found));
        return kExitOk;
    }

    Cli& m_cli;
    Activity m_activity;
    ComponentHost m_host;
    std::wstring m_strCachePath;
    bool m_bExpectCache = false;
    bool m_bSawCache = false;
    bool m_bShowedCache = false;
    ULONGLONG m_nDeadline = 0;
    std::vector<SoftRecord> m_cachedRecords;
    std::vector<SoftRecord> m_vecRecords;
};

}  // namespace

int main() {
    Cli cli;
    cli.err = TextSink(GetStdHandle(STD_ERROR_HANDLE));
    std::wstring error;
    if (!ParseCliArgs(Arguments(), cli.opt, error)) {
        cli.Say(ToUtf8(error));
        cli.err.Write("run 'kxuninst --help' for the commands and options\n");
        return kExitUsage;
    }
    if (cli.opt.command == CliCommand::Help) {
        TextSink(GetStdHandle(STD_OUTPUT_HANDLE)).Write(kCliUsage);
        return kExitOk;
    }
    // From here on the component may print to the process's standard output; the result goes to the original.
    HANDLE original = DivertStdout();
    cli.out = TextSink(original);
    cli.folder = ExeFolder();

    HRESULT hrCom = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    int rc;
    {
        Session session(cli);
        rc = session.Run();
    }
    if (SUCCEEDED(hrCom)) CoUninitialize();
    if (original) CloseHandle(original);
    return rc;
}
