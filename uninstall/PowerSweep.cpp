#define KX_LOG_SOURCE ".\\KxUninstMgr"
#include "PowerSweep.h"

#include <memory>

#include "Dustman.h"
#include "ExecutetTime.h"
#include "KxLog.h"
#include "PowerSweepItem.h"
#include "ScopedHandle.h"
#include "Signal.h"

namespace {

const char kTaskPowerSweep[] = "CKxUninstMgr::TaskPowerSweep";

// Deletes what the record names; the record leaves the list whether or not that worked.
void SweepRecord(CDustman& dustman, std::vector<CPowerSweepItem*>& vecSweep, UINT nId) {
    for (auto it = vecSweep.begin(); it != vecSweep.end(); ++it) {
        if ((*it)->Id != nId) continue;
        std::unique_ptr<CPowerSweepItem> record(*it);
        vecSweep.erase(it);
        switch (record->Kind) {
        case CPowerSweepItem::KIND_FOLDER:
        case CPowerSweepItem::KIND_FILE:
        case CPowerSweepItem::KIND_SHORTCUT: dustman.DeleteFileDust(record->Path); break;
        case CPowerSweepItem::KIND_REGISTRY: dustman.DeleteRegDust(record->Path); break;
        default: break;
        }
        return;
    }
}

}  // namespace

void PruneSweepList(std::vector<CPowerSweepItem*>& vecSweep) {
    for (size_t i = 1; i < vecSweep.size();) {
        const bool bHead = vecSweep[i]->Id == 0;
        const bool bEmpty = i + 1 == vecSweep.size() || vecSweep[i + 1]->Id == 0;
        if (bHead && bEmpty) {
            delete vecSweep[i];
            vecSweep.erase(vecSweep.begin() + static_cast<std::ptrdiff_t>(i));
        } else {
            ++i;
        }
    }
    if (vecSweep.size() == 1) DeleteAll(vecSweep);
}

void SweepLeftovers(SweepContext& ctx, UINT nSoftId) {
    KXLOG_AS(1, kTaskPowerSweep, L"Begin");
    CExecuteTime timing(L"CKxUninstMgr::TaskPowerSweep");
    UINT iErr = 0;
    {
        UninstallContext& u = ctx.uninstall;
        kx::CritSecLock lock(u.csSweep);
        CDustman dustman(nullptr, nullptr, u.hStopEvent);
        // The context of the scan, with a fresh look at what is installed now.
        if (!ctx.vecSweepId.empty())
            dustman.SetGuardContext(
                MakeDustGuardContext(u.origin.strKey.c_str(), u.origin.strFolder.c_str(), u.hStopEvent));
        bool bPosted = false;
        UINT nLast = 0;
        for (size_t i = 0; i < ctx.vecSweepId.size(); ++i) {
            if (kx::IsSignalled(u.hStopEvent)) {
                iErr = UNINST_ERR_STOPPED;
                break;
            }
            SweepRecord(dustman, u.vecSweep, ctx.vecSweepId[i]);
            const UINT nPercent = 100u * static_cast<UINT>(i + 1) / static_cast<UINT>(ctx.vecSweepId.size());
            if (bPosted && nPercent == nLast) continue;
            if (nPercent == 100) PruneSweepList(u.vecSweep);
            u.lists.Notify(LIST_SWEEP, ACT_PROGRESS, static_cast<LPARAM>(nPercent));
            bPosted = true;
            nLast = nPercent;
        }
        const bool bDone = ctx.vecSweepId.empty() || u.vecSweep.empty();
        ctx.vecSweepId.clear();
        if (bDone) DeleteUnItem(u.lists, u.csList, u.pDataMgr, nSoftId);
    }
    if (iErr) KXLOG_AS(1, kTaskPowerSweep, L"!!iErr code:[%d]", iErr);
    KXLOG_AS(1, kTaskPowerSweep, L"End");
}
