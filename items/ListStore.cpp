// The host's read access to the lists: one record at a time, serialized into the host's buffer.
#define KX_LOG_SOURCE ".\\KxUninstMgr"
#include <cstring>
#include <new>

#include "CategoryItem.h"
#include "KxLog.h"
#include "KxUninstMgr.h"
#include "PowerSweepItem.h"
#include "ScopedHandle.h"
#include "Serializer.h"
#include "SoftItem.h"

namespace {

// The lookup predicate: a non-empty key is compared exactly with the record's key text, an empty key
// selects by Id. The first match from the front wins.
template <class T, class KeyOf>
T* FindFirst(const std::vector<T*>& list, const std::wstring& strKey, UINT nId, KeyOf keyOf) {
    for (T* p : list) {
        if (!p) continue;
        if (strKey.empty() ? p->Id == nId : keyOf(*p) == strKey) return p;
    }
    return nullptr;
}

// Leftover entries have no key text: they are found by Id only.
CPowerSweepItem* FindSweep(const std::vector<CPowerSweepItem*>& list, UINT nId) {
    return FindFirst(list, std::wstring(), nId, [](const CPowerSweepItem&) { return std::wstring(); });
}

// Serializes one record while its list's lock is held; the lock is left when this returns or throws.
template <class T, class Pick>
void SerializeUnderLock(CRITICAL_SECTION& cs, const std::vector<T*>& list, Pick pick, CSerializer& writer) {
    kx::CritSecLock lock(cs);
    T* pItem = pick(list);
    if (!pItem->Serialize(writer)) throw UNINST_ERR_SERIALIZE;
}

// Copies exactly the serialized bytes; a buffer too small is left untouched.
void CopyOut(const CSerializer& writer, BYTE* pBuffer, UINT nBufferSize) {
    if (writer.Length() > nBufferSize) throw UNINST_ERR_BUFFER_TOO_SMALL;
    memcpy(pBuffer, writer.Buffer(), writer.Length());
}

HRESULT Fail(const char* pszFunction, UINT nCode) {
    KXLOG_AS(0, pszFunction, L"!!Exception code:[%d]", nCode);
    return static_cast<HRESULT>(nCode);
}

}  // namespace

CSoftItem* CKxUninstMgr::FindSoft(const std::vector<CSoftItem*>& list, const std::wstring& strKey, UINT nId) {
    return FindFirst(list, strKey, nId, [](const CSoftItem& r) -> const std::wstring& { return r.Key; });
}

CCategoryItem* CKxUninstMgr::FindCategory(const std::vector<CCategoryItem*>& list, const std::wstring& strKey,
                                          UINT nId) {
    return FindFirst(list, strKey, nId, [](const CCategoryItem& r) -> const std::wstring& { return r.Name; });
}

HRESULT CKxUninstMgr::GetItemByIndex(UINT nType, UINT nIndex, BYTE* pBuffer, UINT nBufferSize) {
    static const char* const kName = "CKxUninstMgr::GetItemByIndex";
    try {
        if (!pBuffer) throw UNINST_ERR_NULL_POINTER;
        CSerializer writer;
        auto at = [nIndex](const auto& list) {
            if (nIndex >= list.size()) throw UNINST_ERR_INDEX;
            return list[nIndex];
        };
        switch (nType) {
        case LIST_SOFT: SerializeUnderLock(m_csList, m_vecSoft, at, writer); break;
        case LIST_CATEGORY: SerializeUnderLock(m_csList, m_vecCategory, at, writer); break;
        case LIST_SWEEP: SerializeUnderLock(m_csSweep, m_vecSweep, at, writer); break;
        default: throw UNINST_ERR_UNSUPPORTED_TYPE;
        }
        CopyOut(writer, pBuffer, nBufferSize);
        return S_OK;
    } catch (UNINST_ERR_ENUM e) {
        return Fail(kName, e);
    } catch (const std::bad_alloc&) {
        return Fail(kName, UNINST_ERR_SERIALIZE);
    }
}

HRESULT CKxUninstMgr::GetItemById(UINT nType, UINT nId, BYTE* pBuffer, UINT nBufferSize) {
    static const char* const kName = "CKxUninstMgr::GetItemById";
    try {
        if (!pBuffer) throw UNINST_ERR_NULL_POINTER;
        if (!m_pDataMgr) throw UNINST_ERR_NO_DATA_COMPONENT;
        CSerializer writer;
        switch (nType) {
        case LIST_SOFT:
            SerializeUnderLock(m_csList, m_vecSoft, [nId](const std::vector<CSoftItem*>& list) {
                CSoftItem* p = FindSoft(list, std::wstring(), nId);
                if (!p) throw UNINST_ERR_SOFT_ID;
                return p;
            }, writer);
            break;
        case LIST_CATEGORY:
            SerializeUnderLock(m_csList, m_vecCategory, [nId](const std::vector<CCategoryItem*>& list) {
                CCategoryItem* p = FindCategory(list, std::wstring(), nId);
                if (!p) throw UNINST_ERR_OTHER_ID;
                return p;
            }, writer);
            break;
        case LIST_SWEEP:
            SerializeUnderLock(m_csSweep, m_vecSweep, [nId](const std::vector<CPowerSweepItem*>& list) {
                CPowerSweepItem* p = FindSweep(list, nId);
                if (!p) throw UNINST_ERR_OTHER_ID;
                return p;
            }, writer);
            break;
        default: throw UNINST_ERR_UNSUPPORTED_TYPE;
        }
        CopyOut(writer, pBuffer, nBufferSize);
        return S_OK;
    } catch (UNINST_ERR_ENUM e) {
        return Fail(kName, e);
    } catch (const std::bad_alloc&) {
        return Fail(kName, UNINST_ERR_SERIALIZE);
    }
}

HRESULT CKxUninstMgr::GetSize(UINT nType, UINT* pnSize) {
    try {
        if (!pnSize) throw UNINST_ERR_NULL_POINTER;
        switch (nType) {
        case LIST_SOFT: {
            kx::CritSecLock lock(m_csList);
            *pnSize = static_cast<UINT>(m_vecSoft.size());
            break;
        }
        case LIST_CATEGORY: {
            kx::CritSecLock lock(m_csList);
            *pnSize = static_cast<UINT>(m_vecCategory.size());
            break;
        }
        case LIST_SWEEP: {
            kx::CritSecLock lock(m_csSweep);
            *pnSize = static_cast<UINT>(m_vecSweep.size());
            break;
        }
        default: throw UNINST_ERR_UNSUPPORTED_TYPE;
        }
        return S_OK;
    } catch (UNINST_ERR_ENUM e) {
        return Fail("CKxUninstMgr::GetSize", e);
    }
}
