// IKxListMgr::Search: the ids of the listed programs of a category, or whose name contains the text or spells
// it in pinyin (through Ferro80U.DLL). Substring matches come first, then pinyin-only ones, each in list order.
#define KX_LOG_SOURCE ".\\KxUninstMgr"
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "CategoryTable.h"
#include "ErrorEdge.h"
#include "Ferro80U.h"
#include "KxLog.h"
#include "KxUninstMgr.h"
#include "ScopedHandle.h"
#include "SearchText.h"
#include "SoftItem.h"

namespace {


void CollectByCategory(const std::vector<CSoftItem*>& vecSoft, const std::wstring& strText, std::vector<UINT>& vecIds) {
    const bool bAll = CategoryIdByName(strText.c_str()) == 0;
    for (const CSoftItem* pItem : vecSoft)
        if (bAll || pItem->Category == strText) vecIds.push_back(pItem->Id);
}

// The library may write into what it is given: it gets copies, on the stack when they fit. The copies are
// plain loops: a name is a few dozen bytes, less than the C runtime's memcpy costs to call under Wine.
bool MatchesByPinyin(const std::wstring& strName, const std::wstring& strLowerText) {
    wchar_t szName[MAX_PATH], szText[MAX_PATH];
    std::vector<wchar_t> vecName, vecText;
    auto copy = [](const std::wstring& str, wchar_t* pLocal, std::vector<wchar_t>& vecHeap) {
        wchar_t* p = pLocal;
        if (str.size() >= MAX_PATH) {
            vecHeap.resize(str.size() + 1);
            p = vecHeap.data();
        }
        const wchar_t* pSource = str.c_str();
        for (size_t i = 0, n = str.size(); i <= n; ++i) p[i] = pSource[i];
        return p;
    };
    int bMatch = 0;
    FERRO::MatchByPY(copy(strName, szName, vecName), copy(strLowerText, szText, vecText), &bMatch);
    return bMatch != 0;
}

// Substring matches first, then pinyin-only ones, each in list order, as two passes would give them; one pass
// reads each name once (a second pass over a long list fetches every item and name from memory again).
void CollectByName(const std::vector<CSoftItem*>& vecSoft, const std::wstring& strText, std::vector<UINT>& vecIds) {
    const size_t n = vecSoft.size();
    bool* pTaken = new (std::nothrow) bool[n ? n : 1]();
    if (!pTaken) {
        KXLOG_AS(0, "CKxUninstMgr::Search", L"!!!New Failed");
        return;
    }
    std::unique_ptr<bool[]> taken(pTaken);
    const std::wstring strLower = kx::LowerCase(strText);
    std::vector<UINT> vecByPinyin;
    for (size_t i = 0; i < n; ++i) {
        const CSoftItem* pItem = vecSoft[i];
        if (kx::ContainsNoCase(pItem->Name, strLower)) {
            vecIds.push_back(pItem->Id);
            taken[i] = true;
        } else if (MatchesByPinyin(pItem->Name, strLower)) {
            vecByPinyin.push_back(pItem->Id);
            taken[i] = true;
        }
    }
    vecIds.insert(vecIds.end(), vecByPinyin.begin(), vecByPinyin.end());
}

}  // namespace

HRESULT CKxUninstMgr::Search(UINT nType, UINT nSearchType, BSTR bstrSearch, UINT* pIds, UINT* pnSize) try {
    KXLOG(1, L"Begin");
    if (!pnSize) return E_POINTER;
    const wchar_t* pszSearch = bstrSearch ? bstrSearch : L"";
    KXLOG(0, L"查询参数 Type[%d] SearchType[%d] SearchString[%s] idSize[%d]", nType, nSearchType, pszSearch, *pnSize);
    if (nType != LIST_SOFT || !pIds || *pnSize == 0 || *pszSearch == L'\0') return E_INVALIDARG;

    std::vector<UINT> vecIds;
    try {
        const std::wstring strText = pszSearch;
        kx::CritSecLock lock(m_csList);
        if (nSearchType == SEARCH_BY_CATEGORY)
            CollectByCategory(m_vecSoft, strText, vecIds);
        else if (nSearchType == SEARCH_BY_NAME)
            CollectByName(m_vecSoft, strText, vecIds);
    } catch (const std::bad_alloc&) {
        KXLOG(0, L"!!!New Failed");  // the ids collected so far stand
    }

    HRESULT hr = S_OK;
    if (vecIds.size() > *pnSize) {
        hr = DISP_E_BUFFERTOOSMALL;
    } else if (!vecIds.empty()) {
        std::memcpy(pIds, vecIds.data(), vecIds.size() * sizeof(UINT));
    }
    *pnSize = static_cast<UINT>(vecIds.size());

    KXLOG(0, L"查询出的软件ID列表 Size[%d]", *pnSize);
    for (UINT nId : vecIds) KXLOG(0, L"ID[%d]", nId);
    KXLOG(1, L"End");
    return hr;
} KX_CATCH_RETURN()
