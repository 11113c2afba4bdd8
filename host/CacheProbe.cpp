#include "CacheProbe.h"

#include <windows.h>
#include <shlobj.h>

#include <vector>

#include "EntryFacts.h"
#include "KxUninstIf.h"
#include "PathText.h"
#include "ScopedHandle.h"
#include "Serializer.h"
#include "SoftItem.h"
#include "WinText.h"

namespace {

const wchar_t kFixedCacheFolder[] = L"\\Orvane\\OrvaneVarnok\\solvend2\\data";
const wchar_t kCacheFileName[] = L"KxUninstall_32";
const UINT kCacheHeaderSize = 12;

bool ReadWholeFile(const std::wstring& path, std::vector<BYTE>& bytes) {
    kx::unique_hfile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size;
    if (!file || !GetFileSizeEx(file.get(), &size) || size.QuadPart > 256LL * 1024 * 1024) return false;
    bytes.resize(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    return bytes.empty() ||
           (ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) &&
            read == bytes.size());
}

}  // namespace

std::wstring SoftCacheFilePath(const std::wstring& cacheDir) {
    std::wstring folder = cacheDir;
    if (folder.empty()) {
        wchar_t appData[MAX_PATH] = {0};
        if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, appData))) return L"";
        folder = std::wstring(appData) + kFixedCacheFolder;
    }
    return kx::TrimSlashes(folder) + L"\\" + kCacheFileName;
}

bool FileExists(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool CacheMayGiveList(const std::wstring& path) {
    std::vector<BYTE> bytes;
    if (path.empty() || !ReadWholeFile(path, bytes) || bytes.size() <= kCacheHeaderSize) return false;
    UINT type = 0, length = 0;
    memcpy(&type, bytes.data() + 4, 4);
    memcpy(&length, bytes.data() + 8, 4);
    if (type != LIST_SOFT || length == 0 || length > bytes.size() - kCacheHeaderSize) return false;
    CSerializer reader(bytes.data() + kCacheHeaderSize, length);
    while (!reader.AtEnd()) {
        CSoftItem item;
        bool whole = item.Deserialize(reader) != 0;
        if (KeyTextHasDisplayName(item.Key)) return true;
        if (!whole) break;
    }
    return false;
}

bool PrepareCacheDir(std::wstring& dir, std::wstring& error) {
    wchar_t full[MAX_PATH];
    DWORD n = GetFullPathNameW(dir.c_str(), MAX_PATH, full, nullptr);
    if (n == 0 || n >= MAX_PATH) {
        error = L"bad cache folder: " + dir;
        return false;
    }
    dir = kx::TrimSlashesKeepRoot(full);
    int rc = SHCreateDirectoryExW(nullptr, dir.c_str(), nullptr);
    if (rc != ERROR_SUCCESS && rc != ERROR_ALREADY_EXISTS && rc != ERROR_FILE_EXISTS) {
        error = L"cannot create the cache folder " + UserPath(dir) + L": " + ErrorText(rc);
        return false;
    }
    DWORD attributes = GetFileAttributesW(dir.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        error = L"the cache folder is not a folder: " + UserPath(dir);
        return false;
    }
    return true;
}
