#include "kxtest/ChildProcess.h"

#include <cstring>
#include <map>
#include <vector>

#include "ScopedHandle.h"

namespace kxtest {
namespace {

std::map<std::string, ChildFn>& Modes() {
    static std::map<std::string, ChildFn> modes;
    return modes;
}

const char kFlag[] = "--kx-child=";

}  // namespace

bool RegisterChildMode(const char* name, ChildFn fn) {
    Modes()[name] = fn;
    return true;
}

std::wstring ChildCommandLine(const std::string& mode, const std::wstring& args) {
    wchar_t szExe[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, szExe, MAX_PATH);
    std::wstring cmd = L"\"" + std::wstring(szExe) + L"\" --kx-child=" + std::wstring(mode.begin(), mode.end());
    if (!args.empty()) cmd += L" " + args;
    return cmd;
}

HANDLE StartChild(const std::string& mode, const std::wstring& args, DWORD dwCreationFlags) {
    std::wstring cmd = ChildCommandLine(mode, args);
    std::vector<wchar_t> buffer(cmd.begin(), cmd.end());
    buffer.push_back(L'\0');
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE, dwCreationFlags, nullptr, nullptr, &si, &pi))
        return nullptr;
    kx::unique_handle thread(pi.hThread);
    return pi.hProcess;
}

DWORD RunChild(const std::string& mode, const std::wstring& args, DWORD dwTimeoutMs) {
    kx::unique_handle h(StartChild(mode, args));
    DWORD code = 0xFFFFFFFF;
    if (h && WaitForSingleObject(h.get(), dwTimeoutMs) == WAIT_OBJECT_0) GetExitCodeProcess(h.get(), &code);
    else if (h) TerminateProcess(h.get(), 0xFFFFFFFF);
    return code;
}

bool DispatchChildMode(int argc, char** argv, int& exitCode) {
    if (argc < 2 || strncmp(argv[1], kFlag, sizeof(kFlag) - 1) != 0) return false;
    std::string mode = argv[1] + sizeof(kFlag) - 1;
    // The arguments after the mode, as the wide command line holds them.
    std::wstring cmdline = GetCommandLineW();
    size_t at = cmdline.find(L"--kx-child=");
    std::wstring args;
    if (at != std::wstring::npos) {
        size_t end = cmdline.find(L' ', at);
        if (end != std::wstring::npos) args = cmdline.substr(end + 1);
    }
    auto it = Modes().find(mode);
    exitCode = it == Modes().end() ? 0xFE : it->second(args);
    return true;
}

}  // namespace kxtest
