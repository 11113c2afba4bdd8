#include "UninstallFlow.h"

#include <cstdio>

#include "Activity.h"
#include "JsonObject.h"
#include "TerminalPrompt.h"
#include "WinText.h"

namespace {

// scripts/run --prefix sets it: the user's own prefix is only read unless told otherwise.
const wchar_t kReadOnlyPrefix[] = L"KXUNINST_READ_ONLY_PREFIX";

std::string Seconds(double s) {
    char text[32];
    snprintf(text, sizeof(text), "%7.1f s", s);
    return text;
}

std::wstring Env(const wchar_t* name) {
    wchar_t value[1024] = {0};
    DWORD n = GetEnvironmentVariableW(name, value, 1024);
    return n && n < 1024 ? value : L"";
}

}  // namespace

std::string UninstallRefusal(const CliOptions& opt) {
    if (opt.command != CliCommand::Uninstall) return "";
    const std::wstring prefix = Env(kReadOnlyPrefix);
    if (!prefix.empty() && !opt.allowChanges)
        return "the prefix " + ToUtf8(prefix) +
               " is only read here; uninstalling changes it: add --allow-changes to do it anyway";
    if (!opt.yes && !StdinIsTerminal())
        return "no terminal to ask for confirmation: give --yes to uninstall without asking";
    return "";
}

UninstallFlow::UninstallFlow(CliContext& cli, ComponentHost& host, const std::vector<SoftRecord>& records)
    : m_cli(cli), m_host(host), m_records(records) {}

int UninstallFlow::FindTarget() {
    const std::wstring& target = m_cli.opt.target;
    // An id or the exact name (ignoring case) wins; then the component's own search, by substring and by pinyin.
    std::vector<const CSoftItem*> exact;
    const bool bNumber = target.size() <= 10 && target.find_first_not_of(L"0123456789") == std::wstring::npos;
    for (const SoftRecord& r : m_records)
        if (bNumber && std::to_wstring(r.item.Id) == target) exact.push_back(&r.item);
    if (exact.empty())
        for (const SoftRecord& r : m_records)
            if (_wcsicmp(r.item.Name.c_str(), target.c_str()) == 0) exact.push_back(&r.item);
    if (exact.empty()) {
        std::vector<UINT> ids;
        if (FAILED(m_host.Search(SEARCH_BY_NAME, target, ids))) {
            m_cli.err.Say("Search failed");
            return kExitComponent;
        }
        for (UINT id : ids)
            for (const SoftRecord& r : m_records)
                if (r.item.Id == id) {
                    exact.push_back(&r.item);
                    break;
                }
    }
    if (exact.empty()) {
        m_cli.err.Say("no program is named or numbered '" + ToUtf8(target) + "' (kxuninst list shows them)");
        return kExitUsage;
    }
    if (exact.size() > 1) {
        std::string names;
        for (const CSoftItem* p : exact) names += "\n  " + std::to_string(p->Id) + "  " + ToUtf8(p->Name);
        m_cli.err.Say("'" + ToUtf8(target) + "' names " + std::to_string(exact.size()) +
                      " programs; give one of their ids or its whole name:" + names);
        return kExitUsage;
    }
    m_target = *exact.front();
    return kExitOk;
}

int UninstallFlow::Confirm() {
    if (m_cli.opt.yes) return kExitOk;
    std::string answer;
    const std::string question = "Uninstall " + ToUtf8(m_target.Name) + " (id " + std::to_string(m_target.Id) +
                                 (m_target.Key.empty() ? "" : ", " + ToUtf8(m_target.Key)) + ")? [y/N] ";
    Answer a = AskLine(m_cli.err, m_host, question, answer);
    if (a == Answer::Interrupted) {
        m_cli.err.Say("interrupted (Ctrl-C): nothing was uninstalled");
        return kExitInterrupted;
    }
    if (answer == "y" || answer == "Y" || answer == "yes" || answer == "YES" || answer == "Yes") return kExitOk;
    m_cli.err.Say("nothing was uninstalled");
    return kExitUsage;
}

void UninstallFlow::Reached(UINT nState) {
    const double s = static_cast<double>(GetTickCount64() - m_nStart) / 1000.0;
    bool bAfter = false;
    for (const StateEvent& e : m_events) bAfter = bAfter || e.nState == SOFT_STATE_UNINSTALLER_RUNNING;
    StateEvent e{nState, s, StateWords(nState, bAfter)};
    m_events.push_back(e);
    const std::string line = Seconds(s) + "  " + std::to_string(nState) + "  " + e.words;
    if (m_cli.opt.json) {
        if (!m_cli.opt.quiet) m_cli.err.Say(line);
    } else {
        m_cli.err.ClearActivity();
        m_cli.out.Write(line + "\n");
    }
}

