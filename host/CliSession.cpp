#include "CliSession.h"

#include <windows.h>

#include <map>

#include "CacheProbe.h"
#include "CliCategories.h"
#include "KxUninstIf.h"
#include "ProgramList.h"
#include "UninstallFlow.h"
#include "WinText.h"

namespace {

// Without any notification this long after Init, a component without its message window will never build.
const ULONGLONG kStallMs = 5000;

std::wstring Env(const wchar_t* name) {
    wchar_t value[2048] = {0};
    DWORD n = GetEnvironmentVariableW(name, value, 2048);
    return n && n < 2048 ? value : L"";
}

std::string ProgramCount(size_t n) { return std::to_string(n) + (n == 1 ? " program" : " programs"); }

}  // namespace

CliSession::CliSession(CliContext& cli) : m_cli(cli), m_activity(cli.err, !cli.opt.quiet) {}

int CliSession::Fail(int code, const std::wstring& text) {
    m_cli.err.Say(ToUtf8(text));
    return code;
}

void CliSession::Note(const std::string& text) {
    if (!m_cli.opt.quiet) m_cli.err.Say(text);
}

int CliSession::Run() {
    if (m_cli.opt.command == CliCommand::Register || m_cli.opt.command == CliCommand::Unregister) return Register();
    const std::string refusal = UninstallRefusal(m_cli.opt);
    if (!refusal.empty()) return Fail(kExitUsage, FromUtf8(refusal));
    int rc = Start();
    if (rc == kExitOk) rc = WaitForList();
    if (rc == kExitOk && m_cli.opt.command == CliCommand::Refresh) {
        if (FAILED(m_host.Refresh())) {
            rc = Fail(kExitComponent, L"Refresh failed");
        } else {
            m_activity.SetPhase("reading the installed software again");
            m_bExpectCache = false;
            rc = WaitForList();
        }
    }
    if (rc == kExitOk) rc = Report();
    m_cli.err.ClearActivity();
    m_host.Stop();
    return rc;
}

int CliSession::Register() {
    std::wstring error;
    const std::wstring dll = m_cli.folder + L"KxUninst.dll";
    if (!m_host.Load(dll, error)) return Fail(kExitComponent, error);
    bool unregister = m_cli.opt.command == CliCommand::Unregister;
    if (FAILED(m_host.Register(unregister, error))) return Fail(kExitComponent, error);
    Note(ToUtf8(UserPath(dll)) + (unregister ? " unregistered" : " registered"));
    return kExitOk;
}

int CliSession::Start() {
    std::wstring error;
    const std::wstring dll = m_cli.folder + L"KxUninst.dll";
    if (!m_host.Load(dll, error)) return Fail(kExitComponent, error);
    if (!FileExists(m_cli.folder + L"KxData.dll"))
        return Fail(kExitComponent, L"data component not found: " + UserPath(m_cli.folder + L"KxData.dll"));
    std::wstring cacheDir = m_cli.opt.cacheDir;
    if (!cacheDir.empty() && !PrepareCacheDir(cacheDir, error)) return Fail(kExitComponent, error);
    // The component's Init creates a hidden top-level window on this thread; where that cannot work, say so now
    // instead of waiting for a list that never comes.
    DWORD dwWindowError = 0;
    if (!CanCreateTopLevelWindow(dwWindowError)) return NoWindow(dwWindowError);
    if (!m_host.Create(error)) return Fail(kExitComponent, error);
    m_host.ForwardConsoleInterrupt();

    m_strCachePath = SoftCacheFilePath(cacheDir);
    m_bExpectCache = CacheMayGiveList(m_strCachePath);
    m_activity.SetPhase(m_bExpectCache ? "loading the cached list" : "reading the installed software");
    m_nStarted = GetTickCount64();
    m_nDeadline = m_nStarted + m_cli.opt.timeoutMs;
    if (!m_host.Start(cacheDir, error)) return Fail(kExitComponent, error);
    if (m_cli.opt.verbose) m_cli.err.Say("component started; waiting for the list");
    if (!m_host.ComponentHasWindow()) return NoWindow(0);
    return kExitOk;
}

