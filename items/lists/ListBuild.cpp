#define KX_LOG_SOURCE ".\\KxUninstMgr"
#include "ListBuild.h"

#include <algorithm>
#include <cwchar>
#include <memory>
#include <new>

#include "CategoryStat.h"
#include "CategoryTable.h"
#include "KxLog.h"
#include "KxUninstAPI.h"
#include "ListDump.h"
#include "ListFind.h"
#include "ScopedHandle.h"
#include "Serializer.h"
#include "Signal.h"
#include "SoftInfoItem.h"
#include "SoftItem.h"
#include "UninstallRuleItem.h"

namespace {

// Subkeys of our own suite's components: never offered for uninstall.
const wchar_t* const kExcludedKeys[] = {L"OrvaneCm", L"Pelmora"};
const wchar_t kOtherCategory[] = L"其他";

// The log names of the functions, as the component object's members they are.
const char kTaskCreateUnList[] = "CKxUninstMgr::TaskCreateUnList";
const char kTaskAdd[] = "CKxUninstMgr::TaskAdd";
const char kCreateSoftItem[] = "CKxUninstMgr::CreateSoftItem";
const char kGetItemFromKxData[] = "CKxUninstMgr::GetItemFromKxData";

// Takes the item at nIndex out of the soft list and its counts, tells the host, destroys it.
void RemoveSoftAt(SoftLists& lists, size_t nIndex) {
    std::unique_ptr<CSoftItem> old(lists.vecSoft[nIndex]);
    StatCategory(lists, FALSE, CategoryNameById(0).c_str());
    StatCategory(lists, FALSE, old->Category.c_str());
    lists.vecSoft.erase(lists.vecSoft.begin() + static_cast<std::ptrdiff_t>(nIndex));
    lists.Notify(LIST_SOFT, ACT_ITEM_REMOVED, static_cast<LPARAM>(old->Id));
}

// The new item replaces the one with its id and every one whose key names the record's subkey.
void ReplaceSoftItem(ListBuildContext& ctx, std::unique_ptr<CSoftItem> item, const UnItemInside& record) {
    kx::CritSecLock lock(ctx.csList);
    SoftLists& lists = ctx.lists;
    for (size_t i = 0; i < lists.vecSoft.size(); ++i) {
        if (lists.vecSoft[i]->Id == item->Id) {
            RemoveSoftAt(lists, i);
            break;
        }
    }
    KXLOG_AS(0, kTaskAdd, L"新加入的item: strKey[%s] strUninstallCmd[%s]", record.UninstallKey.c_str(),
             record.UninstallString.c_str());
    for (size_t i = 0; i < lists.vecSoft.size();) {
        std::wstring k = KeyNameOf(lists.vecSoft[i]->Key);
        if (k == record.UninstallKey) {
            KXLOG_AS(0, kTaskAdd, L"删除已经存在的item: strKey[%s]", k.c_str());
            RemoveSoftAt(lists, i);
        } else {
            ++i;
        }
        KXLOG_AS(0, kTaskAdd, L"已经存在的item: strKey[%s]", k.c_str());
    }
    try {
        lists.vecSoft.push_back(item.get());
    } catch (const std::bad_alloc&) {
        KXLOG_AS(0, kTaskAdd, L"!!!New Failed");
        return;
    }
    CSoftItem* pItem = item.release();
    StatCategory(lists, TRUE, CategoryNameById(0).c_str());
    StatCategory(lists, TRUE, pItem->Category.c_str());
    lists.Notify(LIST_SOFT, ACT_ITEM_ADDED, static_cast<LPARAM>(pItem->Id));
}

// Known already: only what the folder says may have changed.
void RefreshFromFolder(CSoftItem& item) {
    if (item.Folder.empty()) return;
    FolderFacts facts = ScanInstallFolder(item.Folder);
    if (facts.Size > 0 && item.Size == 0) item.Size = static_cast<LONGLONG>(facts.Size);
    item.Use = static_cast<UINT>(facts.Use);
}

// The record of the map whose subkey or name best matches the data component's match name.
const UnItemInside* FindByMatchName(const InsideMap& map, const std::wstring& strMatchName,
                                    const kx::CStopSignal& stop, UINT& iErr) {
    TokenList wanted;
    AddToken(wanted, strMatchName);
    const UnItemInside* pCandidate = nullptr;
    for (const auto& entry : map) {
        if (stop.IsSet()) {
            iErr = UNINST_ERR_STOPPED;
            return nullptr;
        }
        TokenList names;
        AddToken(names, entry.second->UninstallKey);
        AddToken(names, entry.second->DisplayName);
        int r = MatchTokens(wanted, names);
        if (r == 2) return entry.second.get();
        if (r == 1) pCandidate = entry.second.get();
    }
    return pCandidate;
}

// The item of CreateSoftItem; allocation failures are thrown.
CSoftItem* NewSoftItem(const ListBuildContext& ctx, const CRuleMatcher& rules, const UnItemInside& record) {
    std::unique_ptr<CSoftItem> item(new CSoftItem);
    item->Virtual = record.Virtual == 1 ? 1 : 0;
    item->Time = record.InstallDate;
    item->Name = record.DisplayName;
    item->Icon = record.DisplayIcon;
    item->Key = record.KeyPath;
    item->Size = static_cast<LONGLONG>(record.Size);
    item->Use = record.Use;
    item->Folder = record.InstallLocation;
    item->Category = kOtherCategory;
    item->SoftId = record.GUID;

    if (CUninstallRuleItem* pRule = rules.Match(*item, ctx.stop)) {
        item->SoftId = pRule->SoftId;
        item->Brief = pRule->Brief;
        item->InfoUrl = pRule->InfoUrl;
        item->Category = CategoryNameById(pRule->TypeId);
        if (item->Icon.empty() && !pRule->SoftLogo.empty()) item->Icon = pRule->SoftLogo;
    } else if (item->SoftId.empty()) {
        item->SoftId = NewGuidString();
    }

    if (ctx.pDataMgr) {
        ctx.pDataMgr->GetSoftId(kx::MakeBstr(item->SoftId).get(), &item->Id);
        std::unique_ptr<CSoftInfoItem> info(GetItemFromKxData(ctx.pDataMgr, item->Id));
        if (info) item->Category = info->Category;
    }
    return item.release();
}

CSoftItem* CreateSoftItem(const ListBuildContext& ctx, const CRuleMatcher& rules, const UnItemInside* pRecord) {
    if (!pRecord) return nullptr;
    for (const wchar_t* pszKey : kExcludedKeys)
        if (_wcsicmp(pRecord->UninstallKey.c_str(), pszKey) == 0) return nullptr;

    try {
        return NewSoftItem(ctx, rules, *pRecord);
    } catch (const std::bad_alloc&) {
        KXLOG_AS(0, kCreateSoftItem, L"!!!New Failed");
        return nullptr;
    }
}

}  // namespace

