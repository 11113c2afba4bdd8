// The command line of kxuninst.exe.
#pragma once

#include <string>
#include <vector>

enum class CliCommand { Help, List, Categories, Search, Refresh, Register, Unregister };

struct CliOptions {
    CliCommand command = CliCommand::Help;
    bool json = false;
    bool quiet = false;          // no activity indicator
    bool byCategory = false;     // search --category NAME
    std::wstring searchText;
    std::wstring cacheDir;       // empty: the component's own cache folder
    unsigned timeoutMs = 300000;  // for the list to be built
};

// Fills opt from the arguments after the program name. On a usage error returns false with a one-line reason.
bool ParseCliArgs(const std::vector<std::wstring>& args, CliOptions& opt, std::wstring& error);

extern const char* const kCliUsage;
