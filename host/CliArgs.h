// The command line of kxuninst.exe.
#pragma once

#include <string>
#include <vector>

enum class CliCommand { Help, List, Show, Categories, Search, Refresh, Register, Unregister, Uninstall };
enum class SortKey { Name, Size, Date, Category };
// What uninstall does with the leftovers it is offered: ask on a terminal, or the answer given by --sweep.
enum class SweepMode { Ask, All, None, Keep, List };

struct CliOptions {
    CliCommand command = CliCommand::Help;
    bool json = false;
    bool wide = false;
    bool quiet = false;        // no activity line, no notes
    bool verbose = false;      // the component's output lines on standard error
    bool byCategory = false;   // search --category NAME|ID
    std::wstring target;       // search TEXT, the category of search --category, show and uninstall NAME|ID
    bool yes = false;          // uninstall without asking
    bool allowChanges = false; // uninstall also in a prefix that is otherwise only read
    SweepMode sweep = SweepMode::Ask;
    std::wstring sweepList;    // --sweep LIST: numbers and ranges of the leftovers shown
    SortKey sort = SortKey::Name;
    std::wstring cacheDir;     // empty: the component's own cache folder
    unsigned timeoutMs = 300000;  // for the list to be built
};

// Fills opt from the arguments after the program name. On a usage error returns false with a one-line reason.
bool ParseCliArgs(const std::vector<std::wstring>& args, CliOptions& opt, std::wstring& error);

extern const char* const kCliUsage;
