// Placeholder until the task engine lands.
#include "KxUninstMgr.h"

void CKxUninstMgr::TaskPush(UINT, UINT) {}
void CKxUninstMgr::TaskPop(UINT& nTask, UINT& nParam) { nTask = TASK_EMPTY; nParam = 0; }
DWORD CKxUninstMgr::TaskThread() { return 0; }
unsigned __stdcall CKxUninstMgr::ThreadProc(void* pThis) { return static_cast<CKxUninstMgr*>(pThis)->TaskThread(); }
