// Tests that need another process relaunch their own binary in a child mode. A mode is registered with
// KXTEST_CHILD_MODE(name) { ...; return exit code; } and started with RunChild / StartChild.
#pragma once

#include <windows.h>
#include <string>

namespace kxtest {

using ChildFn = int (*)(const std::wstring& args);
bool RegisterChildMode(const char* name, ChildFn fn);

// Command line that runs this binary in the given mode.
std::wstring ChildCommandLine(const std::string& mode, const std::wstring& args = L"");

// Starts a command line, or this binary in a child mode, and returns its process handle (the caller owns it), or
// NULL.
HANDLE StartProcess(std::wstring cmd, DWORD dwCreationFlags = 0);
inline HANDLE StartChild(const std::string& mode, const std::wstring& args = L"", DWORD dwCreationFlags = 0) {
    return StartProcess(ChildCommandLine(mode, args), dwCreationFlags);
}

// Runs a command line, or this binary in a child mode, to its end and returns its exit code; 0xFFFFFFFF when it
// could not start or timed out (it is then terminated).
DWORD RunToEnd(const std::wstring& cmd, DWORD dwTimeoutMs = 120000);
inline DWORD RunChild(const std::string& mode, const std::wstring& args = L"", DWORD dwTimeoutMs = 30000) {
    return RunToEnd(ChildCommandLine(mode, args), dwTimeoutMs);
}

// Called by main(): runs a child mode when the command line asks for one. Returns true (and sets exitCode)
// when it did.
bool DispatchChildMode(int argc, char** argv, int& exitCode);

}  // namespace kxtest

#define KXTEST_CHILD_MODE(name)                                                              \
    static int kxChild_##name(const std::wstring& args);                                    \
    static const bool kxChildReg_##name = ::kxtest::RegisterChildMode(#name, kxChild_##name); \
    static int kxChild_##name(const std::wstring& args)
