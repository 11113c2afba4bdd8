// Link-only stand-ins; see PendingDeps.h.
#include <objbase.h>

#include "PendingDeps.h"
#include "ScopedHandle.h"

FolderFacts ScanInstallFolder(const std::wstring&) { return FolderFacts(); }

std::wstring NewGuidString() {
    GUID guid;
    if (FAILED(CoCreateGuid(&guid))) return std::wstring();
    wchar_t sz[64] = {};
    StringFromGUID2(guid, sz, 64);
    std::wstring s(sz);
    return s.size() == 38 ? s.substr(1, 36) : s;
}

namespace UNINST_API {

bool KeyHasDisplayName(const wchar_t* pszKeyPath) {
    std::wstring path = pszKeyPath ? pszKeyPath : L"";
    size_t slash = path.find(L'\\');
    if (slash == std::wstring::npos) return false;
    std::wstring root = path.substr(0, slash);
    HKEY hRoot = root == L"HKEY_LOCAL_MACHINE" ? HKEY_LOCAL_MACHINE
               : root == L"HKEY_CURRENT_USER"  ? HKEY_CURRENT_USER
               : root == L"HKEY_CLASSES_ROOT"  ? HKEY_CLASSES_ROOT
               : root == L"HKEY_USERS"         ? HKEY_USERS
                                               : nullptr;
    if (!hRoot) return false;
    kx::unique_hkey key;
    if (RegOpenKeyExW(hRoot, path.c_str() + slash + 1, 0, KEY_READ, key.put()) != ERROR_SUCCESS) return false;
    wchar_t sz[260] = {};
    DWORD cb = sizeof(sz) - sizeof(wchar_t);
    DWORD type = REG_SZ;
    if (RegQueryValueExW(key.get(), L"DisplayName", nullptr, &type, reinterpret_cast<BYTE*>(sz), &cb) != ERROR_SUCCESS)
        return false;
    return sz[0] != L'\0';
}

}  // namespace UNINST_API
