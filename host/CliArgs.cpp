#include "CliArgs.h"

#include <cwchar>

const char* const kCliUsage =
#include "CliUsage.inc"
    ;

namespace {

const double kMaxTimeoutSeconds = 86400;

bool ParseTimeout(const std::wstring& text, unsigned& ms, std::wstring& error) {
    wchar_t* end = nullptr;
    double seconds = text.empty() ? 0 : wcstod(text.c_str(), &end);
    if (text.empty() || end == text.c_str() || *end != L'\0' || !(seconds > 0)) {
        error = L"--timeout needs a number of seconds above 0, not '" + text + L"'";
        return false;
    }
    if (seconds > kMaxTimeoutSeconds) {
        error = L"--timeout is at most 86400 seconds (a day), not " + text;
        return false;
    }
    ms = static_cast<unsigned>(seconds * 1000 + 0.5);
    if (ms == 0) ms = 1;
    return true;
}

template <typename T>
bool FromName(const std::wstring& name, const std::vector<std::pair<const wchar_t*, T>>& table, T& value) {
    for (const auto& entry : table) {
        if (name == entry.first) {
            value = entry.second;
            return true;
        }
    }
    return false;
}

const std::vector<std::pair<const wchar_t*, CliCommand>> kCommands = {
    {L"list", CliCommand::List},         {L"show", CliCommand::Show},
    {L"categories", CliCommand::Categories}, {L"search", CliCommand::Search},
    {L"refresh", CliCommand::Refresh},   {L"register", CliCommand::Register},
    {L"unregister", CliCommand::Unregister}, {L"help", CliCommand::Help},
    {L"uninstall", CliCommand::Uninstall},
};

const std::vector<std::pair<const wchar_t*, SortKey>> kSortKeys = {
    {L"name", SortKey::Name}, {L"size", SortKey::Size}, {L"date", SortKey::Date}, {L"category", SortKey::Category}};

// --sweep all|none|keep|LIST; a LIST is checked against the leftovers once they are known.
bool ParseSweep(const std::wstring& text, CliOptions& opt, std::wstring& error) {
    const std::vector<std::pair<const wchar_t*, SweepMode>> modes = {
        {L"all", SweepMode::All}, {L"none", SweepMode::None}, {L"keep", SweepMode::Keep}};
    if (FromName(text, modes, opt.sweep)) return true;
    if (text.empty() || text.find_first_not_of(L"0123456789,- ") != std::wstring::npos) {
        error = L"--sweep takes all, none, keep or numbers and ranges like 2,4-6, not '" + text + L"'";
        return false;
    }
    opt.sweep = SweepMode::List;
    opt.sweepList = text;
    return true;
}

// The operands of a command: search TEXT (or --category), show NAME|ID, nothing for the others.
bool CheckOperands(CliOptions& opt, bool haveCategory, const std::vector<std::wstring>& operands,
                   std::wstring& error) {
    if (haveCategory && opt.command != CliCommand::Search) {
        error = L"--category belongs to the search command";
        return false;
    }
    if (opt.command == CliCommand::Search) {
        if (haveCategory == !operands.empty()) {
            error = haveCategory ? L"search takes either TEXT or --category NAME"
                                 : L"search needs TEXT or --category NAME";
            return false;
        }
        opt.byCategory = haveCategory;
        if (!haveCategory) opt.target = operands.front();
        if (operands.size() > 1) {
            error = L"search takes one TEXT (quote it when it has spaces)";
            return false;
        }
        if (opt.target.empty()) {
            error = L"the search text is empty";
            return false;
        }
        return true;
    }
    if (opt.command != CliCommand::Uninstall && (opt.yes || opt.allowChanges || opt.sweep != SweepMode::Ask)) {
        error = L"--yes, --allow-changes and --sweep belong to the uninstall command";
        return false;
    }
    if (opt.command == CliCommand::Show || opt.command == CliCommand::Uninstall) {
        if (operands.size() != 1 || operands.front().empty()) {
            error = std::wstring(opt.command == CliCommand::Show ? L"show" : L"uninstall") +
                    L" needs one program: its NAME (quote it when it has spaces) or its ID";
            return false;
        }
        opt.target = operands.front();
        return true;
    }
    if (!operands.empty()) {
        error = L"unexpected argument '" + operands.front() + L"'";
        return false;
    }
    return true;
}

}  // namespace

bool ParseCliArgs(const std::vector<std::wstring>& args, CliOptions& opt, std::wstring& error) {
    opt = CliOptions();
    bool haveCommand = false;
    bool haveCategory = false;
    std::vector<std::wstring> operands;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::wstring& a = args[i];
        auto value = [&](std::wstring& out) {
            if (i + 1 >= args.size()) {
                error = a + L" needs a value";
                return false;
            }
            out = args[++i];
            return true;
        };
        std::wstring text;
        if (a == L"--json") {
            opt.json = true;
        } else if (a == L"--wide") {
            opt.wide = true;
        } else if (a == L"--quiet" || a == L"-q") {
            opt.quiet = true;
        } else if (a == L"--verbose" || a == L"-v") {
            opt.verbose = true;
        } else if (a == L"--help" || a == L"-h" || a == L"/?") {
            opt.command = CliCommand::Help;
            return true;
        } else if (a == L"--cache-dir") {
            if (!value(opt.cacheDir)) return false;
            if (opt.cacheDir.empty()) {
                error = L"--cache-dir needs a folder";
                return false;
            }
        } else if (a == L"--timeout") {
            if (!value(text) || !ParseTimeout(text, opt.timeoutMs, error)) return false;
        } else if (a == L"--sort") {
            if (!value(text)) return false;
            if (!FromName(text, kSortKeys, opt.sort)) {
                error = L"--sort takes name, size, date or category, not '" + text + L"'";
                return false;
            }
        } else if (a == L"--yes" || a == L"-y") {
            opt.yes = true;
        } else if (a == L"--allow-changes") {
            opt.allowChanges = true;
        } else if (a == L"--sweep") {
            if (!value(text) || !ParseSweep(text, opt, error)) return false;
        } else if (a == L"--category") {
            if (!value(opt.target)) return false;
            haveCategory = true;
        } else if (a.size() > 1 && a[0] == L'-' && a != L"--") {
            error = L"unknown option " + a;
            return false;
        } else if (!haveCommand) {
            if (!FromName(a, kCommands, opt.command)) {
                error = L"unknown command '" + a + L"'";
                return false;
            }
            haveCommand = true;
        } else {
            operands.push_back(a);
        }
    }
    if (!haveCommand) {
        error = L"no command given";
        return false;
    }
    return CheckOperands(opt, haveCategory, operands, error);
}
