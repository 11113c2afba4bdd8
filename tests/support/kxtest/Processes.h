// Processes for tests that start uninstallers and wait for them: a scripted uninstaller (this binary relaunched
// in a child mode) that leaves lingering children behind, the processes of a named job, a call that runs on a
// thread of its own, and the thread count of this process.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "ScopedHandle.h"

namespace kxtest {

std::wstring SelfPath();
size_t ThreadCount();

// The command of an uninstaller that starts each child (an executable copy of this binary, or this binary for
// "") lingering on an event of its own, then exits ("exit"), lingers ("linger"), or opens a window of class
// WindowClass() titled Title() and lingers ("window"). A lingering process ends when released, after at most a
// minute, so a crashed test leaves nothing behind for long. The destructor releases every process.
class ScriptedUninstaller {
public:
    ScriptedUninstaller(const wchar_t* action, const std::vector<std::wstring>& children);
    ~ScriptedUninstaller() { ReleaseAll(); }
    const std::wstring& Command() const { return m_cmd; }
    const std::wstring& Title() const { return m_base; }
    static const wchar_t* WindowClass() { return L"KxTestUninstaller"; }
    void ReleaseChild(size_t i) { SetEvent(m_events[i].get()); }
    void ReleaseAll();

private:
    std::wstring m_base, m_cmd;
    std::vector<kx::unique_handle> m_events;  // the children's, then the uninstaller's
};

// The processes in a named job (none when there is no such job), with their image names.
struct JobProcess {
    kx::unique_handle process;
    std::wstring name;
};
std::vector<JobProcess> JobProcesses(const wchar_t* jobName);
std::vector<std::wstring> JobProcessNames(const wchar_t* jobName);  // sorted

// Runs fn on a thread of its own. When a failed case leaves it running, the destructor calls abandon (which
// must make fn return) and waits for the thread.
class AsyncCall {
public:
    AsyncCall(std::function<void()> fn, std::function<void()> abandon);
    ~AsyncCall();
    bool Done() const { return Join(0); }
    bool Join(DWORD dwMs) const { return WaitForSingleObject(m_thread.get(), dwMs) == WAIT_OBJECT_0; }

private:
    std::function<void()> m_fn, m_abandon;
    kx::unique_handle m_thread;
};

}  // namespace kxtest
