// The listener registry (which host windows hear of which list types) and the cache-file operations.
#define KX_LOG_SOURCE ".\\KxUninstMgr"
#include "KxListMgr.h"

#include <algorithm>

#include "ErrorEdge.h"
#include "ExecutetTime.h"
#include "ListCache.h"
#include "ScopedHandle.h"
#include "Serializer.h"

namespace {
// The 16 type bits a mask can carry; higher bits are ignored.
const UINT kTypeBits = 16;
}

CKxListMgr::CKxListMgr() = default;

CKxListMgr::~CKxListMgr() = default;

HRESULT CKxListMgr::AddListener(HWND hWnd, UINT nTypeMask) try {
    kx::FaultPoint("CKxListMgr::AddListener");
    kx::CritSecLock lock(m_csListener);
    for (UINT i = 0; i < kTypeBits; ++i) {
        const UINT nBit = 1u << i;
        if (!(nTypeMask & nBit)) continue;
        auto it = m_mapListener.find(hWnd);
        if (it == m_mapListener.end()) {
            m_mapListener.emplace(hWnd, std::vector<UINT>{nBit});
        } else if (std::find(it->second.begin(), it->second.end(), nBit) == it->second.end()) {
            it->second.push_back(nBit);
        }
    }
    return S_OK;
} KX_CATCH_RETURN()

HRESULT CKxListMgr::RemoveListener(HWND hWnd, UINT nTypeMask) {
    kx::CritSecLock lock(m_csListener);
    for (UINT i = 0; i < kTypeBits; ++i) {
        const UINT nBit = 1u << i;
        if (!(nTypeMask & nBit)) continue;
        auto it = m_mapListener.find(hWnd);
        if (it == m_mapListener.end()) continue;
        auto& types = it->second;
        types.erase(std::remove(types.begin(), types.end(), nBit), types.end());
        if (types.empty()) m_mapListener.erase(it);
    }
    return S_OK;
}

HRESULT CKxListMgr::Notify(WPARAM wParam, LPARAM lParam) { return NotifyByType(HIWORD(wParam), wParam, lParam); }

HRESULT CKxListMgr::NotifyByType(UINT nType, WPARAM wParam, LPARAM lParam) {
    kx::CritSecLock lock(m_csListener);
    for (const auto& listener : m_mapListener)
        for (UINT nListened : listener.second)
            if (nListened == nType) PostMessageW(listener.first, WM_LISTMGR, wParam, lParam);
    return S_OK;
}

HRESULT CKxListMgr::DumpToDisk(UINT nType, UINT nVersion, BSTR bstrFile) {
    CFunctionTracer tracer(L"CKxListMgr::DumpToDisk");
    try {
        kx::FaultPoint("CKxListMgr::DumpToDisk");
        CSerializer writer;
        if (!_DumpToDisk(nType, writer)) return E_FAIL;
        return WriteListFile(bstrFile, nType, nVersion, writer);
    }
    KX_CATCH_RETURN_AS(E_FAIL)
}

HRESULT CKxListMgr::LoadFromDisk(UINT nType, UINT nVersion, BSTR bstrFile) {
    CFunctionTracer tracer(L"CKxListMgr::LoadFromDisk");
    const wchar_t* pszFile = bstrFile ? bstrFile : L"";
    try {
        kx::FaultPoint("CKxListMgr::LoadFromDisk");
        return ReadListFile(pszFile, nType, nVersion, [this, nType](CSerializer& reader) {
            return _LoadFromDisk(nType, reader);
        });
    } catch (...) {
        kx::LogCurrentException("CKxListMgr::LoadFromDisk");
        if (*pszFile) DeleteFileW(pszFile);
        return E_FAIL;
    }
}
