// Test seam of the worker thread. When set, the worker calls the hook with every task it pops (not the
// empty-queue value 10) before running it; a hook that returns true has taken the task over and the task
// function is not called (the exit task always ends the thread). Tests use it to record the order in which
// tasks run and to stand in for a task that never returns. Nothing in the product sets it.
#pragma once

#include <windows.h>

class CKxUninstMgr;

using KxTaskHook = bool (*)(CKxUninstMgr* pMgr, UINT nTask, UINT nParam);
extern KxTaskHook g_pfnKxTaskHook;
