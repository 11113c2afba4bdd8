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

// Starts the child and returns its process handle (the caller owns it), or NULL.
HANDLE StartChild(const std::string& mode, const std::wstring& args = L"", DWORD dwCreationFlags = 0);

// Runs the child to its end and returns its exit code; 0xFFFFFFFF when it could not start or timed out
// (it is then terminated).
DWORD RunChild(const std::string& mode, const std::wstring& args = L"", DWORD dwTimeoutMs = 30000);

// Called by main(): runs a child mode when the command line asks for one. Returns true (and sets exitCode)
// when it did.
bool DispatchChildMode(int argc, char** argv, int& exitCode);

}  // namespace kxtest

#define KXTEST_CHILD_MODE(name)                                                              \
    static int kxChild_##name(const std::wstring& args);                                    \
    static const bool kxChildReg_##name = ::kxtest::RegisterChildMode(#name, kxChild_##name); \
    static int kxChild_##name(const std::wstring& args)
