// The leftover guard: the last word on whether a path or registry text found for an uninstalled program may be
// offered for deletion. The scanner asks it before every finding it keeps and before every folder it expands;
// the sweep asks it again before every deletion, with the same context. It never offers a drive root, a folder
// of the system or of the user's profile, anything of another installed program, a link, or a path that is not
// in its one canonical form.
#pragma once

#include <windows.h>

#include <set>
#include <string>
#include <vector>

#include "UnItemInside.h"

// The registry places the scanner reads (below HKLM, HKCU, HKCR or HKEY_USERS\<SID>).
namespace dust {
inline constexpr wchar_t kRunPath[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr wchar_t kUninstallPath[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
inline constexpr wchar_t kArpCachePath[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Management\\ARPCache";
inline constexpr wchar_t kFolderShellPath[] = L"Folder\\Shell";
inline constexpr wchar_t kMuiCachePath[] = L"\\Software\\Microsoft\\Windows\\ShellNoRoam\\MUICache";
inline constexpr wchar_t kComponentsPath[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\%s\\Components";
}  // namespace dust

// What a text names; the values of CPowerSweepItem::Kind.
enum class DustKind : UINT { Folder = 1, File = 2, Reg = 3, Link = 4 };

// Everything the guard judges by. Built once per uninstall and kept beside the leftover list: folder texts are
// lower case without a trailing backslash.
struct DustGuardContext {
    std::wstring strKey;     // entry name of the uninstalled program, as given
    std::wstring strFolder;  // its install folder, lower case (may be empty)
    std::wstring strWindows;                   // the Windows folder
    std::vector<std::wstring> vecProtected;    // never offered, nor anything that contains one of them
    std::vector<std::wstring> vecForeign;      // nothing at or below them: under Wine, drives that are the Unix root
    std::vector<std::wstring> vecPrograms;     // the other listed programs' install folders
    std::set<std::wstring> setShared;          // paths used by others: SharedDLLs counts, shared components
    std::set<std::wstring> setInstalledKeys;   // Uninstall subkey names (lower case) that still have a DisplayName
    std::vector<std::wstring> vecPlaces;       // the registry places scanned, "ROOT\\path", lower case
};

// The context for one program from the programs discovery lists now.
DustGuardContext MakeDustGuardContext(const wchar_t* pszKey, const wchar_t* pszFolder, HANDLE hStopEvent);
// The same from a given list of installed programs (the program itself may be in it: it is left out).
DustGuardContext MakeDustGuardContext(const wchar_t* pszKey, const wchar_t* pszFolder, const InsideMap& installed);

// A path met by listing a folder that is itself canonical and free of links: its name and attributes as the
// listing gave them, and whether the folder passed the guard as a folder finding (then what holds for the
// folder holds for its entries and only the entry's own facts are judged).
struct DustListing {
    const std::wstring* pstrFolder;  // the listed folder, trailing backslash or not
    DWORD dwAttributes;              // the entry's attributes as listed
    bool bFolderOffered;
};

// NULL when strText may be offered, else the one-word reason it may not:
//   paths: "empty", "long", "unc", "relative", "wildcard", "variable", "syntax", "root", "noncanonical",
//          "missing", "changed" (a folder that is a file now, or the reverse), "link", "protected", "system",
//          "name", "unix", "program", "shared";
//   registry: "empty", "syntax", "root", "place", "name", "installed", "verb".
// pListing, when given, must describe strText truthfully; it only saves work.
const wchar_t* DustGuardRefusal(const std::wstring& strText, DustKind kind, const DustGuardContext& ctx,
                                const DustListing* pListing = nullptr);

// True when the entry name may name findings by itself (Installer and InstallShield folders, Uninstall and
// ARPCache subkeys): at least three characters, not "." or "..", not ending in a dot or a space.
bool IsNameMatchable(const std::wstring& strKey);
