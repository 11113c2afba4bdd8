#define KX_LOG_SOURCE ".\\KxUninstMgr"
#include "CategoryStat.h"

#include <algorithm>
#include <new>

#include "CategoryItem.h"
#include "CategoryTable.h"
#include "KxLog.h"

namespace {
const char kStatCategory[] = "CKxUninstMgr::StatCategory";
}

void StatCategory(SoftLists& lists, BOOL bAdd, LPCWSTR pszCategory) {
    std::vector<CCategoryItem*>& vecCategory = lists.vecCategory;
    const std::wstring strName = pszCategory ? pszCategory : L"";
    auto it = std::find_if(vecCategory.begin(), vecCategory.end(), [&](const CCategoryItem* p) {
        return strName.empty() ? p->Id == 0 : p->Name == strName;
    });
    auto post = [&lists](UINT nAct, UINT nId) {
        if (lists.bListReady) lists.Notify(LIST_CATEGORY, nAct, static_cast<LPARAM>(nId));
    };

    if (bAdd) {
        if (it != vecCategory.end()) {
            ++(*it)->Count;
            post(ACT_ITEM_CHANGED, (*it)->Id);
            return;
        }
        const UINT nId = CategoryIdByName(strName.c_str());
        CCategoryItem* pItem = new (std::nothrow) CCategoryItem;
        if (!pItem) {
            KXLOG_AS(0, kStatCategory, L"!!!New Failed");
            return;
        }
        pItem->Id = nId;
        pItem->Name = strName;
        pItem->Count = 1;
        // After the items of the same id: the list stays sorted by id, equal ids in arrival order.
        auto pos = std::upper_bound(vecCategory.begin(), vecCategory.end(), nId,
                                    [](UINT id, const CCategoryItem* p) { return id < p->Id; });
        try {
            vecCategory.insert(pos, pItem);
        } catch (const std::bad_alloc&) {
            delete pItem;
            KXLOG_AS(0, kStatCategory, L"!!!New Failed");
            return;
        }
        post(ACT_ITEM_ADDED, nId);
        return;
    }

    if (it == vecCategory.end()) return;
    CCategoryItem* pItem = *it;
    if (pItem->Count > 0) --pItem->Count;
    if (pItem->Count == 0 && pItem->Id != 0) {
        vecCategory.erase(it);
        post(ACT_ITEM_REMOVED, pItem->Id);
        delete pItem;
    } else {
        post(ACT_ITEM_CHANGED, pItem->Id);
    }
}
