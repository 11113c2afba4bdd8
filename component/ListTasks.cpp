// The list tasks of the worker and the cache payload hooks: each takes the lock its list needs and runs the
// list code on the object's lists.
#define KX_LOG_SOURCE ".\\KxUninstMgr"
#include "KxUninstMgr.h"

#include "ListBuild.h"
#include "ListCache.h"
#include "KxLog.h"
#include "SoftItem.h"

void CKxUninstMgr::TaskLoadCache() {
    KXLOG(1, L"Begin");
    KXLOG(1, L"step.1 加载Cache");
    kx::CritSecLock lock(m_csList);

    UINT nVersion = 0;
    if (m_pDataMgr) m_pDataMgr->GetDataVersion(DATA_UNINSTALL_RULE, &nVersion);
    LoadFromDisk(LIST_SOFT, nVersion, kx::MakeBstr(CacheFilePath(m_strCacheDir, LIST_SOFT)).get());

    KXLOG(1, L"step.2 分析Cache");
    SoftLists lists = Lists();
    if (ReviewCachedList(lists, m_pDataMgr.get())) {
        m_bListReady = TRUE;
        lists.Notify(LIST_CATEGORY, ACT_LIST_READY, 0);
        lists.Notify(LIST_SOFT, ACT_LIST_READY, 0);
    }
    KXLOG(1, L"End");
}

void CKxUninstMgr::TaskCreateUnList() {
    ListBuildContext ctx = BuildContext();
    CreateUnList(ctx);
}

void CKxUninstMgr::TaskAdd(UINT nId) {
    ListBuildContext ctx = BuildContext();
    AddUnItem(ctx, nId);
}

int CKxUninstMgr::_DumpToDisk(UINT nType, CSerializer& writer) {
    if (nType != LIST_SOFT) return 1;
    kx::CritSecLock lock(m_csList);
    return WriteSoftList(m_vecSoft, writer);
}

int CKxUninstMgr::_LoadFromDisk(UINT nType, CSerializer& reader) {
    if (nType != LIST_SOFT) return 1;
    kx::CritSecLock lock(m_csList);
    return ReadSoftList(m_vecSoft, reader);
}