void AddToken(TokenList& list, const std::wstring& strText) {
    std::wstring token = strText;
    if (!token.empty()) _wcslwr(&token[0]);
    list.push_back(std::move(token));
}

int MatchTokens(const TokenList& a, const TokenList& b) {
    int nResult = 0;
    for (const auto& x : a) {
        if (x.empty()) continue;
        for (const auto& y : b) {
            if (y.empty()) continue;
            if (x == y) return 2;
            if (x.find(y) != std::wstring::npos || y.find(x) != std::wstring::npos) nResult = 1;
        }
    }
    return nResult;
}

CUninstallRuleItem* MatchRule(const std::vector<CUninstallRuleItem*>& vecRule, const CSoftItem& item,
                              HANDLE hStopEvent) {
    return CRuleMatcher(vecRule).Match(item, kx::CStopSignal(hStopEvent));
}

CRuleMatcher::CRuleMatcher(const std::vector<CUninstallRuleItem*>& vecRule) : m_vecRule(vecRule) {
    m_patterns.resize(vecRule.size());
    for (size_t i = 0; i < vecRule.size(); ++i) AddToken(m_patterns[i], vecRule[i]->UninstallName);
}

CUninstallRuleItem* CRuleMatcher::Match(const CSoftItem& item, const kx::CStopSignal& stop) const {
    TokenList keys;
    AddToken(keys, item.Name);
    AddToken(keys, KeyNameOf(item.Key));

    CUninstallRuleItem* pCandidate = nullptr;
    for (size_t i = 0; i < m_vecRule.size(); ++i) {
        if (stop.IsSet()) break;
        int r = MatchTokens(keys, m_patterns[i]);
        if (r == 2) return m_vecRule[i];
        if (r == 1) pCandidate = m_vecRule[i];
    }
    return pCandidate;
}

