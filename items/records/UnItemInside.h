#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <string>

// One installed program as discovery finds it; never serialized.
struct UnItemInside {
    int Virtual = 0;  // 1 for the software-centre list
    ULONGLONG Size = 0;
    UINT Use = 0;
    std::wstring KeyPath;  // root name, backslash, subkey path: the record's identity
    std::wstring GUID;
    std::wstring DisplayName;
    std::wstring DisplayIcon;
    std::wstring UninstallKey;
    std::wstring InstallLocation;
    std::wstring UninstallString;
    std::wstring InstallDate;
};

// Installed records by DisplayName (exact, case-sensitive); the first record with a name wins.
using InsideMap = std::map<std::wstring, std::unique_ptr<UnItemInside>>;