int CliSession::WaitForList() {
    for (;;) {
        for (const ListNotification& n : m_host.Pump(100)) {
            m_bNotified = true;
            if (n.nType != LIST_SOFT || !(n.nAct & ACT_LIST_READY) || !m_host.ListReady()) continue;
            // A cache the component rejected is deleted before it tells anyone anything.
            bool fromCache = m_bExpectCache && !m_bSawCache && FileExists(m_strCachePath);
            std::vector<SoftRecord> records;
            std::wstring error;
            if (!m_host.ReadSoftList(records, error)) return Fail(kExitComponent, error);
            if (fromCache) {
                m_bSawCache = true;
                if (m_cli.opt.verbose)
                    m_cli.err.Say("the cache's list is ready after " + SecondsText(m_activity.ElapsedSeconds()));
                m_activity.SetPhase("checking the machine against the " + ProgramCount(records.size()) +
                                    " of the cache");
                continue;
            }
            if (m_cli.opt.verbose)
                m_cli.err.Say("the list is final after " + SecondsText(m_activity.ElapsedSeconds()));
            m_vecRecords = std::move(records);
            return kExitOk;
        }
        if (m_host.Interrupted()) return Interrupted();
        ULONGLONG now = GetTickCount64();
        if (!m_bNotified && now - m_nStarted >= kStallMs && !m_host.ComponentHasWindow()) return NoWindow(0);
        if (now >= m_nDeadline) return TimedOut();
        m_activity.Tick();
    }
}

int CliSession::NoWindow(DWORD dwError) {
    m_cli.err.ClearActivity();
    m_cli.err.Say("the component cannot create its window, so no list can ever be built" +
                  (dwError ? "; the system says: " + ToUtf8(ErrorText(dwError)) : std::string(".")));
    if (!RunningUnderWine()) return kExitComponent;
    std::wstring prefix = Env(L"WINEPREFIX");
    if (prefix.empty()) prefix = Env(L"HOME").empty() ? L"~/.wine" : Env(L"HOME") + L"/.wine";
    std::wstring display = Env(L"DISPLAY");
    std::wstring command = Env(L"KXUNINST_COMMAND");
    if (command.empty()) command = L"wine kxuninst.exe ...";
    const std::string p = ToUtf8(prefix);
    std::vector<std::string> lines = {
        display.empty() ? "Wine has no display here: DISPLAY is not set, and the prefix " + p +
                              " does not select Wine's null graphics driver."
                        : "Wine cannot use the display " + ToUtf8(display) + " from the prefix " + p + ".",
        "What helps, one of:",
        "  - run it with a display, or under a virtual one: xvfb-run -a " + ToUtf8(command),
        "  - let that prefix use Wine's null graphics driver (no program in the prefix shows windows then):",
        "      WINEPREFIX=" + p + " wine reg add 'HKCU\\Software\\Wine\\Drivers' /v Graphics /d null /f",
        "    It takes effect once no program runs in the prefix (Wine's server ends a few seconds after the last).",
        "    To undo it:",
        "      WINEPREFIX=" + p + " wine reg delete 'HKCU\\Software\\Wine\\Drivers' /v Graphics /f",
    };
    for (const std::string& line : lines) m_cli.err.Say(line);
    return kExitComponent;
}

int CliSession::TimedOut() {
    m_cli.err.Say("timed out after " + SecondsText(m_cli.opt.timeoutMs / 1000.0) +
                  " waiting for the list of installed software" + (m_bSawCache ? " (only the cached list came)" : "") +
                  "; the component's log is in " + ToUtf8(UserPath(m_cli.folder + L"Log")));
    return kExitTimeout;
}

int CliSession::Interrupted() {
    m_cli.err.Say("interrupted (Ctrl-C) while " + m_activity.Phase());
    return kExitInterrupted;
}

