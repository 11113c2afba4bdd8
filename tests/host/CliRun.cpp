#include "CliRun.h"

#include <mutex>
#include <thread>

#include "ScopedHandle.h"

struct CliProcess::State {
    kx::unique_handle process, thread, outRead, errRead;
    std::thread outReader, errReader;
    mutable std::mutex mutex;
    CliResult result;
    ULONGLONG nStart = 0;
    DWORD pid = 0;

    // Reads until the child has ended and all it wrote is read, not until the pipe closes: a process the child
    // starts may keep the write end (under Wine the desktop process its first window starts gets its standard
    // error, and stays while this process, a user of the desktop too, waits for the end of the pipe).
    void Drain(HANDLE pipe, std::string CliResult::*into) {
        char buffer[4096];
        for (bool bEnded = false;;) {
            DWORD available = 0;
            if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr)) return;  // every writer is gone
            if (available == 0) {
                if (bEnded) return;
                // What the child wrote before it ended is in the pipe once it has: one more look after that.
                bEnded = WaitForSingleObject(process.get(), 10) == WAIT_OBJECT_0;
                continue;
            }
            DWORD read = 0;
            if (!ReadFile(pipe, buffer, available < sizeof(buffer) ? available : sizeof(buffer), &read, nullptr) ||
                read == 0)
                return;
            std::lock_guard<std::mutex> lock(mutex);
            (result.*into).append(buffer, read);
        }
    }
};

namespace {

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

CliProcess::CliProcess() : m_p(new State) {}

CliProcess::~CliProcess() {
    if (m_p->process) Finish(0);
}

bool CliProcess::Start(const std::wstring& exe, const std::wstring& args, DWORD dwFlags) {
    kx::unique_handle outWrite, errWrite;
    if (!MakePipe(m_p->outRead, outWrite) || !MakePipe(m_p->errRead, errWrite)) return false;
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = outWrite.get();
    si.hStdError = errWrite.get();
    std::wstring commandLine = L"\"" + exe + L"\" " + args;
    PROCESS_INFORMATION pi = {};
    m_p->nStart = GetTickCount64();
    if (!CreateProcessW(exe.c_str(), &commandLine[0], nullptr, nullptr, TRUE, dwFlags, nullptr, nullptr, &si, &pi))
        return false;
    m_p->process.reset(pi.hProcess);
    m_p->thread.reset(pi.hThread);
    m_p->pid = pi.dwProcessId;
    // The child holds the write ends now; ours must go for the reads to end with the child.
    outWrite.reset();
    errWrite.reset();
    State* s = m_p.get();
    s->errReader = std::thread([s] { s->Drain(s->errRead.get(), &CliResult::err); });
    s->outReader = std::thread([s] { s->Drain(s->outRead.get(), &CliResult::out); });
    return true;
}

DWORD CliProcess::ProcessId() const { return m_p->pid; }

std::string CliProcess::ErrSoFar() const {
    std::lock_guard<std::mutex> lock(m_p->mutex);
    return m_p->result.err;
}

CliResult CliProcess::Finish(DWORD dwTimeoutMs) {
    if (!m_p->process) return m_p->result;
    if (WaitForSingleObject(m_p->process.get(), dwTimeoutMs) != WAIT_OBJECT_0)
        TerminateProcess(m_p->process.get(), 0xFFFFFFFF);
    WaitForSingleObject(m_p->process.get(), INFINITE);
    m_p->result.ms = static_cast<DWORD>(GetTickCount64() - m_p->nStart);
    m_p->outReader.join();
    m_p->errReader.join();
    GetExitCodeProcess(m_p->process.get(), &m_p->result.exitCode);
    m_p->process.reset();
    return m_p->result;
}

CliResult RunCli(const std::wstring& exe, const std::wstring& args, DWORD dwTimeoutMs) {
    CliProcess child;
    if (!child.Start(exe, args)) return CliResult();
    return child.Finish(dwTimeoutMs);
}
