// Link-only stand-ins for discovery and category-table functions that land from other branches, declared as
// those branches declare them; this header and the Pending*.cpp files go away when they land.
#pragma once

#include <windows.h>

#include <string>

struct FolderFacts {
    ULONGLONG Size = 0;
    std::wstring Date;
    int Use = 0;
};

FolderFacts ScanInstallFolder(const std::wstring& strFolder);
std::wstring NewGuidString();

namespace UNINST_API {
bool KeyHasDisplayName(const wchar_t* pszKeyPath);
}  // namespace UNINST_API

std::wstring CategoryNameById(UINT nId);
