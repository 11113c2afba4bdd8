// Runs kxuninst.exe as a child process with its standard output and standard error captured apart.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

struct CliResult {
    DWORD exitCode = 0xFFFFFFFF;  // also when the child could not start or was killed at the time-out
    std::string out;              // bytes written to standard output
    std::string err;
    DWORD ms = 0;                 // from start to end
};

// A running kxuninst.exe.
class CliProcess {
public:
    CliProcess();
    ~CliProcess();
    // exe: full path of kxuninst.exe; args: the command line after the program name; flags: CreateProcess's.
    bool Start(const std::wstring& exe, const std::wstring& args, DWORD dwFlags = CREATE_NO_WINDOW);
    DWORD ProcessId() const;
    // Standard error as written so far.
    std::string ErrSoFar() const;
    // Waits for the end (terminating the child after dwTimeoutMs) and returns what it wrote.
    CliResult Finish(DWORD dwTimeoutMs);

private:
    struct State;
    std::unique_ptr<State> m_p;
};

CliResult RunCli(const std::wstring& exe, const std::wstring& args, DWORD dwTimeoutMs = 120000);
