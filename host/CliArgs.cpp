#include "CliArgs.h"

#include <cwchar>

const char* const kCliUsage =
    "usage: kxuninst [options] COMMAND\n"
    "\n"
    "commands:\n"
    "  list                    the uninstallable software: id, name, category, size, install date, use, key\n"
    "  categories              the categories with their number of programs\n"
    "  search TEXT             programs whose name contains TEXT or matches it by pinyin\n"
    "  search --category NAME  programs of one category\n"
    "  refresh                 rebuild the list from the machine, then show it\n"
    "  register | unregister   register KxUninst.dll as a COM server (or remove it)\n"
    "\n"
    "options:\n"
    "  --json            machine-readable output (a JSON array) on standard output\n"
    "  --cache-dir DIR   keep the list cache in DIR (created when missing)\n"
    "  --timeout SEC     give up when the list is not built after SEC seconds (default 300)\n"
    "  --quiet           no activity indicator\n"
    "  --help            this text\n"
    "\n"
    "exit codes: 0 done, 2 usage error, 3 component missing or unusable, 4 time-out\n";

namespace {

bool ParseTimeout(const std::wstring& text, unsigned& ms) {
    if (text.empty()) return false;
    wchar_t* end = nullptr;
    double seconds = wcstod(text.c_str(), &end);
    if (end == text.c_str() || *end != L'\0' || !(seconds > 0) || seconds > 86400) return false;
    ms = static_cast<unsigned>(seconds * 1000 + 0.5);
    if (ms == 0) ms = 1;
    return true;
}

bool CommandFromName(const std::wstring& name, CliCommand& command) {
    static const struct { const wchar_t* name; CliCommand command; } kCommands[] = {
        {L"list", CliCommand::List},         {L"categories", CliCommand::Categories},
        {L"search", CliCommand::Search},     {L"refresh", CliCommand::Refresh},
        {L"register", CliCommand::Register}, {L"unregister", CliCommand::Unregister},
        {L"help", CliCommand::Help},
    };
    for (const auto& c : kCommands) {
        if (name == c.name) {
            command = c.command;
            return true;
        }
    }
    return false;
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
        if (a == L"--json") {
            opt.json = true;
        } else if (a == L"--quiet" || a == L"-q") {
            opt.quiet = true;
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
            std::wstring text;
            if (!value(text)) return false;
            if (!ParseTimeout(text, opt.timeoutMs)) {
                error = L"--timeout needs a number of seconds above 0, not '" + text + L"'";
                return false;
            }
        } else if (a == L"--category") {
            if (!value(opt.searchText)) return false;
            haveCategory = true;
        } else if (a.size() > 1 && a[0] == L'-' && a != L"--") {
            error = L"unknown option " + a;
            return false;
        } else if (!haveCommand) {
            if (!CommandFromName(a, opt.command)) {
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
    if (haveCategory && opt.command != CliCommand::Search) {
        error = L"--category belongs to the search command";
        return false;
    }
    if (opt.command == CliCommand::Search) {
        if (haveCategory == !operands.empty()) {
            error = haveCategory ? L"search takes either TEXT or --category NAME" : L"search needs TEXT or --category NAME";
            return false;
        }
        opt.byCategory = haveCategory;
        if (!haveCategory) opt.searchText = operands.front();
        if (operands.size() > 1) {
            error = L"search takes one TEXT (quote it when it has spaces)";
            return false;
        }
        if (opt.searchText.empty()) {
            error = L"the search text is empty";
            return false;
        }
        return true;
    }
    if (!operands.empty()) {
        error = L"unexpected argument '" + operands.front() + L"'";
        return false;
    }
    return true;
}
