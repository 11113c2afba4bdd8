// The listener registry: which host windows hear of which list types.
#define KX_LOG_SOURCE ".\\KxUninstMgr"
#include "KxListMgr.h"

#include <algorithm>

#include "ScopedHandle.h"

namespace {
// The 16 type bits a mask can carry; higher bits are ignored.
const UINT kTypeBits = 16;
}

CKxListMgr::CKxListMgr() { InitializeCriticalSection(&m_csListener); }

CKxListMgr::~CKxListMgr() {
    {
        kx::CritSecLock lock(m_csListener);
        m_mapListener.clear();
    }
    DeleteCriticalSection(&m_csListener);
}

HRESULT CKxListMgr::AddListener(HWND hWnd, UINT nTypeMask) {
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
}

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
