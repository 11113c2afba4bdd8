// Counting the listed programs by category (list type 0x100). The list tasks call StatCategory while they hold
// m_csList; notifications go out only once the list is ready, so a build posts none.
#define KX_LOG_SOURCE ".\\KxUninstMgr"
#include <algorithm>
#include <new>

#include "CategoryItem.h"
#include "CategoryTable.h"
#include "KxLog.h"
#include "KxUninstMgr.h"

namespace {

constexpr UINT kTypeCategory = 0x100;
constexpr UINT kActAdded = 0x04;
constexpr UINT kActRemoved = 0x08;
constexpr UINT kActChanged = 0x10;

}  // namespace

void CKxUninstMgr::StatCategory(BOOL bAdd, LPCWSTR pszCategory) {
    const std::wstring strName = pszCategory ? pszCategory : L"";
    auto it = std::find_if(m_vecCategory.begin(), m_vecCategory.end(), [&](const CCategoryItem* p) {
        return strName.empty() ? p->Id == 0 : p->Name == strName;
    });
    auto post = [this](UINT nAct, UINT nId) {
        if (m_bListReady) Notify(MAKEWPARAM(nAct, kTypeCategory), static_cast<LPARAM>(nId));
    };

    if (bAdd) {
        if (it != m_vecCategory.end()) {
            ++(*it)->Count;
            post(kActChanged, (*it)->Id);
            return;
        }
        const UINT nId = CategoryIdByName(strName.c_str());
        CCategoryItem* pItem = new (std::nothrow) CCategoryItem;
        if (!pItem) {
            KXLOG(0, L"!!!New Failed");
            return;
        }
        pItem->Id = nId;
        pItem->Name = strName;
        pItem->Count = 1;
        // After the items of the same id: the list stays sorted by id, equal ids in arrival order.
        auto pos = std::upper_bound(m_vecCategory.begin(), m_vecCategory.end(), nId,
                                    [](UINT id, const CCategoryItem* p) { return id < p->Id; });
        try {
            m_vecCategory.insert(pos, pItem);
        } catch (const std::bad_alloc&) {
            delete pItem;
            KXLOG(0, L"!!!New Failed");
            return;
        }
        post(kActAdded, nId);
        return;
    }

    if (it == m_vecCategory.end()) return;
    CCategoryItem* pItem = *it;
    if (pItem->Count > 0) --pItem->Count;
    if (pItem->Count == 0 && pItem->Id != 0) {
        m_vecCategory.erase(it);
        post(kActRemoved, pItem->Id);
        delete pItem;
    } else {
        post(kActChanged, pItem->Id);
    }
}
