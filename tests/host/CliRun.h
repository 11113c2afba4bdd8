// Runs kxuninst.exe as a child process with its standard output and standard error captured apart.
#pragma once

#include <windows.h>
#include <string>

struct CliResult {
    DWORD exitCode = 0xFFFFFFFF;  // also when the child could not start or was killed at the time-out
    std::string out;              // bytes written to standard output
    std::string err;
};

// exe: full path of kxuninst.exe; args: the command line after the program name.
CliResult RunCli(const std::wstring& exe, const std::wstring& args, DWORD dwTimeoutMs = 120000);