int UninstallFlow::RunUninstaller() {
    m_nStart = GetTickCount64();
    HRESULT hr = m_host.Uninstall(m_target.Id);
    KX_SOFT_STATE now = m_states.Get(m_target.Id);
    if (FAILED(hr)) {
        m_cli.err.Say("the component refused to uninstall " + ToUtf8(m_target.Name) + " (its state is " +
                      std::to_string(now.nState) + ": " + StateWords(now.nState, false) + ")");
        return kExitComponent;
    }
    m_trail.Begin(now);
    Reached(now.nState);
    // Ctrl-C cancels the uninstall; the component answers with state 19.
    m_host.OnInterrupt([this] {
        if (m_bCancelled) return;
        m_bCancelled = true;
        m_cli.err.Say("cancelling the uninstall (Ctrl-C)");
        m_host.CancelUninstall(m_target.Id);
    });
    Activity activity(m_cli.err, !m_cli.opt.quiet);
    activity.SetPhase(StateWords(now.nState, false) + "\u2026");
    // The uninstaller is waited for without limit: only the user ends it.
    while (!IsFinalState(m_trail.Current())) {
        for (const ListNotification& n : m_host.Pump(100)) {
            if (n.nType != LIST_SOFT || !(n.nAct & ACT_STATE_CHANGED) || static_cast<UINT>(n.lParam) != m_target.Id)
                continue;
            for (UINT s : m_trail.Advance(m_states.Get(m_target.Id))) {
                Reached(s);
                activity.SetPhase(m_events.back().words + "\u2026");
            }
        }
        activity.Tick();
    }
    m_cli.err.ClearActivity();
    m_host.OnInterrupt(nullptr);
    return Outcome(m_trail.Current());
}

int UninstallFlow::Outcome(UINT nState) {
    const std::string name = ToUtf8(m_target.Name);
    switch (nState) {
        case SOFT_STATE_REMOVED:
            m_strResult = "removed";
            return m_bCancelled ? kExitInterrupted : kExitOk;
        case SOFT_STATE_LEFTOVERS_OFFERED:
            m_strResult = "leftovers offered";
            return m_bCancelled ? kExitInterrupted : kExitOk;
        default: break;
    }
    if (m_bCancelled) {
        m_strResult = "cancelled";
        m_cli.err.Say("cancelled: the uninstall of " + name +
                      " did not take place; its uninstaller may still be running");
        return kExitInterrupted;
    }
    if (m_target.Virtual == 1 && SoftCentreRemoved(m_target.Folder)) {
        m_strResult = "removed by the software centre";
        m_cli.err.Say(name + " was removed by the software centre; it leaves the list at the next refresh");
        return kExitOk;
    }
    if (!m_trail.SawUninstaller()) {
        m_strResult = "not listed";
        m_cli.err.Say(name + " is no longer in the component's list");
        return kExitNotFound;
    }
    m_strResult = "still installed";
    m_cli.err.Say(name + " is still installed: its uninstall was cancelled or failed in the uninstaller");
    return kExitStillInstalled;
}

int UninstallFlow::OfferLeftovers() {
    std::vector<CPowerSweepItem> items;
    std::wstring error;
    if (!m_host.ReadSweepList(items, error)) {
        m_cli.err.Say(ToUtf8(error));
        return kExitComponent;
    }
    m_leftovers = MeasureLeftovers(items);
    SweepRun sweep(m_cli, m_host, m_states, m_target);
    return sweep.Run(m_leftovers, m_sweep);
}

int UninstallFlow::Run() {
    int rc = FindTarget();
    if (rc != kExitOk) return rc;
    std::wstring error;
    if (!m_states.Open(m_cli.folder, error)) {
        m_cli.err.Say(ToUtf8(error));
        return kExitComponent;
    }
    rc = Confirm();
    if (rc != kExitOk) return rc;
    rc = RunUninstaller();
    if (rc == kExitOk && m_trail.Current() == SOFT_STATE_LEFTOVERS_OFFERED) rc = OfferLeftovers();
    if (m_cli.opt.json) PrintJson();
    return rc;
}

void UninstallFlow::PrintJson() {
    JsonObject program("");
    program.Unsigned("id", m_target.Id).Text("name", m_target.Name).Text("key", m_target.Key);
    program.Text("folder", m_target.Folder).Bool("softwareCentre", m_target.Virtual == 1);
    std::string states = "[";
    for (size_t i = 0; i < m_events.size(); ++i) {
        char seconds[32];
        snprintf(seconds, sizeof(seconds), "%.1f", m_events[i].seconds);
        JsonObject e("");
        e.Unsigned("state", m_events[i].nState).Raw("seconds", seconds).Text("words", FromUtf8(m_events[i].words));
        states += (i ? ",\n    " : "\n    ") + e.Close();
    }
    states += m_events.empty() ? "]" : "\n  ]";
    JsonObject doc("  ");
    doc.Raw("program", program.Close()).Raw("states", states).Text("result", FromUtf8(m_strResult));
    doc.Raw("leftovers", LeftoversJson(m_leftovers, "  "));
    if (m_sweep.bAsked) {
        std::string ids = "[";
        for (size_t i = 0; i < m_sweep.ids.size(); ++i) ids += (i ? ", " : "") + std::to_string(m_sweep.ids[i]);
        JsonObject sweep("    ");
        sweep.Raw("chosen", ids + "]").Unsigned("state", m_sweep.nFinalState);
        sweep.Raw("entries", SweepJson(m_sweep.outcomes, "    "));
        doc.Raw("sweep", sweep.Close());
    }
    m_cli.out.Write(doc.Close() + "\n");
}
