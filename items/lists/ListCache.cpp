#define KX_LOG_SOURCE ".\\KxUninstMgr"
#include "ListCache.h"

#include <shlobj.h>

#include <cstdio>
#include <memory>
#include <new>

#include "CategoryStat.h"
#include "CategoryTable.h"
#include "ExecutetTime.h"
#include "KxLog.h"
#include "KxUninstAPI.h"
#include "ScopedHandle.h"
#include "Serializer.h"
#include "SoftItem.h"
#include "WideFormat.h"

namespace {

const UINT kHeaderSize = 12;

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

// Everything after a successful open.
HRESULT ReadOpenFile(HANDLE hFile, UINT nType, UINT nVersion, const wchar_t* pszFile,
                     const std::function<int(CSerializer&)>& load) {
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
    return load(reader) ? S_OK : E_FAIL;
}

}  // namespace

HRESULT WriteListFile(const wchar_t* pszFile, UINT nType, UINT nVersion, const CSerializer& payload) {
    kx::unique_hfile file(CreateFileW(pszFile ? pszFile : L"", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        DWORD dwErr = GetLastError();
        printf("open binary file failed! error code:%d\n", static_cast<int>(dwErr));
        fflush(stdout);
        return E_FAIL;
    }
    const UINT header[3] = {nVersion, nType, payload.Length()};
    DWORD dwWritten = 0;
    WriteFile(file.get(), header, sizeof(header), &dwWritten, nullptr);
    if (payload.Length() > 0) WriteFile(file.get(), payload.Buffer(), payload.Length(), &dwWritten, nullptr);
    return S_OK;
}

HRESULT ReadListFile(const wchar_t* pszFile, UINT nType, UINT nVersion, const std::function<int(CSerializer&)>& load) {
    if (!pszFile) pszFile = L"";
    HRESULT hr = E_FAIL;
    {
        kx::unique_hfile file(CreateFileW(pszFile, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file)
            KxXLog(L"打开文件失败[type=%d version=%d path=%s]", nType, nVersion, pszFile);
        else
            hr = ReadOpenFile(file.get(), nType, nVersion, pszFile, load);
    }
    if (FAILED(hr) && *pszFile) DeleteFileW(pszFile);
    return hr;
}

int WriteSoftList(const std::vector<CSoftItem*>& vecSoft, CSerializer& writer) {
    for (size_t i = 0; i < vecSoft.size(); ++i) {
        if (!vecSoft[i]->Serialize(writer)) {
            KXLOG_AS(0, "CKxUninstMgr::_DumpToDisk", L"_DumpToDisk Err!! i = %d", static_cast<int>(i));
            break;
        }
    }
    return 1;
}

int ReadSoftList(std::vector<CSoftItem*>& vecSoft, CSerializer& reader) {
    if (reader.AtEnd()) return 1;
    for (;;) {
        std::unique_ptr<CSoftItem> item(new (std::nothrow) CSoftItem);
        if (!item) {
            KXLOG_AS(0, "CKxUninstMgr::_LoadFromDisk", L"!!!New Failed");
            return 1;
        }
        // A damaged item is kept with what it read; the stale-key step of the cache load drops it when its
        // key did not survive.
        int bRead = item->Deserialize(reader);
        vecSoft.push_back(item.get());
        item.release();
        if (reader.AtEnd() || !bRead) break;
    }
    return 1;
}

std::wstring CacheFilePath(const std::wstring& strCacheDir, UINT nType) {
    std::wstring folder = strCacheDir.empty() ? FixedCacheFolder() : strCacheDir;
    if (!folder.empty() && (folder.back() == L'\\' || folder.back() == L'/')) folder.pop_back();
    return folder + L"\\" + kx::Format(L"%s_%i", L"KxUninstall", nType);
}

bool ReviewCachedList(SoftLists& lists, IKxDataMgr* pDataMgr) {
    std::vector<CSoftItem*>& vecSoft = lists.vecSoft;
    for (size_t i = 0; i < vecSoft.size();) {
        CSoftItem* pItem = vecSoft[i];
        if (!UNINST_API::KeyHasDisplayName(pItem->Key.c_str())) {
            // Uninstalled since the cache was written.
            vecSoft.erase(vecSoft.begin() + static_cast<std::ptrdiff_t>(i));
            delete pItem;
            continue;
        }
        if (pDataMgr) pDataMgr->GetSoftId(kx::MakeBstr(pItem->SoftId).get(), &pItem->Id);
        StatCategory(lists, TRUE, CategoryNameById(0).c_str());
        StatCategory(lists, TRUE, pItem->Category.c_str());
        ++i;
    }
    return !vecSoft.empty();
}
