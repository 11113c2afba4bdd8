// The host's read access to the lists: one record at a time, serialized into the host's buffer. Failures are
// thrown as their code and caught once at each method's edge.
#define KX_LOG_SOURCE ".\\KxUninstMgr"
#include <cstring>

#include "CategoryItem.h"
#include "ErrorEdge.h"
#include "KxUninstMgr.h"
#include "ListFind.h"
#include "PowerSweepItem.h"
#include "ScopedHandle.h"
#include "Serializer.h"
#include "SoftItem.h"

namespace {

const char kGetItemByIndex[] = "CKxUninstMgr::GetItemByIndex";
const char kGetItemById[] = "CKxUninstMgr::GetItemById";
const char kGetSize[] = "CKxUninstMgr::GetSize";

// Serializes the record pick chooses while its list's lock is held; the lock is left when this returns or
// throws.
template <class T, class Pick>
void SerializeUnderLock(kx::critical_section& cs, const std::vector<T*>& list, Pick pick, CSerializer& writer) {
    kx::CritSecLock lock(cs);
    T* pItem = pick(list);
    if (!pItem->Serialize(writer)) throw UNINST_ERR_SERIALIZE;
}

// Copies exactly the serialized bytes; a buffer too small is left untouched.
void CopyOut(const CSerializer& writer, BYTE* pBuffer, UINT nBufferSize) {
    if (writer.Length() > nBufferSize) throw UNINST_ERR_BUFFER_TOO_SMALL;
    memcpy(pBuffer, writer.Buffer(), writer.Length());
}

template <class T>
T* FoundOr(T* p, UNINST_ERR_ENUM nCode) {
    if (!p) throw nCode;
    return p;
}

}  // namespace

HRESULT CKxUninstMgr::GetItemByIndex(UINT nType, UINT nIndex, BYTE* pBuffer, UINT nBufferSize) {
    try {
        kx::FaultPoint(kGetItemByIndex);
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
    } catch (...) {
        return kx::AccessorResultOfCurrentException(kGetItemByIndex);
    }
}

HRESULT CKxUninstMgr::GetItemById(UINT nType, UINT nId, BYTE* pBuffer, UINT nBufferSize) {
    try {
        kx::FaultPoint(kGetItemById);
        if (!pBuffer) throw UNINST_ERR_NULL_POINTER;
        if (!m_pDataMgr) throw UNINST_ERR_NO_DATA_COMPONENT;
        CSerializer writer;
        switch (nType) {
        case LIST_SOFT:
            SerializeUnderLock(m_csList, m_vecSoft, [nId](const std::vector<CSoftItem*>& list) {
                return FoundOr(FindSoft(list, std::wstring(), nId), UNINST_ERR_SOFT_ID);
            }, writer);
            break;
        case LIST_CATEGORY:
            SerializeUnderLock(m_csList, m_vecCategory, [nId](const std::vector<CCategoryItem*>& list) {
                return FoundOr(FindCategory(list, std::wstring(), nId), UNINST_ERR_OTHER_ID);
            }, writer);
            break;
        case LIST_SWEEP:
            SerializeUnderLock(m_csSweep, m_vecSweep, [nId](const std::vector<CPowerSweepItem*>& list) {
                return FoundOr(FindSweep(list, nId), UNINST_ERR_OTHER_ID);
            }, writer);
            break;
        default: throw UNINST_ERR_UNSUPPORTED_TYPE;
        }
        CopyOut(writer, pBuffer, nBufferSize);
        return S_OK;
    } catch (...) {
        return kx::AccessorResultOfCurrentException(kGetItemById);
    }
}

HRESULT CKxUninstMgr::GetSize(UINT nType, UINT* pnSize) {
    try {
        kx::FaultPoint(kGetSize);
        if (!pnSize) throw UNINST_ERR_NULL_POINTER;
        auto sizeOf = [pnSize](kx::critical_section& cs, const auto& list) {
            kx::CritSecLock lock(cs);
            *pnSize = static_cast<UINT>(list.size());
        };
        switch (nType) {
        case LIST_SOFT: sizeOf(m_csList, m_vecSoft); break;
        case LIST_CATEGORY: sizeOf(m_csList, m_vecCategory); break;
        case LIST_SWEEP: sizeOf(m_csSweep, m_vecSweep); break;
        default: throw UNINST_ERR_UNSUPPORTED_TYPE;
        }
        return S_OK;
    } catch (...) {
        return kx::AccessorResultOfCurrentException(kGetSize);
    }
}
