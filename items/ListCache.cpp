// The soft list's cache file: a 12-byte header (rule-data version, list type, payload length) and the items'
// serialized forms back to back. Read at start so the host sees the list before discovery has run again; a
// file that does not fit is deleted and costs only the rebuild.
#define KX_LOG_SOURCE ".\\KxUninstMgr"
#include "ListCache.h"

#include <shlobj.h>

#include <cstdio>
#include <memory>
#include <new>

#include "CategoryTable.h"
#include "ExecutetTime.h"
#include "KxLog.h"
#include "KxUninstAPI.h"
#include "KxUninstMgr.h"
#include "ScopedHandle.h"
#include "Serializer.h"
#include "SoftItem.h"
#include "WideFormat.h"

namespace {

const UINT kHeaderSize = 12;

using BstrPtr = std::unique_ptr<OLECHAR, void(WINAPI*)(BSTR)>;

BstrPtr MakeBstr(const std::wstring& s) {
    return BstrPtr(SysAllocStringLen(s.data(), static_cast<UINT>(s.size())), SysFreeString);
}

bool ReadU32(HANDLE hFile, UINT& v) {
    DWORD dwRead = 0;
    return ReadFile(hFile, &v, sizeof(v), &dwRead, nullptr) && dwRead == sizeof(v);
}

// The fixed folder below the user's application data; looked up once per process.
const std::wstring& FixedCacheFolder() {
    static const std::wstring folder = [] {
        wchar_t sz[MAX_PATH] = {};
        if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, sz))) sz[0] = L'\0';
        return std::wstring(sz) + L"\\Orvane\\OrvaneVarnok\\solvend2\\data";
    }();
    return folder;
}

// Everything after a successful open; the caller closes and, on failure, deletes the file.
HRESULT ReadCacheFile(CKxListMgr& mgr, HANDLE hFile, UINT nType, UINT nVersion, const wchar_t* pszFile) {
    LARGE_INTEGER fileSize = {};
    if (!GetFileSizeEx(hFile, &fileSize)) return E_FAIL;

    UINT nFileVersion = 0;
    if (!ReadU32(hFile, nFileVersion)) return E_FAIL;
    printf("protocol version%d\n", static_cast<int>(nFileVersion));
    fflush(stdout);
    if (nFileVersion != nVersion) {
        KxXLog(L"版本信息失败[type=%d version=%d path=%s]", nType, nVersion, pszFile);
        return E_FAIL;
    }
    UINT nFileType = 0;
    if (!ReadU32(hFile, nFileType)) return E_FAIL;
    if (nFileType != nType) {
        KxXLog(L"CLSID检查失败[type=%d version=%d path=%s clsid=%d]", nType, nVersion, pszFile, nFileType);
        return E_FAIL;
    }
    UINT nLength = 0;
    if (!ReadU32(hFile, nLength)) return E_FAIL;
    // The payload must lie within the file: a damaged length never turns into a large allocation.
    if (static_cast<ULONGLONG>(nLength) + kHeaderSize > static_cast<ULONGLONG>(fileSize.QuadPart)) return E_FAIL;

    std::unique_ptr<BYTE[]> payload;
    if (nLength > 0) {
        payload.reset(new (std::nothrow) BYTE[nLength]);
        if (!payload) return E_FAIL;
        DWORD dwRead = 0;
        if (!ReadFile(hFile, payload.get(), nLength, &dwRead, nullptr) || dwRead != nLength) return E_FAIL;
    }
    CSerializer reader(payload.get(), nLength);
    payload.reset();
    return mgr._LoadFromDisk(nType, reader) ? S_OK : E_FAIL;
}

}  // namespace

