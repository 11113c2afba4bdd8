#include "CliRun.h"

#include <thread>

#include "ScopedHandle.h"

namespace {

void Drain(HANDLE pipe, std::string& into) {
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(pipe, buffer, sizeof(buffer), &read, nullptr) && read > 0) into.append(buffer, read);
}

bool MakePipe(kx::unique_handle& readEnd, kx::unique_handle& writeEnd) {
    SECURITY_ATTRIBUTES sa = {sizeof(sa), nullptr, TRUE};
    HANDLE r = nullptr, w = nullptr;
    if (!CreatePipe(&r, &w, &sa, 0)) return false;
    readEnd.reset(r);
    writeEnd.reset(w);
    SetHandleInformation(r, HANDLE_FLAG_INHERIT, 0);
    return true;
}

}  // namespace

CliResult RunCli(const std::wstring& exe, const std::wstring& args, DWORD dwTimeoutMs) {
    CliResult result;
    kx::unique_handle outRead, outWrite, errRead, errWrite;
    if (!MakePipe(outRead, outWrite) || !MakePipe(errRead, errWrite)) return result;

    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = outWrite.get();
    si.hStdError = errWrite.get();
    std::wstring commandLine = L"\"" + exe + L"\" " + args;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(exe.c_str(), &commandLine[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr,
                        &si, &pi)) {
        return result;
    }
    kx::unique_handle process(pi.hProcess), thread(pi.hThread);
    // The child holds the write ends now; ours must go for the reads to end with the child.
    outWrite.reset();
    errWrite.reset();
    std::thread errReader(Drain, errRead.get(), std::ref(result.err));
    std::thread outReader(Drain, outRead.get(), std::ref(result.out));
    if (WaitForSingleObject(process.get(), dwTimeoutMs) != WAIT_OBJECT_0) TerminateProcess(process.get(), 0xFFFFFFFF);
    WaitForSingleObject(process.get(), INFINITE);
    outReader.join();
    errReader.join();
    GetExitCodeProcess(process.get(), &result.exitCode);
    return result;
}
