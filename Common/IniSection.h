// One section of an INI file as its lines ("key=value" or bare text), read with the platform's section reader.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace kx {

// Reads the section into a buffer of cchFirst characters. With bGrow the buffer is doubled while the reader
// signals a cut (it returns the buffer size minus 2), so the whole section is read; without it a long section
// is cut where the reader cuts it. Missing file or section: no lines.
std::vector<std::wstring> ReadIniSection(const std::wstring& strPath, const wchar_t* pszSection, DWORD cchFirst,
                                         bool bGrow);

}  // namespace kx
