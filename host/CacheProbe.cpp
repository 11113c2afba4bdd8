#include "CacheProbe.h"

#include <windows.h>
#include <shlobj.h>

#include <vector>

#include "KxUninstIf.h"
#include "ScopedHandle.h"
#include "Serializer.h"
#include "SoftItem.h"

namespace {

const wchar_t kFixedCacheFolder[] = L"\\Orvane\\OrvaneVarnok\\solvend2\\data";
const wchar_t kCacheFileName[] = L"KxUninstall_32";
const UINT kCacheHeaderSize = 12;

HKEY RootFromName(const std::wstring& name) {
    if (name == L"HKEY_LOCAL_MACHINE") return HKEY_LOCAL_MACHINE;
    if (name == L"HKEY_CURRENT_USER") return HKEY_CURRENT_USER;
    if (name == L"HKEY_CLASSES_ROOT") return HKEY_CLASSES_ROOT;
    if (name == L"HKEY_USERS") return HKEY_USERS;
    return nullptr;
}

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
    while (!folder.empty() && folder.back() == L'\\') folder.pop_back();
    return folder + L"\\" + kCacheFileName;
}

bool FileExists(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool RegistryKeyHasDisplayName(const std::wstring& keyPath) {
    size_t slash = keyPath.find(L'\\');
    if (slash == std::wstring::npos) return false;
    HKEY root = RootFromName(keyPath.substr(0, slash));
    if (!root) return false;
    kx::unique_hkey key;
    if (RegOpenKeyExW(root, keyPath.substr(slash + 1).c_str(), 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS)
        return false;
    wchar_t name[MAX_PATH] = {0};
    DWORD bytes = sizeof(name) - sizeof(wchar_t);
    DWORD type = 0;
    LSTATUS status = RegQueryValueExW(key.get(), L"DisplayName", nullptr, &type, reinterpret_cast<BYTE*>(name), &bytes);
    // A name too long for the buffer is still a name.
    if (status == ERROR_MORE_DATA) return true;
    return status == ERROR_SUCCESS && (type == REG_SZ || type == REG_EXPAND_SZ) && bytes >= sizeof(wchar_t) &&
           name[0] != L'\0';
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
        if (RegistryKeyHasDisplayName(item.Key)) return true;
        if (!whole) break;
    }
    return false;
}
