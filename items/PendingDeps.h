// Link-only stand-ins for discovery and category-table functions that land from other branches; this header
// and PendingDeps.cpp go away when those land.
#pragma once

#include <windows.h>

#include <string>

namespace UNINST_API {

struct FolderFacts {
    ULONGLONG Size = 0;
    std::wstring Date;
    UINT Use = 0;
};

FolderFacts ScanInstallFolder(const std::wstring& strFolder);
bool KeyHasDisplayName(const std::wstring& strKeyPath);
std::wstring NewGuidString();

}  // namespace UNINST_API

std::wstring CategoryNameById(UINT nId);
