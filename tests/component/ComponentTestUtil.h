// Helpers of the component tests: an object owned by a reference, the worker's task seam as a recorder that can
// hold the worker inside a task, and the queue's content.
#pragma once

#include <windows.h>

#include <utility>
#include <vector>

#include "KxUninstMgr.h"

namespace kxct {

using Pairs = std::vector<std::pair<UINT, UINT>>;

// Owns one reference to a fresh CKxUninstMgr (the component's log is open).
class MgrRef {
public:
    MgrRef();
    ~MgrRef() { m_p->GetInnerUnknown()->Release(); }
    MgrRef(const MgrRef&) = delete;
    MgrRef& operator=(const MgrRef&) = delete;
    CKxUninstMgr* operator->() const { return m_p; }
    CKxUninstMgr* get() const { return m_p; }

private:
    CKxUninstMgr* m_p;
};

// Records the tasks the worker pops (through its task seam) and can hold the worker inside one task code until
// released, or for good; with bTakeListLock it holds the object's list lock meanwhile. Installed for its
// lifetime.
class TaskRecorder {
public:
    TaskRecorder();
    ~TaskRecorder();
    void HoldAt(UINT nTask, bool bForever = false, bool bTakeListLock = false);
    void Release();
    Pairs Runs() const;
    // Waits until nTask has been popped count times in all; false on time-out.
    bool WaitForRun(UINT nTask, int count = 1, DWORD dwTimeoutMs = 5000) const;
    bool WaitUntilHeld(DWORD dwTimeoutMs = 5000) const;
};

// The queue's content, under its lock.
Pairs Queue(CKxUninstMgr* p);

}  // namespace kxct
