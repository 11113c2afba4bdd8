// What the leftover tests share: the prefix's folders, shortcuts and registry entries that remove themselves.
#pragma once

#include <windows.h>

#include <deque>
#include <string>
#include <vector>

namespace dusttest {

std::wstring Folder(int nCsidl);
std::wstring Lower(std::wstring s);
// The folder tree the link fixture made (C:\KxDustLinks).
inline const wchar_t* kLinks = L"C:\\KxDustLinks";
bool MakeShortcut(const std::wstring& strLink, const std::wstring& strTarget);
std::vector<std::wstring> ToVector(const std::deque<std::wstring>& lst);

// A registry key (with its subkeys) or a value that is removed when the object goes.
class RegEntry {
public:
    RegEntry(HKEY hRoot, std::wstring strKey, const wchar_t* pszValue = nullptr, REGSAM samView = 0);
    ~RegEntry();
    RegEntry(const RegEntry&) = delete;
    RegEntry& operator=(const RegEntry&) = delete;
    RegEntry& String(const wchar_t* pszName, const std::wstring& strData);
    RegEntry& Dword(const wchar_t* pszName, DWORD dwData);

private:
    HKEY m_hRoot;
    std::wstring m_strKey;
    std::wstring m_strValue;
    bool m_bValueOnly;
    REGSAM m_samView;
};

}  // namespace dusttest
