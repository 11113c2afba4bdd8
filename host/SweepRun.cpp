#include "SweepRun.h"

#include "ComponentLog.h"
#include "ProgressBar.h"
#include "RecycleBin.h"
#include "TerminalPrompt.h"
#include "WinText.h"

namespace {

const wchar_t kPauseVariable[] = L"KXUNINST_TEST_PAUSE_BEFORE_SWEEP";

std::wstring Env(const wchar_t* name) {
    wchar_t value[1024] = {0};
    DWORD n = GetEnvironmentVariableW(name, value, 1024);
    return n && n < 1024 ? value : L"";
}

}  // namespace

SweepRun::SweepRun(CliContext& cli, ComponentHost& host, const DataStates& states, const CSoftItem& program)
    : m_cli(cli), m_host(host), m_states(states), m_program(program) {}

bool SweepRun::Choose(const std::vector<Leftover>& leftovers, std::vector<UINT>& ids, int& rc) {
    rc = kExitOk;
    std::wstring error;
    switch (m_cli.opt.sweep) {
        case SweepMode::Keep: return false;
        case SweepMode::None: ids.clear(); return true;
        case SweepMode::All: return ChooseLeftovers(leftovers, L"all", ids, error);
        case SweepMode::List:
            if (ChooseLeftovers(leftovers, m_cli.opt.sweepList, ids, error)) return true;
            m_cli.err.Say("--sweep " + ToUtf8(m_cli.opt.sweepList) + ": " + ToUtf8(error) +
                          "; the leftovers are kept (the program stays listed)");
            rc = kExitUsage;
            return false;
        case SweepMode::Ask: break;
    }
    if (!StdinIsTerminal()) {
        m_cli.err.Say("no terminal to ask which leftovers to remove (give --sweep all|none|LIST)");
        return false;
    }
    for (;;) {
        std::string answer;
        Answer a = AskLine(m_cli.err, m_host,
                           "Remove which leftovers? all, none, numbers and ranges (2,4-6), or keep [keep]: ", answer);
        if (a == Answer::Interrupted) {
            rc = kExitInterrupted;
            return false;
        }
        const std::wstring text = FromUtf8(answer);
        if (a == Answer::Closed || text.empty() || text == L"keep") return false;
        if (text == L"none") {
            ids.clear();
            return true;
        }
        if (ChooseLeftovers(leftovers, text, ids, error)) return true;
        m_cli.err.Say(ToUtf8(error));
    }
}

bool SweepRun::PauseForTest() {
    const std::wstring marker = Env(kPauseVariable);
    if (marker.empty()) return true;
    HANDLE h = CreateFileW(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return true;
    DWORD written = 0;
    WriteFile(h, "paused\r\n", 8, &written, nullptr);
    CloseHandle(h);
    while (GetFileAttributesW(marker.c_str()) != INVALID_FILE_ATTRIBUTES) {
        if (m_host.Interrupted()) return false;
        m_host.Pump(100);
    }
    return true;
}

int SweepRun::Run(const std::vector<Leftover>& leftovers, SweepResult& result) {
    if (!m_cli.opt.json) m_cli.out.Write(LeftoverTree(leftovers, m_program.Name));
    int rc = kExitOk;
    if (!Choose(leftovers, result.ids, rc)) {
        if (rc == kExitOk)
            m_cli.err.Say("the leftovers stay on the machine; the component keeps its list of them only while this run "
                          "lasts");
        result.nFinalState = m_states.Get(m_program.Id).nState;
        return rc;
    }
    if (!PauseForTest()) return kExitInterrupted;
    return Sweep(leftovers, result);
}

int SweepRun::Sweep(const std::vector<Leftover>& leftovers, SweepResult& result) {
    RecycleBin bin;
    SweepEvidence evidence;
    evidence.bTrashReadable = bin.Snapshot();
    ComponentLog log(m_cli.folder);
    log.Mark();
    // A stop is the only way to end a sweep early: Ctrl-C stops the component, which ends the loop.
    bool bStopped = false;
    m_host.OnInterrupt([&bStopped] { bStopped = true; });
    if (FAILED(m_host.PowerSweep(m_program.Id, result.ids))) {
        m_cli.err.Say("PowerSweep failed");
        return kExitComponent;
    }
    result.bAsked = true;
    ProgressBar bar(m_cli.err, !m_cli.opt.quiet);
    bool bEnded = false;
    while (!bEnded && !bStopped) {
        for (const ListNotification& n : m_host.Pump(100)) {
            if (n.nType == LIST_SWEEP && (n.nAct & ACT_PROGRESS)) {
                bar.Show(static_cast<unsigned>(n.lParam));
                if (n.lParam >= 100) bEnded = true;
            }
            // Without ids no progress comes: the program leaving the list ends the sweep.
            if (n.nType == LIST_SOFT && (n.nAct & ACT_STATE_CHANGED) && static_cast<UINT>(n.lParam) == m_program.Id &&
                result.ids.empty())
                bEnded = true;
        }
    }
    bar.Done();
    if (bStopped) {
        m_host.Stop();
        m_cli.err.Say("interrupted: the sweep was stopped; what it had not reached stays on the machine");
        return kExitInterrupted;
    }
    // The task holds the leftover list to its end: asking for its size waits for it.
    m_host.SweepListSize();
    m_host.Pump(0);
    result.nFinalState = m_states.Get(m_program.Id).nState;
    evidence.trashed = bin.Added();
    evidence.pending = PendingDeletions();
    evidence.componentLog = log.LinesSinceMark();
    result.outcomes = CheckSweep(leftovers, result.ids, evidence);
    if (!m_cli.opt.json) {
        m_cli.out.Write(SweepSummary(result.outcomes));
        m_cli.out.Write(result.nFinalState == SOFT_STATE_REMOVED
                            ? "the program has left the list\n"
                            : "the program stays listed with the leftovers not chosen\n");
    }
    return kExitOk;
}
