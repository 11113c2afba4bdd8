// Link-only stand-ins for discovery functions that land from another branch, declared as that branch declares
// them; this header and PendingDiscovery.cpp go away when it lands.
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
