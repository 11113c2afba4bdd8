// Runs kxuninst.exe with a console of its own, waits until its standard error shows a text, and sends it Ctrl-C
// the way a terminal does (a console control event: a child without a console gets none). The child writes
// straight into the two files (pipes would stay open as long as the uninstaller it leaves running), and this
// helper exits with the child's exit code (255 when a step failed).
//
//   uninstall_ctrlc.exe OUT_FILE ERR_FILE WAIT_FOR_TEXT KXUNINST_EXE ARGUMENTS...
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <string>

#include "ScopedHandle.h"
#include "WinText.h"

namespace {

HANDLE InheritableFile(const std::wstring& path) {
    SECURITY_ATTRIBUTES sa = {sizeof(sa), nullptr, TRUE};
    return CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

std::string ReadAll(const std::wstring& path) {
    kx::unique_hfile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    std::string bytes;
    char buffer[4096];
    DWORD read = 0;
    while (file && ReadFile(file.get(), buffer, sizeof(buffer), &read, nullptr) && read > 0) bytes.append(buffer, read);
    return bytes;
}

}  // namespace

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv || argc < 5) {
        fprintf(stderr, "usage: uninstall_ctrlc OUT ERR WAIT_FOR_TEXT KXUNINST_EXE ARGUMENTS...\n");
        return 255;
    }
    const std::wstring errPath = argv[2];
    const std::string waitFor = ToUtf8(argv[3]);
    std::wstring commandLine = L"\"" + std::wstring(argv[4]) + L"\"";
    for (int i = 5; i < argc; ++i) commandLine += std::wstring(L" \"") + argv[i] + L"\"";
    kx::unique_handle out(InheritableFile(argv[1])), err(InheritableFile(errPath));
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = out.get();
    si.hStdError = err.get();
    PROCESS_INFORMATION pi = {};
    if (!out || !err || !CreateProcessW(argv[4], &commandLine[0], nullptr, nullptr, TRUE, CREATE_NEW_CONSOLE, nullptr,
                                        nullptr, &si, &pi))
        return 255;
    kx::unique_handle process(pi.hProcess), thread(pi.hThread);
    out.reset();
    err.reset();
    bool seen = false;
    for (int i = 0; i < 600 && !seen; ++i) {
        seen = ReadAll(errPath).find(waitFor) != std::string::npos;
        if (!seen && WaitForSingleObject(process.get(), 100) == WAIT_OBJECT_0) break;
    }
    bool sent = false;
    if (seen) {
        Sleep(1000);
        FreeConsole();
        if (AttachConsole(pi.dwProcessId)) {
            SetConsoleCtrlHandler(nullptr, TRUE);
            sent = GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0) != FALSE;
            FreeConsole();
            SetConsoleCtrlHandler(nullptr, FALSE);
        }
    }
    const ULONGLONG sentAt = GetTickCount64();
    if (WaitForSingleObject(process.get(), 60000) != WAIT_OBJECT_0) TerminateProcess(process.get(), 0xFFFFFFFF);
    DWORD code = 0xFFFFFFFF;
    GetExitCodeProcess(process.get(), &code);
    LocalFree(argv);
    fprintf(stderr, "Ctrl-C %s; kxuninst ended with %lu, %lu ms after it\n", sent ? "sent" : "NOT sent",
            static_cast<unsigned long>(code), static_cast<unsigned long>(GetTickCount64() - sentAt));
    return sent ? static_cast<int>(code) : 255;
}
