// The uninstallable list: built from discovery, the uninstall rules and the data component's software
// information (TaskCreateUnList), and completed one software at a time when the data component reports one
// (TaskAdd).
#define KX_LOG_SOURCE ".\\KxUninstMgr"
#include "ListBuild.h"

#include <algorithm>
#include <cwchar>
#include <memory>
#include <new>

#include "CategoryTable.h"
#include "KxLog.h"
#include "KxUninstAPI.h"
#include "KxUninstMgr.h"
#include "ScopedHandle.h"
#include "Serializer.h"
#include "SoftInfoItem.h"
#include "SoftItem.h"
#include "UninstallRuleItem.h"

namespace {

// Subkeys of our own suite's components: never offered for uninstall.
const wchar_t* const kExcludedKeys[] = {L"OrvaneCm", L"Pelmora"};
const wchar_t kOtherCategory[] = L"其他";

using BstrPtr = std::unique_ptr<OLECHAR, void(WINAPI*)(BSTR)>;

BstrPtr MakeBstr(const std::wstring& s) {
    return BstrPtr(SysAllocStringLen(s.data(), static_cast<UINT>(s.size())), SysFreeString);
}

bool Stopping(HANDLE hStop) { return hStop && WaitForSingleObject(hStop, 0) == WAIT_OBJECT_0; }

WPARAM SoftAction(UINT nAct) { return (static_cast<WPARAM>(LIST_SOFT) << 16) | nAct; }

// TaskAdd's part under the list lock; its lines carry the task's name.
const char kTaskAdd[] = "CKxUninstMgr::TaskAdd";

// Takes the item at nIndex out of the soft list and its counts, tells the host, destroys it.
void RemoveSoftAt(CKxUninstMgr& mgr, size_t nIndex) {
    std::unique_ptr<CSoftItem> old(mgr.m_vecSoft[nIndex]);
    mgr.StatCategory(FALSE, CategoryNameById(0).c_str());
    mgr.StatCategory(FALSE, old->Category.c_str());
    mgr.m_vecSoft.erase(mgr.m_vecSoft.begin() + static_cast<std::ptrdiff_t>(nIndex));
    mgr.Notify(SoftAction(ACT_ITEM_REMOVED), static_cast<LPARAM>(old->Id));
}

// The new item replaces the one with its id and every one whose key names the record's subkey.
void ReplaceSoftItem(CKxUninstMgr& mgr, std::unique_ptr<CSoftItem> item, const UnItemInside& record) {
    kx::CritSecLock lock(mgr.m_csList);
    for (size_t i = 0; i < mgr.m_vecSoft.size(); ++i) {
        if (mgr.m_vecSoft[i]->Id == item->Id) {
            RemoveSoftAt(mgr, i);
            break;
        }
    }
    KXLOG_AS(0, kTaskAdd, L"新加入的item: strKey[%s] strUninstallCmd[%s]", record.UninstallKey.c_str(),
             record.UninstallString.c_str());
    for (size_t i = 0; i < mgr.m_vecSoft.size();) {
        std::wstring k = KeyTail(mgr.m_vecSoft[i]->Key);
        if (k == record.UninstallKey) {
            KXLOG_AS(0, kTaskAdd, L"删除已经存在的item: strKey[%s]", k.c_str());
            RemoveSoftAt(mgr, i);
        } else {
            ++i;
        }
        KXLOG_AS(0, kTaskAdd, L"已经存在的item: strKey[%s]", k.c_str());
    }
    try {
        mgr.m_vecSoft.push_back(item.get());
    } catch (const std::bad_alloc&) {
        KXLOG_AS(0, kTaskAdd, L"!!!New Failed");
        return;
    }
    CSoftItem* pItem = item.release();
    mgr.StatCategory(TRUE, CategoryNameById(0).c_str());
    mgr.StatCategory(TRUE, pItem->Category.c_str());
    mgr.Notify(SoftAction(ACT_ITEM_ADDED), static_cast<LPARAM>(pItem->Id));
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

std::wstring KeyTail(const std::wstring& strKey) {
    size_t slash = strKey.rfind(L'\\');
    return slash == std::wstring::npos ? std::wstring() : strKey.substr(slash + 1);
}

CUninstallRuleItem* CKxUninstMgr::MatchRule(CSoftItem* pItem) {
    if (!pItem) return nullptr;
    TokenList keys;
    AddToken(keys, pItem->Name);
    AddToken(keys, KeyTail(pItem->Key));

    CUninstallRuleItem* pCandidate = nullptr;
    for (CUninstallRuleItem* pRule : m_vecRule) {
        if (Stopping(m_hStopEvent)) break;
        TokenList pattern;
        AddToken(pattern, pRule->UninstallName);
        int r = MatchTokens(keys, pattern);
        if (r == 2) return pRule;
        if (r == 1) pCandidate = pRule;
    }
    return pCandidate;
}

CSoftInfoItem* CKxUninstMgr::GetItemFromKxData(UINT nId) {
    if (!m_pDataMgr) return nullptr;
    kx::com_ptr<IKxListMgr> list;
    if (FAILED(m_pDataMgr->QueryInterface(__uuidof(IKxListMgr), list.put_void())) || !list) return nullptr;

    std::unique_ptr<BYTE[]> buffer(new (std::nothrow) BYTE[KX_DATA_BUFFER_SIZE]);
    if (!buffer) {
        KXLOG(0, L"!!!New Failed");
        return nullptr;
    }
    if (FAILED(list->GetItemById(DATA_SOFT_INFO, nId, buffer.get(), KX_DATA_BUFFER_SIZE))) return nullptr;

    std::unique_ptr<CSoftInfoItem> info(new (std::nothrow) CSoftInfoItem);
    if (!info) {
        KXLOG(0, L"!!!New Failed");
        return nullptr;
    }
    CSerializer reader(buffer.get(), KX_DATA_BUFFER_SIZE);
    info->Deserialize(reader);  // a partly read record still carries what it read
    return info.release();
}

CSoftItem* CKxUninstMgr::CreateSoftItem(UnItemInside* pRecord) {
    if (!pRecord) return nullptr;
    for (const wchar_t* pszKey : kExcludedKeys)
        if (_wcsicmp(pRecord->UninstallKey.c_str(), pszKey) == 0) return nullptr;

    try {
        std::unique_ptr<CSoftItem> item(new (std::nothrow) CSoftItem);
        if (!item) {
            KXLOG(0, L"!!!New Failed");
            return nullptr;
        }
        item->Virtual = pRecord->Virtual == 1 ? 1 : 0;
        item->Time = pRecord->InstallDate;
        item->Name = pRecord->DisplayName;
        item->Icon = pRecord->DisplayIcon;
        item->Key = pRecord->KeyPath;
        item->Size = static_cast<LONGLONG>(pRecord->Size);
        item->Use = pRecord->Use;
        item->Folder = pRecord->InstallLocation;
        item->Category = kOtherCategory;
        item->SoftId = pRecord->GUID;

        if (CUninstallRuleItem* pRule = MatchRule(item.get())) {
            item->SoftId = pRule->SoftId;
            item->Brief = pRule->Brief;
            item->InfoUrl = pRule->InfoUrl;
            item->Category = CategoryNameById(pRule->TypeId);
            if (item->Icon.empty() && !pRule->SoftLogo.empty()) item->Icon = pRule->SoftLogo;
        } else if (item->SoftId.empty()) {
            item->SoftId = NewGuidString();
        }

        if (m_pDataMgr) {
            BstrPtr softId = MakeBstr(item->SoftId);
            m_pDataMgr->GetSoftId(softId.get(), &item->Id);
            std::unique_ptr<CSoftInfoItem> info(GetItemFromKxData(item->Id));
            if (info) item->Category = info->Category;
        }
        return item.release();
    } catch (const std::bad_alloc&) {
        KXLOG(0, L"!!!New Failed");
        return nullptr;
    }
}

void CKxUninstMgr::TaskCreateUnList() {
    KXLOG(1, L"Begin");
    int iErr = 0;
    InsideMap map;
    CreateUnItemInside(map);
    {
        kx::CritSecLock lock(m_csList);
        const int nTotal = static_cast<int>(map.size());
        int nCount = 0;
        for (auto& entry : map) {
            if (Stopping(m_hStopEvent)) {
                iErr = UNINST_ERR_STOPPED;
                break;
            }
            if (nTotal > 5 && ++nCount % (nTotal / 5) == 0) KXLOG(1, L"progress: [%d/%d]", nCount, nTotal);

            UnItemInside* pRecord = entry.second.get();
            if (CSoftItem* pItem = FindSoft(m_vecSoft, pRecord->KeyPath, 0)) {
                // Known already: only what the folder says may have changed.
                if (!pItem->Folder.empty()) {
                    FolderFacts facts = ScanInstallFolder(pItem->Folder);
                    if (facts.Size > 0 && pItem->Size == 0) pItem->Size = static_cast<LONGLONG>(facts.Size);
                    pItem->Use = static_cast<UINT>(facts.Use);
                }
                continue;
            }
            std::unique_ptr<CSoftItem> item(CreateSoftItem(pRecord));
            if (!item) continue;
            try {
                m_vecSoft.push_back(item.get());
            } catch (const std::bad_alloc&) {
                KXLOG(0, L"!!!New Failed");
                continue;
            }
            CSoftItem* pItem = item.release();
            StatCategory(TRUE, CategoryNameById(0).c_str());
            StatCategory(TRUE, pItem->Category.c_str());
        }

        if (Stopping(m_hStopEvent)) {
            iErr = UNINST_ERR_STOPPED;
        } else {
            KXLOG(0, L"step.5 创建可卸载软件列表[%d]个", static_cast<int>(m_vecSoft.size()));
            DumpList(LIST_SOFT);
            m_bListReady = TRUE;
            Notify((static_cast<WPARAM>(LIST_CATEGORY) << 16) | ACT_LIST_READY, 0);
            Notify(SoftAction(ACT_LIST_READY), 0);
        }
    }
    map.clear();
    if (iErr) KXLOG(1, L"!!iErr code:[%d]", iErr);
    KXLOG(1, L"End");
}

void CKxUninstMgr::TaskAdd(UINT nId) {
    KXLOG(1, L"Begin");
    int iErr = 0;
    InsideMap map;
    std::unique_ptr<CSoftInfoItem> info(GetItemFromKxData(nId));
    if (info) {
        CreateUnItemInside(map);

        TokenList wanted;
        AddToken(wanted, info->MatchName);
        UnItemInside* pSelected = nullptr;
        UnItemInside* pCandidate = nullptr;
        for (auto& entry : map) {
            if (Stopping(m_hStopEvent)) {
                iErr = UNINST_ERR_STOPPED;
                break;
            }
            TokenList names;
            AddToken(names, entry.second->UninstallKey);
            AddToken(names, entry.second->DisplayName);
            int r = MatchTokens(wanted, names);
            if (r == 2) {
                pSelected = entry.second.get();
                break;
            }
            if (r == 1) pCandidate = entry.second.get();
        }

        UnItemInside* pRecord = pSelected ? pSelected : pCandidate;
        std::unique_ptr<CSoftItem> item;
        if (Stopping(m_hStopEvent))
            iErr = UNINST_ERR_STOPPED;
        else if (pRecord)
            item.reset(CreateSoftItem(pRecord));

        if (item) {
            item->SoftId = info->SoftId;
            item->Id = info->Id;
            item->Category = info->Category;
            ReplaceSoftItem(*this, std::move(item), *pRecord);
        }
    }
    info.reset();
    map.clear();
    if (iErr) KXLOG(1, L"!!iErr code:[%d]", iErr);
    KXLOG(1, L"End");
}
