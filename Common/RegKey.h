// The one registry walker: open keys, their subkeys and values by index, a recursive descent, key and value
// deletion, and the root names of registry key texts ("HKEY_LOCAL_MACHINE\path", values as
// "HKEY_LOCAL_MACHINE\path\\name").
//
// Nothing here trusts a value's stored size, type or terminator. Reads come in two modes:
//   - bounded, skip on failure: names up to 260 characters, data up to 520 bytes into fixed buffers, cut at
//     the first NUL; a name or value that does not fit reads as missing (empty, false) and is skipped;
//   - whole: a string value of any length, the buffer grown while the registry answers ERROR_MORE_DATA.
// Failures are reported as an empty string, 0 or false, never thrown.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "ScopedHandle.h"

namespace kx {

// ---- root names --------------------------------------------------------------------------------------------

// "HKEY_LOCAL_MACHINE", "HKEY_CURRENT_USER", "HKEY_CLASSES_ROOT", "HKEY_USERS"; empty for any other root.
std::wstring RootKeyName(HKEY hRoot);
// The root of one of the four long names (exact case); NULL for anything else.
HKEY RootKeyFromName(const std::wstring& strName);
// As RootKeyFromName, and the short forms HKLM, HKCU, HKCR and HKU.
HKEY RootKeyFromAlias(const std::wstring& strName);
// Splits "ROOT\path" at its first backslash; false (outputs untouched) when there is none, the path is
// empty, or the root is not one of the four long names.
bool SplitKeyText(const std::wstring& strText, HKEY& hRoot, std::wstring& strPath);

// ---- one key -----------------------------------------------------------------------------------------------

// A value as the bounded enumeration reads it: the name, the type and the data as text (for string types, up
// to the first NUL; empty for other types).
struct RegValueText {
    std::wstring strName;
    DWORD dwType = REG_NONE;
    std::wstring strData;
};

class CRegKey {
public:
    static constexpr DWORD kNameChars = MAX_PATH;  // longest name the bounded reads take
    static constexpr DWORD kDataBytes = 520;       // most data bytes the bounded reads take

    CRegKey() = default;
    // KEY_READ plus an optional view flag (KEY_WOW64_32KEY / KEY_WOW64_64KEY).
    CRegKey(HKEY hRoot, const std::wstring& strPath, REGSAM samView = 0) { Open(hRoot, strPath, samView); }

    bool Open(HKEY hRoot, const std::wstring& strPath, REGSAM samView = 0);
    // Reads every value of the key in one pass when it holds at most nMaxValues of them: the reads by name
    // that follow (String, WholeString, Dword, Bytes) then cost no registry call and answer byte for byte as
    // the registry would have. A key with more values, or one that changes under the pass, keeps reading by
    // name. Worth it where a caller reads more names than the key usually holds values.
    bool Snapshot(DWORD nMaxValues);
    bool IsOpen() const { return m_hKey.valid(); }
    HKEY Get() const { return m_hKey.get(); }

    // Counts asked once by the caller; 0 when the key cannot be queried.
    DWORD SubKeyCount() const;
    DWORD ValueCount() const;
    // Bounded: the subkey name at nIndex; empty when there is none or it does not fit.
    std::wstring SubKeyName(DWORD nIndex) const;
    // Bounded: the value at nIndex; false (skip it) when it cannot be read or does not fit.
    bool ValueAt(DWORD nIndex, RegValueText& value) const;
    // Bounded: the value's bytes as stored whatever its type (REG_EXPAND_SZ stays unexpanded), up to the
    // first NUL; empty when missing or longer than 260 characters.
    std::wstring String(const wchar_t* pszName) const;
    // Whole: a string of any length (same cut at the first NUL); empty when missing.
    std::wstring WholeString(const wchar_t* pszName) const;
    // Up to 4 bytes of the value into a variable preset to dwPreset; the preset when the read fails.
    DWORD Dword(const wchar_t* pszName, DWORD dwPreset = 0) const;
    // Up to cbSize bytes of the value into pData; false when the value is missing or larger.
    bool Bytes(const wchar_t* pszName, void* pData, DWORD cbSize) const;

private:
    struct SnapshotValue {
        std::wstring strName;
        DWORD dwType;
        std::vector<BYTE> data;
    };
    // RegQueryValueExW, or its answer from the snapshot.
    LONG Query(const wchar_t* pszName, BYTE* pData, DWORD& cb) const;

    unique_hkey m_hKey;
    bool m_bSnapshot = false;
    std::vector<SnapshotValue> m_values;
};

// The bounded readers on a key the caller holds open.
DWORD RegSubKeyCount(HKEY hKey);
DWORD RegValueCount(HKEY hKey);
bool RegReadValueAt(HKEY hKey, DWORD nIndex, RegValueText& value);
std::wstring RegReadSubKeyName(HKEY hKey, DWORD nIndex);
std::wstring RegReadString(HKEY hKey, const wchar_t* pszName);

// ---- descent and deletion ----------------------------------------------------------------------------------

// Calls onKey(key, path) for root\path and then, depth first in index order, for every key below it that
// opens; subkey names that do not fit are skipped. onKey returns false to end the whole walk, and so does
// bStop() (tested before each key) when given.
template <typename OnKey, typename Stop>
bool WalkKeyTree(HKEY hRoot, const std::wstring& strPath, REGSAM samView, OnKey&& onKey, Stop&& bStop) {
    if (bStop()) return false;
    CRegKey key(hRoot, strPath, samView);
    if (!key.IsOpen()) return true;
    if (!onKey(key, strPath)) return false;
    const DWORD n = key.SubKeyCount();
    for (DWORD i = 0; i < n; ++i) {
        std::wstring name = key.SubKeyName(i);
        if (name.empty()) continue;
        if (!WalkKeyTree(hRoot, strPath + L"\\" + name, samView, onKey, bStop)) return false;
    }
    return true;
}

// Whether root\path is a registry link or holds one anywhere below it (keys opened without following links,
// whose SymbolicLinkValue is a REG_LINK). Deleting a tree follows such links and empties what they lead to.
bool HoldsKeyLink(HKEY hRoot, const std::wstring& strPath);
// root\path with all its subkeys (SHDeleteKeyW); the registry's result code.
LSTATUS DeleteKeyTree(HKEY hRoot, const std::wstring& strPath);
// One value of root\path (SHDeleteValueW); the registry's result code.
LSTATUS DeleteValue(HKEY hRoot, const std::wstring& strPath, const std::wstring& strName);

}  // namespace kx
