#include "DustGuard.h"

#include <cstring>

#include <knownfolders.h>
#include <shlobj.h>

#include "HostExe.h"
#include "KxUninstAPI.h"
#include "LowerText.h"
#include "PathText.h"
#include "RegKey.h"
#include "WideFormat.h"

namespace {

// The folder verbs Windows itself defines for folders; a new Wine prefix has "open" only.
const wchar_t* const kSystemVerbs[] = {L"open", L"explore", L"find", L"opennewwindow", L"opennewprocess",
                                       L"opennewtab", L"pintohome", L"pintostartscreen", L"properties",
                                       L"runas", L"cmd", L"powershell", L"print", L"edit"};

// Folders of the user (current and all users) and of the system that are never offered, nor anything holding
// one of them. Some are missing under some systems (0x0C under Wine): a folder the system cannot name is left
// out.
const int kProtectedCsidls[] = {
    CSIDL_WINDOWS, CSIDL_SYSTEM, CSIDL_SYSTEMX86, CSIDL_PROGRAM_FILES, CSIDL_PROGRAM_FILESX86,
    CSIDL_PROGRAM_FILES_COMMON, CSIDL_PROGRAM_FILES_COMMONX86, CSIDL_COMMON_APPDATA, CSIDL_PROFILE,
    CSIDL_DESKTOP, CSIDL_DESKTOPDIRECTORY, CSIDL_COMMON_DESKTOPDIRECTORY, CSIDL_PERSONAL, CSIDL_MYDOCUMENTS,
    CSIDL_COMMON_DOCUMENTS, CSIDL_MYMUSIC, CSIDL_COMMON_MUSIC, CSIDL_MYPICTURES, CSIDL_COMMON_PICTURES,
    CSIDL_MYVIDEO, CSIDL_COMMON_VIDEO, CSIDL_FAVORITES, CSIDL_COMMON_FAVORITES, CSIDL_APPDATA,
    CSIDL_LOCAL_APPDATA, CSIDL_STARTMENU, CSIDL_COMMON_STARTMENU, CSIDL_PROGRAMS, CSIDL_COMMON_PROGRAMS,
    CSIDL_STARTUP, CSIDL_COMMON_STARTUP, CSIDL_TEMPLATES, CSIDL_COMMON_TEMPLATES, CSIDL_SENDTO, CSIDL_RECENT,
    CSIDL_FONTS, CSIDL_COOKIES, CSIDL_HISTORY, CSIDL_INTERNET_CACHE, CSIDL_NETHOOD, CSIDL_PRINTHOOD,
    CSIDL_ADMINTOOLS, CSIDL_COMMON_ADMINTOOLS};
const KNOWNFOLDERID* const kProtectedKnown[] = {&FOLDERID_Downloads, &FOLDERID_PublicDownloads,
                                                &FOLDERID_LocalAppDataLow, &FOLDERID_UserProgramFiles,
                                                &FOLDERID_UserProgramFilesCommon, &FOLDERID_UserProfiles,
                                                &FOLDERID_Public, &FOLDERID_ProgramFilesX64,
                                                &FOLDERID_ProgramFilesCommonX64};
// Environment variables naming such folders; the i686 build reads the 64-bit Program Files from them.
const wchar_t* const kProtectedVariables[] = {L"ProgramW6432", L"CommonProgramW6432", L"ProgramFiles",
                                              L"ProgramFiles(x86)", L"CommonProgramFiles",
                                              L"CommonProgramFiles(x86)", L"ProgramData", L"ALLUSERSPROFILE",
                                              L"PUBLIC", L"USERPROFILE", L"TEMP", L"TMP", L"SystemRoot"};
const wchar_t kInstallShield[] = L"\\installshield installation information";

using kx::Lower;
using kx::TrimSlashes;

// a is b or lies below it (both lower case, no trailing backslash).
bool AtOrBelow(const std::wstring& a, const std::wstring& b) {
    return !b.empty() && a.size() >= b.size() && a.compare(0, b.size(), b) == 0 &&
           (a.size() == b.size() || a[b.size()] == L'\\');
}

bool EqualNoCase(const std::wstring& a, const std::wstring& b) {
    return a.size() == b.size() && CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                                        static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

// Windows marks every link, file or folder, as a reparse point in its listings; Wine marks only links to
// folders, so there a listed file's own final path is the only sign of a link.
bool FileLinksUnmarked() {
    static const bool s_bWine = GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
    return s_bWine;
}

// The path a handle leads to once every link is followed, without "\\?\"; empty when it cannot be had.
std::wstring FinalPath(const std::wstring& strPath) {
    kx::unique_hfile file(CreateFileW(strPath.c_str(), FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file) return std::wstring();
    wchar_t szFinal[MAX_PATH + 8] = {};
    DWORD n = GetFinalPathNameByHandleW(file.get(), szFinal, MAX_PATH + 8, VOLUME_NAME_DOS);
    if (n == 0 || n >= MAX_PATH + 8) return std::wstring();
    std::wstring final(szFinal, n);
    if (final.compare(0, 4, L"\\\\?\\") == 0) final.erase(0, 4);
    return final;
}

// Lower case, long form when it exists, no trailing backslash: the form folder texts are compared in.
std::wstring NormFolder(const std::wstring& strPath) {
    if (strPath.empty()) return strPath;
    wchar_t szLong[MAX_PATH] = {};
    DWORD n = GetLongPathNameW(strPath.c_str(), szLong, MAX_PATH);
    return Lower(TrimSlashes(n > 0 && n < MAX_PATH ? std::wstring(szLong, n) : strPath));
}

void AddFolder(std::vector<std::wstring>& vec, const std::wstring& strPath) {
    std::wstring final = FinalPath(strPath);
    if (!final.empty()) final = Lower(TrimSlashes(final));
    // A folder that is its own final path is in long form already (see FormRefusal).
    const std::wstring norm = !final.empty() && final == Lower(TrimSlashes(strPath)) ? final : NormFolder(strPath);
    if (norm.size() < 2) return;
    vec.push_back(norm);
    // A profile folder that links elsewhere protects where it leads too.
    if (!final.empty() && final != norm) vec.push_back(final);
}

std::wstring CsidlPath(int nCsidl) {
    wchar_t sz[MAX_PATH] = {};
    return SUCCEEDED(SHGetFolderPathW(nullptr, nCsidl, nullptr, SHGFP_TYPE_CURRENT, sz)) ? std::wstring(sz)
                                                                                         : std::wstring();
}

std::wstring KnownPath(REFKNOWNFOLDERID id) {
    PWSTR psz = nullptr;
    std::wstring path;
    if (SUCCEEDED(SHGetKnownFolderPath(id, 0, nullptr, &psz)) && psz) path = psz;
    CoTaskMemFree(psz);
    return path;
}

// Every direct subfolder of a folder (the profiles below the Users folder, the folders of Public).
void AddSubfolders(std::vector<std::wstring>& vec, const std::wstring& strFolder) {
    if (strFolder.empty()) return;
    WIN32_FIND_DATAW fd;
    kx::unique_hfind find(FindFirstFileW((TrimSlashes(strFolder) + L"\\*").c_str(), &fd));
    if (!find) return;
    do {
        std::wstring name = fd.cFileName;
        if ((fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && name != L"." && name != L"..")
            AddFolder(vec, TrimSlashes(strFolder) + L"\\" + name);
    } while (FindNextFileW(find.get(), &fd));
}

std::vector<std::wstring> ProtectedFolders() {
    std::vector<std::wstring> vec;
    for (int csidl : kProtectedCsidls) AddFolder(vec, CsidlPath(csidl));
    for (const KNOWNFOLDERID* id : kProtectedKnown) AddFolder(vec, KnownPath(*id));
    for (const wchar_t* name : kProtectedVariables) {
        wchar_t sz[MAX_PATH] = {};
        DWORD n = GetEnvironmentVariableW(name, sz, MAX_PATH);
        if (n > 0 && n < MAX_PATH) AddFolder(vec, sz);
    }
    wchar_t szTemp[MAX_PATH + 1] = {};
    if (GetTempPathW(MAX_PATH + 1, szTemp)) AddFolder(vec, szTemp);
    const std::wstring local = CsidlPath(CSIDL_LOCAL_APPDATA), roaming = CsidlPath(CSIDL_APPDATA);
    const std::wstring programData = CsidlPath(CSIDL_COMMON_APPDATA), windows = CsidlPath(CSIDL_WINDOWS);
    if (!local.empty()) {
        for (const wchar_t* sub : {L"\\Programs", L"\\Programs\\Common", L"\\Temp", L"\\Microsoft"})
            AddFolder(vec, local + sub);
        // LocalLow beside Local when the system cannot name it.
        AddFolder(vec, local.substr(0, local.rfind(L'\\')) + L"\\LocalLow");
    }
    if (!roaming.empty()) {
        AddFolder(vec, roaming + L"\\Microsoft");
        AddFolder(vec, roaming + L"\\Microsoft\\Internet Explorer\\Quick Launch");
    }
    if (!programData.empty()) AddFolder(vec, programData + L"\\Microsoft");
    if (!windows.empty()) AddFolder(vec, windows + L"\\Installer");
    for (int csidl : {CSIDL_PROGRAM_FILES, CSIDL_PROGRAM_FILESX86}) {
        std::wstring pf = CsidlPath(csidl);
        if (!pf.empty()) AddFolder(vec, pf + kInstallShield);
    }
    // The Users folder, each profile in it and the folders of Public.
    std::wstring profile = CsidlPath(CSIDL_PROFILE);
    std::wstring users = KnownPath(FOLDERID_UserProfiles);
    if (users.empty() && profile.rfind(L'\\') != std::wstring::npos) users = profile.substr(0, profile.rfind(L'\\'));
    AddFolder(vec, users);
    AddSubfolders(vec, users);
    AddSubfolders(vec, KnownPath(FOLDERID_Public));
    // The component's own folder: uninstalling a program never removes the tool doing it.
    AddFolder(vec, GetHostExeFolder());
    return vec;
}

// Under Wine, the drives that map the whole Unix file system (Z: by default): the user's home and every other
// file of the machine are below them, whatever a program's entries say.
std::vector<std::wstring> UnixRootDrives() {
    std::vector<std::wstring> drives;
    using UnixName = char*(CDECL*)(LPCWSTR);
    auto pfnUnixName = reinterpret_cast<UnixName>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (!pfnUnixName) return drives;
    // Only the letters in use are asked for their type: under Wine each question goes to the mount manager.
    const DWORD dwDrives = GetLogicalDrives();
    for (wchar_t letter = L'a'; letter <= L'z'; ++letter) {
        const wchar_t szRoot[] = {letter, L':', L'\\', 0};
        if (!(dwDrives & (1u << (letter - L'a'))) || GetDriveTypeW(szRoot) == DRIVE_NO_ROOT_DIR) continue;
        char* pszUnix = pfnUnixName(szRoot);
        if (pszUnix && strcmp(pszUnix, "/") == 0) drives.push_back(std::wstring{letter, L':'});
        if (pszUnix) HeapFree(GetProcessHeap(), 0, pszUnix);
    }
    return drives;
}

// Paths whose SharedDLLs count is above 0 (both registry views).
void AddSharedDlls(std::set<std::wstring>& set) {
    const wchar_t kShared[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
    for (REGSAM view : {static_cast<REGSAM>(KEY_WOW64_64KEY), static_cast<REGSAM>(KEY_WOW64_32KEY)}) {
        kx::CRegKey key(HKEY_LOCAL_MACHINE, kShared, view);
        const DWORD n = key.ValueCount();
        kx::RegValueText value;
        for (DWORD i = 0; i < n; ++i)
            if (key.ValueAt(i, value) && key.Dword(value.strName.c_str()) > 0)
                set.insert(Lower(TrimSlashes(value.strName)));
    }
}

bool IsPackedCode(const std::wstring& s) {
    if (s.size() != 32) return false;
    for (wchar_t c : s)
        if (!iswxdigit(c)) return false;
    return true;
}

// The paths of this product's Installer components that another product (or the permanent pseudo-product)
// holds too.
void AddSharedComponents(std::set<std::wstring>& set, const std::wstring& strKey) {
    if (!IsGuidShaped(strKey)) return;
    const std::wstring packed = PackProductCode(strKey);
    for (bool bUser : {false, true}) {
        kx::CRegKey components(HKEY_LOCAL_MACHINE, kx::Format(dust::kComponentsPath, GetAccountSidString(bUser).c_str()));
        const DWORD n = components.SubKeyCount();
        for (DWORD i = 0; i < n; ++i) {
            std::wstring name = components.SubKeyName(i);
            if (name.empty()) continue;
            kx::CRegKey component(components.Get(), name);
            std::wstring path = component.String(packed.c_str());
            if (path.empty()) continue;
            const DWORD nValues = component.ValueCount();
            kx::RegValueText value;
            for (DWORD v = 0; v < nValues; ++v) {
                if (component.ValueAt(v, value) && IsPackedCode(value.strName) && !EqualNoCase(value.strName, packed)) {
                    set.insert(Lower(TrimSlashes(path)));
                    break;
                }
            }
        }
    }
}

std::vector<std::wstring> RegistryPlaces() {
    std::vector<std::wstring> places;
    for (const wchar_t* root : {L"HKEY_LOCAL_MACHINE\\", L"HKEY_CURRENT_USER\\"})
        for (const wchar_t* path : {dust::kRunPath, dust::kUninstallPath, dust::kArpCachePath})
            places.push_back(Lower(std::wstring(root) + path));
    places.push_back(Lower(L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall"));
    places.push_back(Lower(std::wstring(L"HKEY_CLASSES_ROOT\\") + dust::kFolderShellPath));
    for (bool bUser : {false, true}) {
        std::wstring sid = GetAccountSidString(bUser);
        if (!sid.empty()) places.push_back(Lower(L"HKEY_USERS\\" + sid + dust::kMuiCachePath));
    }
    return places;
}

// ---- paths -------------------------------------------------------------------------------------------------

const wchar_t* SyntaxRefusal(const std::wstring& s) {
    if (s.size() >= MAX_PATH) return L"long";
    if (s.size() >= 2 && (s[0] == L'\\' || s[0] == L'/') && (s[1] == L'\\' || s[1] == L'/')) return L"unc";
    if (s.size() < 3 || !iswalpha(s[0]) || s[0] > 0x7F || s[1] != L':' || s[2] != L'\\') return L"relative";
    if (s.find_first_of(L"*?") != std::wstring::npos) return L"wildcard";
    size_t percent = s.find(L'%');
    if (percent != std::wstring::npos && s.find(L'%', percent + 1) != std::wstring::npos) return L"variable";
    if (s.find_first_of(L"/<>|\"", 0) != std::wstring::npos || s.find(L':', 2) != std::wstring::npos) return L"syntax";
    return nullptr;
}

// An entry name as a listing gave it: what GetFullPathNameW would change is refused.
bool IsCanonicalName(const std::wstring& name) {
    return !name.empty() && name != L"." && name != L".." && name.back() != L'.' && name.back() != L' ';
}

// The full check of an existing path: canonical form, no link anywhere on its way.
const wchar_t* FormRefusal(const std::wstring& strText, DustKind kind) {
    wchar_t szFull[MAX_PATH] = {};
    DWORD n = GetFullPathNameW(strText.c_str(), MAX_PATH, szFull, nullptr);
    if (n == 0 || n >= MAX_PATH || !EqualNoCase(TrimSlashes(szFull), TrimSlashes(strText)) ||
        TrimSlashes(strText).size() + 1 < strText.size())
        return L"noncanonical";
    const std::wstring trimmed = TrimSlashes(strText);
    DWORD dwAttributes = GetFileAttributesW(trimmed.c_str());
    if (dwAttributes == INVALID_FILE_ATTRIBUTES) return L"missing";
    if (dwAttributes & FILE_ATTRIBUTE_REPARSE_POINT) return L"link";
    if ((kind == DustKind::Folder) != ((dwAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)) return L"changed";
    // The final path is made of long names, so a text equal to it is in long form too. Only a text that
    // differs from it is asked for its long form (which Wine builds by searching every folder on the way, four
    // times the cost of the open and the query), to tell a short name from a link.
    const std::wstring final = FinalPath(trimmed);
    if (!final.empty() && EqualNoCase(TrimSlashes(final), trimmed)) return nullptr;
    wchar_t szLong[MAX_PATH] = {};
    n = GetLongPathNameW(trimmed.c_str(), szLong, MAX_PATH);
    if (n == 0 || n >= MAX_PATH || !EqualNoCase(szLong, trimmed)) return L"noncanonical";
    return L"link";
}

// Where the path stands: the system's and the user's folders, the Windows folder, other programs.
const wchar_t* PlaceRefusal(const std::wstring& norm, const DustGuardContext& ctx) {
    for (const std::wstring& d : ctx.vecForeign)
        if (AtOrBelow(norm, d)) return L"unix";
    for (const std::wstring& p : ctx.vecProtected)
        if (AtOrBelow(p, norm)) return L"protected";
    if (!ctx.strWindows.empty() && AtOrBelow(norm, ctx.strWindows)) {
        const std::wstring own = ctx.strWindows + L"\\installer\\" + Lower(ctx.strKey);
        if (!IsNameMatchable(ctx.strKey) || !AtOrBelow(norm, own)) return L"system";
    }
    for (const std::wstring& p : ctx.vecProtected) {
        // The InstallShield store holds one folder per product, named after its entry name.
        if (p.size() > wcslen(kInstallShield) &&
            p.compare(p.size() - wcslen(kInstallShield), std::wstring::npos, kInstallShield) == 0 &&
            AtOrBelow(norm, p) && (!IsNameMatchable(ctx.strKey) || !AtOrBelow(norm, p + L"\\" + Lower(ctx.strKey))))
            return L"name";
    }
    for (const std::wstring& p : ctx.vecPrograms)
        if (AtOrBelow(norm, p) || AtOrBelow(p, norm)) return L"program";
    return nullptr;
}

const wchar_t* PathRefusal(const std::wstring& strText, DustKind kind, const DustGuardContext& ctx,
                           const DustListing* pListing) {
    if (const wchar_t* reason = SyntaxRefusal(strText)) return reason;
    const std::wstring norm = Lower(TrimSlashes(strText));
    if (norm.size() <= 2) return L"root";
    // Where the text stands first: a string comparison, and the more telling reason.
    if (!pListing || !pListing->bFolderOffered)
        if (const wchar_t* reason = PlaceRefusal(norm, ctx)) return reason;
    if (pListing) {
        const std::wstring name = TrimSlashes(strText).substr(TrimSlashes(strText).rfind(L'\\') + 1);
        if (!IsCanonicalName(name) || TrimSlashes(strText).size() + 1 < strText.size()) return L"noncanonical";
        if (pListing->dwAttributes & FILE_ATTRIBUTE_REPARSE_POINT) return L"link";
        const bool bFolder = (pListing->dwAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if ((kind == DustKind::Folder) != bFolder) return L"changed";
        if (!bFolder && FileLinksUnmarked() && !EqualNoCase(TrimSlashes(FinalPath(strText)), TrimSlashes(strText)))
            return L"link";
    } else if (const wchar_t* reason = FormRefusal(strText, kind)) {
        return reason;
    }
    if (ctx.setShared.count(norm)) return L"shared";
    return nullptr;
}

// ---- registry ----------------------------------------------------------------------------------------------

bool HasDisplayName(HKEY hRoot, const std::wstring& strPath) {
    return !kx::CRegKey(hRoot, strPath).String(L"DisplayName").empty();
}

// A name that an Uninstall key of the machine or the user still lists with a DisplayName.
bool IsInstalledName(const std::wstring& strName, const DustGuardContext& ctx) {
    if (ctx.setInstalledKeys.count(Lower(strName))) return true;
    const std::wstring path = std::wstring(dust::kUninstallPath) + L"\\" + strName;
    return HasDisplayName(HKEY_LOCAL_MACHINE, path) || HasDisplayName(HKEY_CURRENT_USER, path) ||
           HasDisplayName(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + strName);
}

const wchar_t* RegRefusal(const std::wstring& strText, const DustGuardContext& ctx) {
    HKEY hRoot = nullptr;
    std::wstring rest;
    if (!kx::SplitKeyText(strText, hRoot, rest)) return strText.find(L'\\') == std::wstring::npos &&
                                                         kx::RootKeyFromName(strText) ? L"root" : L"syntax";
    const size_t value = rest.find(L"\\\\");
    if (value == 0) return L"root";
    const bool bValue = value != std::wstring::npos;
    const std::wstring path = bValue ? rest.substr(0, value) : rest;
    if (path.empty() || path.back() == L'\\' || path.front() == L'\\') return L"syntax";
    const std::wstring key = Lower(kx::RootKeyName(hRoot) + L"\\" + path);
    if (!bValue) {
        for (const std::wstring& place : ctx.vecPlaces)
            if (AtOrBelow(place, key)) return L"place";
        // A key this close to its root (HKEY_USERS\<SID>\Software, HKEY_CURRENT_USER\Software\Classes) holds
        // everything of someone.
        size_t depth = 1;
        for (wchar_t c : path) depth += c == L'\\';
        if (depth < 3) return L"place";
    }
    // Uninstall and ARPCache subkeys: matched by name, and never one of a program still installed.
    const std::wstring full = kx::RootKeyName(hRoot) + L"\\" + path;
    for (const std::wstring& place : ctx.vecPlaces) {
        const bool bUninstall = place.size() > 9 && place.compare(place.size() - 9, 9, L"uninstall") == 0;
        const bool bArpCache = place.size() > 8 && place.compare(place.size() - 8, 8, L"arpcache") == 0;
        if ((!bUninstall && !bArpCache) || key.size() == place.size() || !AtOrBelow(key, place)) continue;
        const std::wstring below = full.substr(place.size() + 1);
        const std::wstring sub = below.substr(0, below.find(L'\\'));
        if (!bValue && sub.size() == below.size() && !IsNameMatchable(ctx.strKey)) return L"name";
        const std::wstring subPath = full.substr(full.find(L'\\') + 1, place.size() + sub.size() - full.find(L'\\'));
        if (bUninstall && HasDisplayName(hRoot, subPath)) return L"installed";
        if (bArpCache && IsInstalledName(sub, ctx)) return L"installed";
    }
    // Folder verbs: only one the program added.
    const std::wstring shell = Lower(std::wstring(L"HKEY_CLASSES_ROOT\\") + dust::kFolderShellPath);
    if (AtOrBelow(key, shell) && key.size() > shell.size()) {
        std::wstring verb = key.substr(shell.size() + 1);
        verb = verb.substr(0, verb.find(L'\\'));
        for (const wchar_t* system : kSystemVerbs)
            if (verb == system) return L"verb";
    }
    return nullptr;
}

}  // namespace

bool IsNameMatchable(const std::wstring& strKey) {
    return strKey.size() >= 3 && strKey.back() != L'.' && strKey.back() != L' ' &&
           strKey.find_first_of(L"\\/*?") == std::wstring::npos;
}

const wchar_t* DustGuardRefusal(const std::wstring& strText, DustKind kind, const DustGuardContext& ctx,
                                const DustListing* pListing) {
    if (strText.empty()) return L"empty";
    return kind == DustKind::Reg ? RegRefusal(strText, ctx) : PathRefusal(strText, kind, ctx, pListing);
}

DustGuardContext MakeDustGuardContext(const wchar_t* pszKey, const wchar_t* pszFolder, const InsideMap& installed) {
    DustGuardContext ctx;
    ctx.strKey = pszKey ? pszKey : L"";
    ctx.strFolder = Lower(pszFolder ? pszFolder : L"");
    ctx.strWindows = NormFolder(CsidlPath(CSIDL_WINDOWS));
    ctx.vecProtected = ProtectedFolders();
    ctx.vecForeign = UnixRootDrives();
    const std::wstring packed = IsGuidShaped(ctx.strKey) ? PackProductCode(ctx.strKey) : std::wstring();
    for (const auto& entry : installed) {
        const UnItemInside& item = *entry.second;
        // The program itself, by its key name or (from an Installer product list) its packed code.
        if (EqualNoCase(item.UninstallKey, ctx.strKey) || (!packed.empty() && EqualNoCase(item.UninstallKey, packed)))
            continue;
        if (item.KeyPath.find(L"\\Uninstall\\") != std::wstring::npos)
            ctx.setInstalledKeys.insert(Lower(KeyNameOf(item.KeyPath)));
        // A folder discovery could only guess as a drive root or a system folder is guarded as that already.
        std::wstring folder = NormFolder(item.InstallLocation);
        if (folder.size() <= 2 || SyntaxRefusal(folder + L"\\")) continue;
        bool bProtected = false;
        for (const std::wstring& p : ctx.vecProtected) bProtected = bProtected || AtOrBelow(p, folder);
        if (!bProtected) ctx.vecPrograms.push_back(folder);
    }
    AddSharedDlls(ctx.setShared);
    AddSharedComponents(ctx.setShared, ctx.strKey);
    ctx.vecPlaces = RegistryPlaces();
    return ctx;
}

DustGuardContext MakeDustGuardContext(const wchar_t* pszKey, const wchar_t* pszFolder, HANDLE hStopEvent) {
    InsideMap installed;
    ListInstalledPrograms(installed, hStopEvent);
    return MakeDustGuardContext(pszKey, pszFolder, installed);
}
