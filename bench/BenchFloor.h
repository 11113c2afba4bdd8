// The floor both the discovery and the list benchmarks measure against: the Uninstall keys enumerated (each
// entry opened, its name read) and every install folder walked with FindFirstFile, nothing else.
#pragma once

#include <windows.h>

#include <string>

#include "KxUninstAPI.h"
#include "RegKey.h"
#include "ScopedHandle.h"

namespace kxbench {

inline void WalkFloor(std::wstring& path, ULONGLONG& nFiles) {
    size_t base = path.size();
    path += L"\\*";
    WIN32_FIND_DATAW fd;
    kx::unique_hfind hFind(
        FindFirstFileExW(path.c_str(), FindExInfoBasic, &fd, FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH));
    path.resize(base);
    if (!hFind) return;
    do {
        if (fd.cFileName[0] == L'.') continue;
        ++nFiles;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            path += L'\\';
            path += fd.cFileName;
            WalkFloor(path, nFiles);
            path.resize(base);
        }
    } while (FindNextFileW(hFind.get(), &fd));
}

// The folder an entry names: its InstallLocation, else the uninstall command up to its last backslash.
inline std::wstring EntryFolder(const kx::CRegKey& entry) {
    std::wstring folder = entry.String(L"InstallLocation");
    if (!folder.empty()) return folder;
    std::wstring command = entry.String(L"UninstallString");
    if (!command.empty() && command[0] == L'"') command.erase(0, 1);
    size_t slash = command.rfind(L'\\');
    return slash == std::wstring::npos ? std::wstring() : command.substr(0, slash);
}

// Returns the number of entries with a display name; nFiles gets the directory entries walked.
inline size_t Floor(ULONGLONG& nFiles) {
    struct Place {
        HKEY root;
        const wchar_t* path;
    } places[] = {{HKEY_LOCAL_MACHINE, UNINST_API::kUninstallPath},
#ifdef _WIN64
                  {HKEY_LOCAL_MACHINE, UNINST_API::kWow64UninstallPath},
#endif
                  {HKEY_CURRENT_USER, UNINST_API::kUninstallPath}};
    size_t nEntries = 0;
    nFiles = 0;
    for (const Place& place : places) {
        kx::CRegKey key(place.root, place.path);
        DWORD n = key.SubKeyCount();
        for (DWORD i = 0; i < n; ++i) {
            std::wstring name = key.SubKeyName(i);
            kx::CRegKey entry(place.root, std::wstring(place.path) + name);
            if (entry.String(L"DisplayName").empty()) continue;
            ++nEntries;
            std::wstring folder = EntryFolder(entry);
            while (!folder.empty() && folder.back() == L'\\') folder.pop_back();
            if (!folder.empty()) WalkFloor(folder, nFiles);
        }
    }
    return nEntries;
}

}  // namespace kxbench
