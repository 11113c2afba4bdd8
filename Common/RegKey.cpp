#include "RegKey.h"

#include <cwchar>

namespace kx {

bool CRegKey::Open(HKEY hRoot, const std::wstring& strPath, REGSAM samView) {
    m_hKey.reset();
    HKEY hKey = nullptr;
    if (RegOpenKeyExW(hRoot, strPath.c_str(), 0, KEY_READ | samView, &hKey) != ERROR_SUCCESS) return false;
    m_hKey.reset(hKey);
    return true;
}

DWORD CRegKey::SubKeyCount() const {
    DWORD nSubKeys = 0;
    if (!IsOpen() || RegQueryInfoKeyW(m_hKey.get(), nullptr, nullptr, nullptr, &nSubKeys, nullptr, nullptr,
                                      nullptr, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return 0;
    return nSubKeys;
}

std::wstring RegReadSubKeyName(HKEY hKey, DWORD nIndex) {
    wchar_t szName[CRegKey::kTextChars + 1] = {};
    DWORD cch = CRegKey::kTextChars;
    if (RegEnumKeyExW(hKey, nIndex, szName, &cch, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return std::wstring();
    return std::wstring(szName, wcsnlen(szName, cch < CRegKey::kTextChars ? cch : CRegKey::kTextChars));
}

std::wstring RegReadString(HKEY hKey, const wchar_t* pszName) {
    // One spare character so the cut below never reads past what the call may have written.
    wchar_t szText[CRegKey::kTextChars + 1] = {};
    DWORD dwType = REG_SZ;
    DWORD cb = CRegKey::kTextChars * sizeof(wchar_t);
    if (RegQueryValueExW(hKey, pszName, nullptr, &dwType, reinterpret_cast<BYTE*>(szText), &cb) !=
        ERROR_SUCCESS)
        return std::wstring();
    DWORD cch = cb / sizeof(wchar_t);
    if (cch > CRegKey::kTextChars) cch = CRegKey::kTextChars;
    return std::wstring(szText, wcsnlen(szText, cch));
}

std::wstring CRegKey::SubKeyName(DWORD nIndex) const {
    return IsOpen() ? RegReadSubKeyName(m_hKey.get(), nIndex) : std::wstring();
}

std::wstring CRegKey::String(const wchar_t* pszName) const {
    return IsOpen() ? RegReadString(m_hKey.get(), pszName) : std::wstring();
}

DWORD CRegKey::Dword(const wchar_t* pszName, DWORD dwPreset) const {
    if (!IsOpen()) return dwPreset;
    DWORD dwValue = dwPreset;
    DWORD cb = sizeof(dwValue);
    if (RegQueryValueExW(m_hKey.get(), pszName, nullptr, nullptr, reinterpret_cast<BYTE*>(&dwValue), &cb) !=
        ERROR_SUCCESS)
        return dwPreset;
    return dwValue;
}

bool CRegKey::Bytes(const wchar_t* pszName, void* pData, DWORD cbSize) const {
    if (!IsOpen()) return false;
    DWORD cb = cbSize;
    return RegQueryValueExW(m_hKey.get(), pszName, nullptr, nullptr, static_cast<BYTE*>(pData), &cb) ==
           ERROR_SUCCESS;
}

}  // namespace kx
