#include "RegKey.h"

#include <shlwapi.h>

#include <cstring>
#include <cwchar>
#include <vector>

namespace kx {

namespace {

struct RootName {
    HKEY hKey;
    const wchar_t* pszName;
    const wchar_t* pszAlias;
};
const RootName kRootNames[] = {{HKEY_LOCAL_MACHINE, L"HKEY_LOCAL_MACHINE", L"HKLM"},
                               {HKEY_CURRENT_USER, L"HKEY_CURRENT_USER", L"HKCU"},
                               {HKEY_CLASSES_ROOT, L"HKEY_CLASSES_ROOT", L"HKCR"},
                               {HKEY_USERS, L"HKEY_USERS", L"HKU"}};

// The text of cb bytes of string data, up to the first NUL; an odd last byte is dropped.
std::wstring TextOf(const wchar_t* pData, DWORD cb, DWORD cchRoom) {
    DWORD cch = cb / sizeof(wchar_t);
    if (cch > cchRoom) cch = cchRoom;
    return std::wstring(pData, wcsnlen(pData, cch));
}

bool IsStringType(DWORD dwType) { return dwType == REG_SZ || dwType == REG_EXPAND_SZ || dwType == REG_MULTI_SZ; }

}  // namespace

std::wstring RootKeyName(HKEY hRoot) {
    for (const RootName& root : kRootNames)
        if (root.hKey == hRoot) return root.pszName;
    return std::wstring();
}

HKEY RootKeyFromName(const std::wstring& strName) {
    for (const RootName& root : kRootNames)
        if (strName == root.pszName) return root.hKey;
    return nullptr;
}

HKEY RootKeyFromAlias(const std::wstring& strName) {
    for (const RootName& root : kRootNames)
        if (strName == root.pszAlias) return root.hKey;
    return RootKeyFromName(strName);
}

bool SplitKeyText(const std::wstring& strText, HKEY& hRoot, std::wstring& strPath) {
    size_t slash = strText.find(L'\\');
    if (slash == std::wstring::npos || slash + 1 >= strText.size()) return false;
    HKEY hFound = RootKeyFromName(strText.substr(0, slash));
    if (!hFound) return false;
    hRoot = hFound;
    strPath = strText.substr(slash + 1);
    return true;
}

bool CRegKey::Open(HKEY hRoot, const std::wstring& strPath, REGSAM samView) {
    m_bSnapshot = false;
    m_values.clear();
    m_hKey.reset();
    return RegOpenKeyExW(hRoot, strPath.c_str(), 0, KEY_READ | samView, m_hKey.put()) == ERROR_SUCCESS;
}

bool CRegKey::Snapshot(DWORD nMaxValues) {
    m_bSnapshot = false;
    m_values.clear();
    DWORD nValues = 0, cchMaxName = 0, cbMaxData = 0;
    if (!IsOpen() || RegQueryInfoKeyW(m_hKey.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &nValues,
                                      &cchMaxName, &cbMaxData, nullptr, nullptr) != ERROR_SUCCESS ||
        nValues > nMaxValues)
        return false;
    std::vector<wchar_t> name(cchMaxName + 1);
    std::vector<BYTE> data(cbMaxData + 1);
    for (DWORD i = 0; i < nValues; ++i) {
        DWORD cchName = static_cast<DWORD>(name.size()), cbData = static_cast<DWORD>(data.size()), dwType = REG_NONE;
        LONG err = RegEnumValueW(m_hKey.get(), i, name.data(), &cchName, nullptr, &dwType, data.data(), &cbData);
        if (err == ERROR_NO_MORE_ITEMS) break;
        if (err != ERROR_SUCCESS) {
            // Grown since it was counted: read by name.
            m_values.clear();
            return false;
        }
        m_values.push_back({std::wstring(name.data(), cchName), dwType,
                            std::vector<BYTE>(data.begin(), data.begin() + cbData)});
    }
    m_bSnapshot = true;
    return true;
}

LONG CRegKey::Query(const wchar_t* pszName, BYTE* pData, DWORD& cb) const {
    if (!m_bSnapshot) return RegQueryValueExW(m_hKey.get(), pszName, nullptr, nullptr, pData, &cb);
    const wchar_t* pszWanted = pszName ? pszName : L"";
    for (const SnapshotValue& value : m_values) {
        // Value names compare as the registry compares them: ignoring case.
        if (CompareStringOrdinal(value.strName.c_str(), static_cast<int>(value.strName.size()), pszWanted, -1, TRUE) !=
            CSTR_EQUAL)
            continue;
        const DWORD size = static_cast<DWORD>(value.data.size());
        if (size > cb) {
            cb = size;
            return ERROR_MORE_DATA;
        }
        memcpy(pData, value.data.data(), size);
        // As the registry does: a string that lacks its terminator gets one when the buffer has room for it.
        if (IsStringType(value.dwType) && size >= sizeof(wchar_t) && size + sizeof(wchar_t) <= cb &&
            (value.data[size - 2] || value.data[size - 1]))
            pData[size] = pData[size + 1] = 0;
        cb = size;
        return ERROR_SUCCESS;
    }
    return ERROR_FILE_NOT_FOUND;
}

DWORD RegSubKeyCount(HKEY hKey) {
    DWORD n = 0;
    if (!hKey || RegQueryInfoKeyW(hKey, nullptr, nullptr, nullptr, &n, nullptr, nullptr, nullptr, nullptr, nullptr,
                                  nullptr, nullptr) != ERROR_SUCCESS)
        return 0;
    return n;
}

DWORD RegValueCount(HKEY hKey) {
    DWORD n = 0;
    if (!hKey || RegQueryInfoKeyW(hKey, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &n, nullptr, nullptr,
                                  nullptr, nullptr) != ERROR_SUCCESS)
        return 0;
    return n;
}

DWORD CRegKey::SubKeyCount() const { return RegSubKeyCount(m_hKey.get()); }

DWORD CRegKey::ValueCount() const { return RegValueCount(m_hKey.get()); }

std::wstring RegReadSubKeyName(HKEY hKey, DWORD nIndex) {
    wchar_t szName[CRegKey::kNameChars + 1] = {};
    DWORD cch = CRegKey::kNameChars;
    if (RegEnumKeyExW(hKey, nIndex, szName, &cch, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return std::wstring();
    return std::wstring(szName, wcsnlen(szName, cch < CRegKey::kNameChars ? cch : CRegKey::kNameChars));
}

std::wstring RegReadString(HKEY hKey, const wchar_t* pszName) {
    // One spare character so the cut never reads past what the call may have written.
    wchar_t szText[CRegKey::kNameChars + 1] = {};
    DWORD cb = CRegKey::kNameChars * sizeof(wchar_t);
    if (RegQueryValueExW(hKey, pszName, nullptr, nullptr, reinterpret_cast<BYTE*>(szText), &cb) != ERROR_SUCCESS)
        return std::wstring();
    return TextOf(szText, cb, CRegKey::kNameChars);
}

std::wstring CRegKey::SubKeyName(DWORD nIndex) const {
    return IsOpen() ? RegReadSubKeyName(m_hKey.get(), nIndex) : std::wstring();
}

bool RegReadValueAt(HKEY hKey, DWORD nIndex, RegValueText& value) {
    if (!hKey) return false;
    constexpr DWORD kNameChars = CRegKey::kNameChars, kDataBytes = CRegKey::kDataBytes;
    wchar_t szName[kNameChars + 1] = {};
    DWORD cchName = kNameChars;
    wchar_t szData[kDataBytes / sizeof(wchar_t) + 1] = {};
    DWORD cbData = kDataBytes;
    DWORD dwType = REG_NONE;
    if (RegEnumValueW(hKey, nIndex, szName, &cchName, nullptr, &dwType, reinterpret_cast<BYTE*>(szData), &cbData) !=
        ERROR_SUCCESS)
        return false;
    value.strName.assign(szName, wcsnlen(szName, cchName < kNameChars ? cchName : kNameChars));
    value.dwType = dwType;
    if (IsStringType(dwType))
        value.strData = TextOf(szData, cbData, kDataBytes / sizeof(wchar_t));
    else
        value.strData.clear();
    return true;
}

bool CRegKey::ValueAt(DWORD nIndex, RegValueText& value) const { return RegReadValueAt(m_hKey.get(), nIndex, value); }

std::wstring CRegKey::String(const wchar_t* pszName) const {
    if (!IsOpen()) return std::wstring();
    if (!m_bSnapshot) return RegReadString(m_hKey.get(), pszName);
    wchar_t szText[kNameChars + 1] = {};
    DWORD cb = kNameChars * sizeof(wchar_t);
    if (Query(pszName, reinterpret_cast<BYTE*>(szText), cb) != ERROR_SUCCESS) return std::wstring();
    return TextOf(szText, cb, kNameChars);
}

std::wstring CRegKey::WholeString(const wchar_t* pszName) const {
    if (!IsOpen()) return std::wstring();
    std::vector<wchar_t> buffer(kNameChars + 1);
    for (;;) {
        DWORD cb = static_cast<DWORD>((buffer.size() - 1) * sizeof(wchar_t));
        LONG err = Query(pszName, reinterpret_cast<BYTE*>(buffer.data()), cb);
        if (err == ERROR_SUCCESS) return TextOf(buffer.data(), cb, static_cast<DWORD>(buffer.size() - 1));
        // The size asked for may change between two calls; grow at least by half each round.
        if (err != ERROR_MORE_DATA) return std::wstring();
        size_t cchNeeded = cb / sizeof(wchar_t) + 2;
        buffer.assign(cchNeeded > buffer.size() * 3 / 2 ? cchNeeded : buffer.size() * 3 / 2, L'\0');
    }
}

DWORD CRegKey::Dword(const wchar_t* pszName, DWORD dwPreset) const {
    if (!IsOpen()) return dwPreset;
    DWORD dwValue = dwPreset;
    DWORD cb = sizeof(dwValue);
    if (Query(pszName, reinterpret_cast<BYTE*>(&dwValue), cb) != ERROR_SUCCESS) return dwPreset;
    return dwValue;
}

bool CRegKey::Bytes(const wchar_t* pszName, void* pData, DWORD cbSize) const {
    if (!IsOpen()) return false;
    DWORD cb = cbSize;
    return Query(pszName, static_cast<BYTE*>(pData), cb) == ERROR_SUCCESS;
}

namespace {

bool IsLinkKey(HKEY hKey) {
    DWORD dwType = 0;
    return RegQueryValueExW(hKey, L"SymbolicLinkValue", nullptr, &dwType, nullptr, nullptr) == ERROR_SUCCESS &&
           dwType == REG_LINK;
}

bool HoldsKeyLinkBelow(HKEY hKey) {
    const DWORD n = RegSubKeyCount(hKey);
    for (DWORD i = 0; i < n; ++i) {
        const std::wstring name = RegReadSubKeyName(hKey, i);
        unique_hkey sub;
        if (name.empty() ||
            RegOpenKeyExW(hKey, name.c_str(), REG_OPTION_OPEN_LINK, KEY_READ, sub.put()) != ERROR_SUCCESS)
            continue;
        if (IsLinkKey(sub.get()) || HoldsKeyLinkBelow(sub.get())) return true;
    }
    return false;
}

}  // namespace

bool HoldsKeyLink(HKEY hRoot, const std::wstring& strPath) {
    unique_hkey key;
    if (RegOpenKeyExW(hRoot, strPath.c_str(), REG_OPTION_OPEN_LINK, KEY_READ, key.put()) != ERROR_SUCCESS)
        return false;
    return IsLinkKey(key.get()) || HoldsKeyLinkBelow(key.get());
}

LSTATUS DeleteKeyTree(HKEY hRoot, const std::wstring& strPath) { return SHDeleteKeyW(hRoot, strPath.c_str()); }

LSTATUS DeleteValue(HKEY hRoot, const std::wstring& strPath, const std::wstring& strName) {
    return SHDeleteValueW(hRoot, strPath.c_str(), strName.c_str());
}

}  // namespace kx
