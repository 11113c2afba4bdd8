// Resource ids of KxUninst.dll (KxUninst.rc).
#pragma once

#define IDS_PROJNAME 100
#define IDR_KXUNINST 101     // registry script of the AppID
#define IDR_KXUNINSTMGR 102  // registry script of the class CKxUninstMgr