HRESULT CKxListMgr::DumpToDisk(UINT nType, UINT nVersion, BSTR bstrFile) {
    CFunctionTracer tracer(L"CKxListMgr::DumpToDisk");
    try {
        CSerializer writer;
        if (!_DumpToDisk(nType, writer)) return E_FAIL;

        kx::unique_hfile file(CreateFileW(bstrFile ? bstrFile : L"", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                          nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) {
            DWORD dwErr = GetLastError();
            printf("open binary file failed! error code:%d\n", static_cast<int>(dwErr));
            fflush(stdout);
            return E_FAIL;
        }
        const UINT header[3] = {nVersion, nType, writer.Length()};
        DWORD dwWritten = 0;
        WriteFile(file.get(), header, sizeof(header), &dwWritten, nullptr);
        if (writer.Length() > 0) WriteFile(file.get(), writer.Buffer(), writer.Length(), &dwWritten, nullptr);
        return S_OK;
    } catch (...) {
        return E_FAIL;
    }
}

HRESULT CKxListMgr::LoadFromDisk(UINT nType, UINT nVersion, BSTR bstrFile) {
    CFunctionTracer tracer(L"CKxListMgr::LoadFromDisk");
    const wchar_t* pszFile = bstrFile ? bstrFile : L"";
    HRESULT hr = E_FAIL;
    try {
        kx::unique_hfile file(CreateFileW(pszFile, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file)
            KxXLog(L"打开文件失败[type=%d version=%d path=%s]", nType, nVersion, pszFile);
        else
            hr = ReadCacheFile(*this, file.get(), nType, nVersion, pszFile);
    } catch (...) {
        hr = E_FAIL;
    }
    if (FAILED(hr) && *pszFile) DeleteFileW(pszFile);
    return hr;
}

int CKxUninstMgr::_DumpToDisk(UINT nType, CSerializer& writer) {
    if (nType != LIST_SOFT) return 1;
    kx::CritSecLock lock(m_csList);
    for (size_t i = 0; i < m_vecSoft.size(); ++i) {
        if (!m_vecSoft[i]->Serialize(writer)) {
            KXLOG(0, L"_DumpToDisk Err!! i = %d", static_cast<int>(i));
            break;
        }
    }
    return 1;
}

int CKxUninstMgr::_LoadFromDisk(UINT nType, CSerializer& reader) {
    if (nType != LIST_SOFT || reader.AtEnd()) return 1;
    kx::CritSecLock lock(m_csList);
    for (;;) {
        std::unique_ptr<CSoftItem> item(new (std::nothrow) CSoftItem);
        if (!item) {
            KXLOG(0, L"!!!New Failed");
            return 1;
        }
        // A damaged item is kept with what it read; the stale-key step of the cache load drops it when its
        // key did not survive.
        int bRead = item->Deserialize(reader);
        m_vecSoft.push_back(item.get());
        item.release();
        if (reader.AtEnd() || !bRead) break;
    }
    return 1;
}

std::wstring CKxUninstMgr::CacheFilePath(UINT nType) const {
    std::wstring folder = m_strCacheDir.empty() ? FixedCacheFolder() : m_strCacheDir;
    if (!folder.empty() && (folder.back() == L'\\' || folder.back() == L'/')) folder.pop_back();
    return folder + L"\\" + kx::Format(L"%s_%i", L"KxUninstall", nType);
}

void CKxUninstMgr::TaskLoadCache() {
    KXLOG(1, L"Begin");
    KXLOG(1, L"step.1 加载Cache");
    kx::CritSecLock lock(m_csList);

    BstrPtr path = MakeBstr(CacheFilePath(LIST_SOFT));
    UINT nVersion = 0;
    if (m_pDataMgr) m_pDataMgr->GetDataVersion(DATA_UNINSTALL_RULE, &nVersion);
    LoadFromDisk(LIST_SOFT, nVersion, path.get());

    KXLOG(1, L"step.2 分析Cache");
    for (size_t i = 0; i < m_vecSoft.size();) {
        CSoftItem* pItem = m_vecSoft[i];
        if (!UNINST_API::KeyHasDisplayName(pItem->Key.c_str())) {
            // Uninstalled since the cache was written.
            m_vecSoft.erase(m_vecSoft.begin() + static_cast<std::ptrdiff_t>(i));
            delete pItem;
            continue;
        }
        if (m_pDataMgr) {
            BstrPtr softId = MakeBstr(pItem->SoftId);
            m_pDataMgr->GetSoftId(softId.get(), &pItem->Id);
        }
        StatCategory(TRUE, CategoryNameById(0).c_str());
        StatCategory(TRUE, pItem->Category.c_str());
        ++i;
    }
    if (!m_vecSoft.empty()) {
        m_bListReady = TRUE;
        Notify((static_cast<WPARAM>(LIST_CATEGORY) << 16) | ACT_LIST_READY, 0);
        Notify((static_cast<WPARAM>(LIST_SOFT) << 16) | ACT_LIST_READY, 0);
    }
    KXLOG(1, L"End");
}

void SaveSoftListCache(CKxUninstMgr& mgr) {
    if (!mgr.m_pDataMgr) return;
    UINT nVersion = 0;
    mgr.m_pDataMgr->GetDataVersion(DATA_UNINSTALL_RULE, &nVersion);
    BstrPtr path = MakeBstr(mgr.CacheFilePath(LIST_SOFT));
    mgr.DumpToDisk(LIST_SOFT, nVersion, path.get());
}