std::vector<Program> CliSession::Programs(const std::vector<SoftRecord>& records) const {
    std::vector<Program> programs;
    programs.reserve(records.size());
    for (const SoftRecord& r : records) programs.push_back({r.item, ReadEntryFacts(r.item.Key)});
    SortPrograms(programs, m_cli.opt.sort);
    return programs;
}

int CliSession::Report() {
    m_cli.err.ClearActivity();
    const bool json = m_cli.opt.json;
    switch (m_cli.opt.command) {
        case CliCommand::List:
        case CliCommand::Refresh: {
            std::vector<Program> programs = Programs(m_vecRecords);
            m_cli.out.Write(json ? SoftJson(programs) : SoftTable(programs, m_cli.opt.wide));
            return kExitOk;
        }
        case CliCommand::Categories: {
            std::vector<CCategoryItem> categories;
            std::wstring error;
            if (!m_host.ReadCategories(categories, error)) return Fail(kExitComponent, error);
            m_cli.out.Write(json ? CategoryJson(categories) : CategoryTable(categories));
            return kExitOk;
        }
        case CliCommand::Search:
            return ReportSearch();
        case CliCommand::Show:
            return ReportShow();
        case CliCommand::Uninstall:
            return UninstallFlow(m_cli, m_host, m_vecRecords).Run();
        default:
            return kExitOk;
    }
}

int CliSession::ReportSearch() {
    std::vector<CCategoryItem> listed;
    std::wstring error;
    if (!m_host.ReadCategories(listed, error)) return Fail(kExitComponent, error);
    std::vector<CategoryName> known = KnownCategories(listed, ReadCategoryTable(m_cli.folder + L"conf\\category.ini"));
    std::wstring text = m_cli.opt.target;
    if (m_cli.opt.byCategory && !ResolveCategory(m_cli.opt.target, known, text, error)) return Fail(kExitUsage, error);

    std::vector<UINT> ids;
    if (FAILED(m_host.Search(m_cli.opt.byCategory ? 1 : 2, text, ids))) return Fail(kExitComponent, L"Search failed");
    // The result names ids; the records come from the list read after the build, each taken once.
    std::multimap<UINT, size_t> byId;
    for (size_t i = 0; i < m_vecRecords.size(); ++i) byId.emplace(m_vecRecords[i].item.Id, i);
    std::vector<SoftRecord> found;
    for (UINT id : ids) {
        auto it = byId.find(id);
        if (it == byId.end()) continue;
        found.push_back(m_vecRecords[it->second]);
        byId.erase(it);
    }
    std::vector<Program> programs = Programs(found);
    Note(ProgramCount(programs.size()) + " found" + (m_cli.opt.byCategory ? " in " + ToUtf8(text) : ""));
    if (programs.empty() && !m_cli.opt.byCategory) {
        std::wstring name;
        if (ResolveCategory(text, known, name, error) && name == text)
            Note("\"" + ToUtf8(text) + "\" is a category: kxuninst search --category " + ToUtf8(text));
    }
    m_cli.out.Write(m_cli.opt.json ? SoftJson(programs) : SoftTable(programs, m_cli.opt.wide));
    return kExitOk;
}

int CliSession::ReportShow() {
    std::vector<Program> programs = Programs(m_vecRecords);
    std::vector<const Program*> found = FindPrograms(programs, m_cli.opt.target);
    if (found.empty()) return Fail(kExitNotFound, L"no program is named or numbered '" + m_cli.opt.target + L"'");
    if (found.size() > 1) {
        std::wstring names;
        for (const Program* p : found) names += L"\n  " + std::to_wstring(p->item.Id) + L"  " + p->item.Name;
        return Fail(kExitUsage, L"'" + m_cli.opt.target + L"' names " + std::to_wstring(found.size()) +
                                    L" programs; give one of their ids:" + names);
    }
    const Program& p = *found.front();
    std::wstring folderForUser = p.item.Folder.empty() ? L"" : LinuxPath(p.item.Folder);
    m_cli.out.Write(m_cli.opt.json ? ProgramJson(p) : ProgramSheet(p, folderForUser));
    return kExitOk;
}
