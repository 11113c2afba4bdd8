// Read access to one registry key through bounded buffers. Nothing here trusts a value's stored size, type or
// terminator: strings are read raw into a fixed buffer and cut at the first NUL, integers into a preset
// variable, bytes into a caller's buffer of fixed size.
#pragma once

#include <windows.h>

#include <string>

#include "ScopedHandle.h"

namespace kx {

// The bounded readers on any open key (CRegKey uses them; so may code that holds a raw HKEY).
std::wstring RegReadString(HKEY hKey, const wchar_t* pszName);
std::wstring RegReadSubKeyName(HKEY hKey, DWORD nIndex);

class CRegKey {
public:
    static constexpr DWORD kTextChars = MAX_PATH;

    CRegKey() = default;
    // KEY_READ plus an optional view flag.
    CRegKey(HKEY hRoot, const std::wstring& strPath, REGSAM samView = 0) { Open(hRoot, strPath, samView); }

    bool Open(HKEY hRoot, const std::wstring& strPath, REGSAM samView = 0);
    bool IsOpen() const { return m_hKey.valid(); }
    HKEY Get() const { return m_hKey.get(); }

    // Number of direct subkeys, asked once by the caller; 0 when the key cannot be queried.
    DWORD SubKeyCount() const;
    // Name of the subkey at nIndex; empty when there is none or it does not fit in 260 characters.
    std::wstring SubKeyName(DWORD nIndex) const;
    // The value's bytes as stored, whatever its type (REG_EXPAND_SZ stays unexpanded), up to the first NUL.
    // Empty when missing or longer than 260 characters.
    std::wstring String(const wchar_t* pszName) const;
    // Up to 4 bytes of the value into a variable preset to dwPreset; the preset when the read fails.
    DWORD Dword(const wchar_t* pszName, DWORD dwPreset = 0) const;
    // Up to cbSize bytes of the value into pData; false (pData untouched by intent) when the value is missing
    // or larger.
    bool Bytes(const wchar_t* pszName, void* pData, DWORD cbSize) const;

private:
    unique_hkey m_hKey;
};

}  // namespace kx