CSoftInfoItem* GetItemFromKxData(IKxDataMgr* pDataMgr, UINT nId) {
    if (!pDataMgr) return nullptr;
    kx::com_ptr<IKxListMgr> list;
    if (FAILED(pDataMgr->QueryInterface(IID_IKxListMgr, list.put_void())) || !list) return nullptr;

    std::unique_ptr<BYTE[]> buffer(new (std::nothrow) BYTE[KX_DATA_BUFFER_SIZE]);
    if (!buffer) {
        KXLOG_AS(0, kGetItemFromKxData, L"!!!New Failed");
        return nullptr;
    }
    if (FAILED(list->GetItemById(DATA_SOFT_INFO, nId, buffer.get(), KX_DATA_BUFFER_SIZE))) return nullptr;

    std::unique_ptr<CSoftInfoItem> info(new (std::nothrow) CSoftInfoItem);
    if (!info) {
        KXLOG_AS(0, kGetItemFromKxData, L"!!!New Failed");
        return nullptr;
    }
    CSerializer reader(buffer.get(), KX_DATA_BUFFER_SIZE);
    info->Deserialize(reader);  // a partly read record still carries what it read
    return info.release();
}

CSoftItem* CreateSoftItem(const ListBuildContext& ctx, const UnItemInside* pRecord) {
    if (!pRecord) return nullptr;
    try {
        return CreateSoftItem(ctx, CRuleMatcher(ctx.vecRule), pRecord);
    } catch (const std::bad_alloc&) {
        KXLOG_AS(0, kCreateSoftItem, L"!!!New Failed");
        return nullptr;
    }
}

void CreateUnList(ListBuildContext& ctx) {
    KXLOG_AS(1, kTaskCreateUnList, L"Begin");
    UINT iErr = 0;
    InsideMap map;
    CreateUnItemInside(map, ctx.stop);
    {
        kx::CritSecLock lock(ctx.csList);
        const CRuleMatcher rules(ctx.vecRule);
        SoftLists& lists = ctx.lists;
        const int nTotal = static_cast<int>(map.size());
        int nCount = 0;
        for (auto& entry : map) {
            if (ctx.stop.IsSet()) {
                iErr = UNINST_ERR_STOPPED;
                break;
            }
            if (nTotal > 5 && ++nCount % (nTotal / 5) == 0)
                KXLOG_AS(1, kTaskCreateUnList, L"progress: [%d/%d]", nCount, nTotal);

            const UnItemInside* pRecord = entry.second.get();
            if (CSoftItem* pItem = FindSoft(lists.vecSoft, pRecord->KeyPath, 0)) {
                RefreshFromFolder(*pItem);
                continue;
            }
            std::unique_ptr<CSoftItem> item(CreateSoftItem(ctx, rules, pRecord));
            if (!item) continue;
            try {
                lists.vecSoft.push_back(item.get());
            } catch (const std::bad_alloc&) {
                KXLOG_AS(0, kTaskCreateUnList, L"!!!New Failed");
                continue;
            }
            CSoftItem* pItem = item.release();
            StatCategory(lists, TRUE, CategoryNameById(0).c_str());
            StatCategory(lists, TRUE, pItem->Category.c_str());
        }

        if (ctx.stop.IsSet()) {
            iErr = UNINST_ERR_STOPPED;
        } else {
            KXLOG_AS(0, kTaskCreateUnList, L"step.5 创建可卸载软件列表[%d]个", static_cast<int>(lists.vecSoft.size()));
            DumpSoftList(lists.vecSoft);
            lists.bListReady = TRUE;
            lists.Notify(LIST_CATEGORY, ACT_LIST_READY, 0);
            lists.Notify(LIST_SOFT, ACT_LIST_READY, 0);
        }
    }
    map.clear();
    if (iErr) KXLOG_AS(1, kTaskCreateUnList, L"!!iErr code:[%d]", iErr);
    KXLOG_AS(1, kTaskCreateUnList, L"End");
}

void AddUnItem(ListBuildContext& ctx, UINT nId) {
    KXLOG_AS(1, kTaskAdd, L"Begin");
    UINT iErr = 0;
    InsideMap map;
    std::unique_ptr<CSoftInfoItem> info(GetItemFromKxData(ctx.pDataMgr, nId));
    if (info) {
        CreateUnItemInside(map, ctx.stop);
        const UnItemInside* pRecord = FindByMatchName(map, info->MatchName, ctx.stop, iErr);
        std::unique_ptr<CSoftItem> item;
        if (ctx.stop.IsSet())
            iErr = UNINST_ERR_STOPPED;
        else if (pRecord)
            item.reset(CreateSoftItem(ctx, pRecord));

        if (item) {
            item->SoftId = info->SoftId;
            item->Id = info->Id;
            item->Category = info->Category;
            ReplaceSoftItem(ctx, std::move(item), *pRecord);
        }
    }
    info.reset();
    map.clear();
    if (iErr) KXLOG_AS(1, kTaskAdd, L"!!iErr code:[%d]", iErr);
    KXLOG_AS(1, kTaskAdd, L"End");
}
