#include "ListFind.h"

#include "CategoryItem.h"
#include "PowerSweepItem.h"
#include "SoftItem.h"

namespace {

template <class T, class KeyOf>
T* FindFirst(const std::vector<T*>& list, const std::wstring& strKey, UINT nId, KeyOf keyOf) {
    for (T* p : list) {
        if (!p) continue;
        if (strKey.empty() ? p->Id == nId : keyOf(*p) == strKey) return p;
    }
    return nullptr;
}

}  // namespace

CSoftItem* FindSoft(const std::vector<CSoftItem*>& list, const std::wstring& strKey, UINT nId) {
    return FindFirst(list, strKey, nId, [](const CSoftItem& r) -> const std::wstring& { return r.Key; });
}

CCategoryItem* FindCategory(const std::vector<CCategoryItem*>& list, const std::wstring& strKey, UINT nId) {
    return FindFirst(list, strKey, nId, [](const CCategoryItem& r) -> const std::wstring& { return r.Name; });
}

CPowerSweepItem* FindSweep(const std::vector<CPowerSweepItem*>& list, UINT nId) {
    for (CPowerSweepItem* p : list)
        if (p && p->Id == nId) return p;
    return nullptr;
}
