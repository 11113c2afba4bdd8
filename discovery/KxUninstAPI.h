// Installed-software discovery: free functions that turn registry entries and the software-centre list into
// installed-software records, and the path helpers they share. None of them reports errors: a failed platform
// call yields an empty string, 0 or false.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "RegKey.h"
#include "Signal.h"
#include "UnItemInside.h"

// ---- Command-line and path resolution (PathResolve.cpp) ----

// The folder of KxInstUI.dll, else of KxVinst.dll, else of the host executable; no trailing backslash. Cached
// for the process once found.
std::wstring GetHostFolder();
// GetHostFolder() + "\conf\soft.ini".
std::wstring GetSoftIniPath();

// Splits an uninstall command or icon string into its folder (trailing backslash), file and first argument,
// probing the file system to find where the executable's path ends.
void ParseCommandLine(const std::wstring& strText, std::wstring& strFolder, std::wstring& strFile,
                      std::wstring& strArgument);
// Replaces the first %NAME% of s (when followed by a backslash) by the variable's value.
void ExpandFirstEnvVar(std::wstring& s);
void NormalizeFolder(std::wstring& s);
void StripBraces(std::wstring& s);
// Completes a bare file name from the system folder or its parent; true when found.
bool FindInSystemFolders(std::wstring& strFile);
std::wstring LastPathComponent(const std::wstring& strPath);
// Text after the last backslash; empty for NULL or a path without one.
std::wstring KeyNameOf(const wchar_t* pszKeyPath);
inline std::wstring KeyNameOf(const std::wstring& strKeyPath) { return KeyNameOf(strKeyPath.c_str()); }
// True when the text holds 8-4-4-4-12 ASCII letters or digits joined by hyphens, anywhere in it.
bool IsGuidShaped(const std::wstring& strText);

// PathIsDirectoryW and PathFileExistsW as discovery asks them: once per distinct path while a
// CPathProbeMemo lives on this thread. A record's folder is probed by the parse of its uninstall command,
// again by the parse of its icon and by the folder walk; the answers do not change within a pass.
bool IsDirectoryPath(const std::wstring& strPath);
bool PathExists(const std::wstring& strPath);

class CPathProbeMemo {
public:
    CPathProbeMemo();
    ~CPathProbeMemo();
    CPathProbeMemo(const CPathProbeMemo&) = delete;
    CPathProbeMemo& operator=(const CPathProbeMemo&) = delete;

    bool IsDirectory(const std::wstring& strPath);
    bool Exists(const std::wstring& strPath);

private:
    std::unordered_map<std::wstring, bool> m_directories;
    std::unordered_map<std::wstring, bool> m_existing;
    CPathProbeMemo* m_pPrevious;
};

namespace UNINST_API {
// Rewrites a path with its long form and logs the result.
void CompleteFilePath(std::wstring& strPath);

// While one lives, CompleteFilePath on this thread asks the platform once per distinct path: a discovery pass
// completes the same folders and bare file names again and again, each lookup is a directory search per
// component, and the answers do not change within a pass.
class CLongPathMemo {
public:
    CLongPathMemo();
    ~CLongPathMemo();
    CLongPathMemo(const CLongPathMemo&) = delete;
    CLongPathMemo& operator=(const CLongPathMemo&) = delete;

    // The long form of a path as GetLongPathNameW gives it into 260 characters; empty when that fails.
    std::wstring LongPath(const std::wstring& strPath);

private:
    bool IsListedAsIs(const std::wstring& strPath);
    const std::unordered_set<std::wstring>& Listing(const std::wstring& strFolder);

    std::unordered_map<std::wstring, std::wstring> m_paths;
    // The names in each folder listed so far, by the folder's path as the paths spell it.
    std::unordered_map<std::wstring, std::unordered_set<std::wstring>> m_listings;
    CLongPathMemo* m_pPrevious;
};
}  // namespace UNINST_API

// ---- User identities and Windows Installer products (Identity.cpp) ----

// Textual SID of the thread's user (true) or of the account "system" (false); empty on failure.
std::wstring GetAccountSidString(bool bCurrentUser);
// pcbSize in bytes; on a too-small buffer it receives the size needed and the result is false.
bool SidToText(PSID pSid, wchar_t* pszText, DWORD* pcbSize);
// "{12345678-90AB-CDEF-1234-567890ABCDEF}" -> "87654321BA09FEDC2143658709BADCFE"; text that is not a GUID
// packs as the nil GUID.
std::wstring PackProductCode(const std::wstring& strProductCode);
// A new upper-case GUID without braces; empty when none could be made.
std::wstring NewGuidString();
// An existing icon path of a Windows Installer product, or empty.
std::wstring GetMsiProductIcon(const std::wstring& strProductCode);

// ---- Install-folder facts and field completion (FolderFacts.cpp) ----

struct FolderFacts {
    ULONGLONG Size = 0;
    std::wstring Date;
    int Use = 0;
};

