// Helpers of the component tests: an object with its worker seam, and log lines by message.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "KxUninstMgr.h"

namespace kxct {

// Owns one reference to a fresh CKxUninstMgr.
class MgrRef {
public:
    MgrRef();
    ~MgrRef();
    MgrRef(const MgrRef&) = delete;
    MgrRef& operator=(const MgrRef&) = delete;
    CKxUninstMgr* operator->() const { return m_p; }
    CKxUninstMgr* get() const { return m_p; }

private:
    CKxUninstMgr* m_p;
};

// Records the tasks the worker runs (through the worker's test seam) and can hold the worker inside one task
// code until released. Installed for the lifetime of the object.
class TaskRecorder {
public:
    TaskRecorder();
    ~TaskRecorder();
    // The worker blocks when it pops nTask (after recording it) until Release(); bForever: never returns.
    void HoldAt(UINT nTask, bool bForever = false);
    void Release();
    std::vector<std::pair<UINT, UINT>> Runs() const;
    // Waits until nTask has been popped (count times in all); false on time-out.
    bool WaitForRun(UINT nTask, int count = 1, DWORD dwTimeoutMs = 5000) const;
    bool WaitUntilHeld(DWORD dwTimeoutMs = 5000) const;
};

// The queue's content, under its lock.
std::vector<std::pair<UINT, UINT>> Queue(CKxUninstMgr* p);

// Messages of the component log written since `from` (prefixes stripped), optionally only those of a function.
std::vector<std::wstring> LogMessages(size_t from, const std::wstring& function = L"");
size_t LogMark();

}  // namespace kxct
