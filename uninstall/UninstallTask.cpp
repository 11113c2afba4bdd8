#define KX_LOG_SOURCE ".\\KxUninstMgr"
#include "UninstallTask.h"

#include <memory>

#include "CategoryStat.h"
#include "CategoryTable.h"
#include "Dustman.h"
#include "JobWait.h"
#include "KxLog.h"
#include "KxUninstAPI.h"
#include "PowerSweepItem.h"
#include "ScopedHandle.h"
#include "Signal.h"
#include "SoftItem.h"

namespace {

const char kTaskUninstall[] = "CKxUninstMgr::TaskUninstall";
const char kDeleteUnItem[] = "CKxUninstMgr::DeleteUnItem";

// What the task takes from the item while the list lock is held.
struct Target {
    BYTE Virtual = 0;
    std::wstring strFolder;
    std::wstring strEntryName;
    std::wstring strCommand;
};

// False when the id is not listed.
bool FindTarget(UninstallContext& ctx, UINT nSoftId, Target& target) {
    kx::CritSecLock lock(ctx.csList);
    CSoftItem* pItem = nullptr;
    for (CSoftItem* p : ctx.lists.vecSoft)
        if (p->Id == nSoftId) {
            pItem = p;
            break;
        }
    if (!pItem) return false;
    target.Virtual = pItem->Virtual;
    target.strFolder = pItem->Folder;
    if (pItem->Virtual == 1) {
        target.strEntryName = LastPathComponent(pItem->Folder);
        target.strCommand = GetQZUninstallCommand(pItem->Folder);
    } else {
        target.strEntryName = KeyNameOf(pItem->Key);
        target.strCommand = UNINST_API::GetUninstallCommand(pItem->Key.c_str());
    }
    return true;
}

// Still installed after its uninstaller ran: the user cancelled inside it.
bool StillInstalled(const Target& target) {
    if (target.Virtual == 1 && IsQZSoftInitialized(target.strFolder)) return true;
    return !UNINST_API::IsSoftwareGone(target.strEntryName, target.strCommand);
}

// The scan for leftovers (registry programs only) and what follows from it.
void OfferLeftoversOrRemove(UninstallContext& ctx, UINT nSoftId, const Target& target) {
    CDustman dustman(target.strEntryName.c_str(), target.strFolder.c_str(), ctx.hStopEvent);
    if (target.Virtual == 0) dustman.Parse();
    if (dustman.GetDustCount() > 0) {
        {
            kx::CritSecLock lock(ctx.csSweep);
            DeleteAll(ctx.vecSweep);
            dustman.ToSweepList(ctx.vecSweep);
            if (const DustGuardContext* pGuard = dustman.GuardContext()) ctx.origin = *pGuard;
        }
        KXLOG_AS(0, kTaskUninstall, L"step.3 开启强力清扫");
        SetUninstallState(ctx.lists, ctx.pDataMgr, nSoftId, SOFT_STATE_LEFTOVERS_OFFERED);
    } else {
        KXLOG_AS(0, kTaskUninstall, L"step.3 用户检测卸载完成");
        DeleteUnItem(ctx.lists, ctx.csList, ctx.pDataMgr, nSoftId);
    }
}

}  // namespace

void SetUninstallState(SoftLists& lists, IKxDataMgr* pDataMgr, UINT nSoftId, UINT nState) {
    if (pDataMgr) pDataMgr->SetSoftState(nSoftId, nState);
    lists.Notify(LIST_SOFT, ACT_STATE_CHANGED, static_cast<LPARAM>(nSoftId));
}