void DeriveInstallFolder(UnItemInside& item);
void ResolveDisplayIcon(UnItemInside& item);
FolderFacts ScanInstallFolder(const std::wstring& strFolder);

// While one lives, ScanInstallFolder on this thread walks each folder once: in a discovery pass many entries
// lead to the same folder (programs of one vendor, or an uninstall command whose folder is gone, which climbs
// to an existing parent as far as the drive's root), and a walk is the dominant cost of the pass.
class CFolderFactsMemo {
public:
    CFolderFactsMemo();
    ~CFolderFactsMemo();
    CFolderFactsMemo(const CFolderFactsMemo&) = delete;
    CFolderFactsMemo& operator=(const CFolderFactsMemo&) = delete;

private:
    std::map<std::wstring, FolderFacts> m_facts;
    std::map<std::wstring, FolderFacts>* m_pPrevious;
};

// While one lives, ScanInstallFolder on this thread walks nothing and gives empty facts: a pass that only needs
// each program's install folder (the leftover guard's) skips the walks that dominate discovery.
class CFolderFactsSkip {
public:
    CFolderFactsSkip();
    ~CFolderFactsSkip();
    CFolderFactsSkip(const CFolderFactsSkip&) = delete;
    CFolderFactsSkip& operator=(const CFolderFactsSkip&) = delete;

private:
    bool m_bPrevious;
};

void FillFromInstallFolder(UnItemInside& item);
void NormalizeInstallDate(std::wstring& s);

// ---- Uninstall-registry enumeration (RegEnum.cpp) ----

namespace UNINST_API {

extern const wchar_t kUninstallPath[];  // "Software\Microsoft\Windows\CurrentVersion\Uninstall\"
#ifdef _WIN64
// The 32-bit programs' view, walked by the 64-bit build right after the machine's own key.
extern const wchar_t kWow64UninstallPath[];
#endif

// The walks test the stop request before each subkey; given the event alone, they wait on it each time.
void EnumRegUnInstallKey(HKEY hRoot, InsideMap& map, HANDLE hStopEvent);
void EnumRegUnInstallKey(HKEY hRoot, InsideMap& map, const kx::CStopSignal& stop);
// Walks root\strPath as EnumRegUnInstallKey walks the Uninstall key, logging under its name.
void EnumUninstallPath(HKEY hRoot, const std::wstring& strPath, InsideMap& map, const kx::CStopSignal& stop);
void EnumRegInside(HKEY hRoot, const std::wstring& strProductsPath, InsideMap& map, HANDLE hStopEvent);
void EnumRegInside(HKEY hRoot, const std::wstring& strProductsPath, InsideMap& map, const kx::CStopSignal& stop);
void ParseRegInside(HKEY hRoot, const std::wstring& strKeyPath, const std::wstring& strKeyName, InsideMap& map);
bool IsHotfixEntry(const std::wstring& strKeyName, const std::wstring& strInstallLocation);
// Inserts under the record's DisplayName; false (record not taken, map unchanged) when the name is present.
bool AddInsideItem(std::unique_ptr<UnItemInside>& item, InsideMap& map);
// The root names of registry key texts and the bounded readers are the registry walker's.
using kx::RootKeyFromName;
using kx::RootKeyName;
inline std::wstring RegEnumSubKeyName(HKEY hKey, DWORD nIndex) { return kx::RegReadSubKeyName(hKey, nIndex); }
inline std::wstring RegQueryStringValue(HKEY hKey, const wchar_t* pszName) { return kx::RegReadString(hKey, pszName); }
// keyPath = root name, backslash, path.
std::wstring GetUninstallCommand(const wchar_t* pszKeyPath);
bool IsSoftwareGone(const std::wstring& strKeyName, const std::wstring& strUninstallString);
bool KeyHasDisplayName(const wchar_t* pszKeyPath);

// ---- Software-centre list (SoftCentre.cpp) ----

void EnumQZUnintallList(const std::wstring& strIniPath, InsideMap& map, HANDLE hStopEvent);

}  // namespace UNINST_API

BOOL IsQZSoftInitialized(const std::wstring& strFolder);
// GetHostFolder() + "\KxVStart.exe /u " + LastPathComponent(folder).
std::wstring GetQZUninstallCommand(const std::wstring& strFolder);

// ---- Discovery driver (Driver.cpp) ----

// Fills the map from every source in order of precedence; the stop request ends the registry walks early.
void CreateUnItemInside(InsideMap& map, HANDLE hStopEvent);
void CreateUnItemInside(InsideMap& map, const kx::CStopSignal& stop);
// The same sources in the same order, without step lines, dump or folder walks: every listed program with its
// install folder derived, but no size, date or use.
void ListInstalledPrograms(InsideMap& map, HANDLE hStopEvent);
// The D_Inside dump when [Dump] Inside is nonzero.
void DumpInside(const InsideMap& map);