void UninstallSoftware(UninstallContext& ctx, UINT nSoftId) {
    KXLOG_AS(1, kTaskUninstall, L"Begin");
    KXLOG_AS(0, kTaskUninstall, L"step.1 卸载任务id=[%d]", nSoftId);
    UINT iErr = 0;
    SetUninstallState(ctx.lists, ctx.pDataMgr, nSoftId, SOFT_STATE_TASK_WORKING);
    [&] {
        Target target;
        if (!FindTarget(ctx, nSoftId, target)) {
            KXLOG_AS(0, kTaskUninstall, L"step.2 没有找到卸载软件，取消卸载");
            SetUninstallState(ctx.lists, ctx.pDataMgr, nSoftId, SOFT_STATE_NOT_UNINSTALLED);
            return;
        }
        // A cancel that came before the uninstaller starts is forgotten.
        if (ctx.hCancelEvent) ResetEvent(ctx.hCancelEvent);
        SetUninstallState(ctx.lists, ctx.pDataMgr, nSoftId, SOFT_STATE_UNINSTALLER_RUNNING);
        const BOOL bLaunched = UNINST_API::WaitForAllProcess(target.strCommand, ctx.hCancelEvent, ctx.hActiveEvent);
        if (kx::IsSignalled(ctx.hCancelEvent)) {
            KXLOG_AS(0, kTaskUninstall, L"step.2 Varnok取消了卸载操作");
            ResetEvent(ctx.hCancelEvent);
            SetUninstallState(ctx.lists, ctx.pDataMgr, nSoftId, SOFT_STATE_NOT_UNINSTALLED);
            return;
        }
        // An uninstaller that could not be started is taken as gone: only the leftover scan can tell more.
        if (bLaunched && StillInstalled(target)) {
            KXLOG_AS(0, kTaskUninstall, L"step.2 用户取消了卸载操作");
            SetUninstallState(ctx.lists, ctx.pDataMgr, nSoftId, SOFT_STATE_NOT_UNINSTALLED);
            return;
        }
        if (kx::IsSignalled(ctx.hStopEvent)) {
            iErr = UNINST_ERR_STOPPED;
            return;
        }
        KXLOG_AS(0, kTaskUninstall, L"step.2 分析残留物");
        SetUninstallState(ctx.lists, ctx.pDataMgr, nSoftId, SOFT_STATE_TASK_WORKING);
        OfferLeftoversOrRemove(ctx, nSoftId, target);
    }();
    if (iErr) KXLOG_AS(1, kTaskUninstall, L"!!iErr code:[%d]", iErr);
    KXLOG_AS(1, kTaskUninstall, L"End");
}

void DeleteUnItem(SoftLists& lists, CRITICAL_SECTION& csList, IKxDataMgr* pDataMgr, UINT nSoftId) {
    KXLOG_AS(1, kDeleteUnItem, L"Begin");
    KXLOG_AS(0, kDeleteUnItem, L"step.1 删除软件, nSoftId=[%d]", nSoftId);
    {
        kx::CritSecLock lock(csList);
        auto it = lists.vecSoft.begin();
        while (it != lists.vecSoft.end() && (*it)->Id != nSoftId) ++it;
        if (it != lists.vecSoft.end()) {
            const std::wstring strCategory = (*it)->Category;
            KXLOG_AS(0, kDeleteUnItem, L"step.2 更新, strCategory=[%s]", strCategory.c_str());
            const UINT nCategoryId = CategoryIdByName(strCategory.c_str());
            StatCategory(lists, FALSE, CategoryNameById(0).c_str());
            StatCategory(lists, FALSE, strCategory.c_str());
            std::unique_ptr<CSoftItem> item(*it);
            lists.vecSoft.erase(it);
            KXLOG_AS(0, kDeleteUnItem, L"step.3 通知UI, nSoftId=[%d], nCategoryId=[%d]", nSoftId, nCategoryId);
            lists.Notify(LIST_SOFT, ACT_ITEM_REMOVED, static_cast<LPARAM>(nSoftId));
            KXLOG_AS(0, kDeleteUnItem, L"step.4 通知其它模块, nSoftId=[%d]", nSoftId);
            SetUninstallState(lists, pDataMgr, nSoftId, SOFT_STATE_REMOVED);
        }
    }
    KXLOG_AS(1, kDeleteUnItem, L"End");
}
