#define KX_LOG_SOURCE ".\\KxUninstAPI"
#include "KxUninstAPI.h"

#include <oleauto.h>
#include <shlwapi.h>

#include <ctime>

#include "ScopedHandle.h"
#include "WideFormat.h"

namespace {

const LONGLONG kWeek = 604800;
const LONGLONG kMonth = 2592000;

LONGLONG UnixSeconds(const FILETIME& ft) {
    ULARGE_INTEGER u;
    u.LowPart = ft.dwLowDateTime;
    u.HighPart = ft.dwHighDateTime;
    return static_cast<LONGLONG>(u.QuadPart / 10000000ULL) - 11644473600LL;
}

struct WalkState {
    ULONGLONG total = 0;
    LONGLONG earliest = 0;
    LONGLONG latest = 0;
};

// path holds the folder without trailing backslash; it is restored before returning, so one buffer serves
// the whole depth-first walk.
void Walk(std::wstring& path, WalkState& state) {
    size_t base = path.size();
    path += L"\\*";
    WIN32_FIND_DATAW fd;
    kx::unique_hfind hFind(
        FindFirstFileExW(path.c_str(), FindExInfoBasic, &fd, FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH));
    path.resize(base);
    if (!hFind) return;
    do {
        // Dot-named entries ("." and ".." among them) are skipped with everything below them.
        if (fd.cFileName[0] == L'.') continue;
        state.total += fd.nFileSizeLow;
        LONGLONG access = UnixSeconds(fd.ftLastAccessTime);
        if (access > state.latest) state.latest = access;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            LONGLONG created = UnixSeconds(fd.ftCreationTime);
            if (created < state.earliest) state.earliest = created;
            path += L'\\';
            path += fd.cFileName;
            Walk(path, state);
            path.resize(base);
        }
    } while (FindNextFileW(hFind.get(), &fd));
}

// The current time as _time64 gives it, from the same system clock: the runtime's _time64 also asks for the
// time-zone information each time, which under Wine costs more than the folder walk's own bookkeeping.
LONGLONG NowSeconds() {
    FILETIME ft;
    GetSystemTimeAsFileTime(&ft);
    return UnixSeconds(ft);
}

std::wstring LocalDate(LONGLONG seconds) {
    __time64_t t = seconds;
    wchar_t szDate[32] = {};
    const tm* local = _localtime64(&t);
    if (!local || wcsftime(szDate, 32, L"%Y-%m-%d", local) == 0) return std::wstring();
    return szDate;
}

}  // namespace

void DeriveInstallFolder(UnItemInside& item) {
    if (!item.InstallLocation.empty() && IsDirectoryPath(item.InstallLocation)) {
        NormalizeFolder(item.InstallLocation);
        return;
    }
    std::wstring folder, file, argument;
    if (!item.UninstallString.empty()) {
        ParseCommandLine(item.UninstallString, folder, file, argument);
        if (!folder.empty() && IsDirectoryPath(folder)) {
            item.InstallLocation = folder;
            NormalizeFolder(item.InstallLocation);
            return;
        }
    }
    if (!item.DisplayIcon.empty()) {
        ParseCommandLine(item.DisplayIcon, folder, file, argument);
        if (!folder.empty() && IsDirectoryPath(folder)) item.InstallLocation = folder;
    }
    NormalizeFolder(item.InstallLocation);
}

void ResolveDisplayIcon(UnItemInside& item) {
    std::wstring icon = item.DisplayIcon;
    if (icon.empty()) {
        if (IsGuidShaped(item.UninstallKey)) icon = GetMsiProductIcon(item.UninstallKey);
        if (icon.empty()) icon = item.UninstallString;
    }
    if (icon.empty()) return;
    std::wstring folder, file, argument;
    ParseCommandLine(icon, folder, file, argument);
    if (folder.empty()) FindInSystemFolders(file);
    std::wstring path = folder + file;
    if (!path.empty() && PathExists(path)) {
        int index = _wtoi(argument.c_str());
        item.DisplayIcon = index != 0 ? kx::Format(L"%s%s, %d", folder.c_str(), file.c_str(), index)
                                      : kx::Format(L"%s%s, 0", folder.c_str(), file.c_str());
    } else {
        item.DisplayIcon.clear();
    }
}

namespace {
thread_local std::map<std::wstring, FolderFacts>* t_pFolderFacts = nullptr;
thread_local bool t_bSkipWalks = false;

FolderFacts WalkFolder(const std::wstring& strFolder) {
    FolderFacts facts;
    WalkState state;
    state.earliest = NowSeconds();
    std::wstring path = strFolder;
    while (!path.empty() && path.back() == L'\\') path.pop_back();
    Walk(path, state);
    LONGLONG now = NowSeconds();
    facts.Size = state.total;
    facts.Date = LocalDate(state.earliest);
    LONGLONG t = state.latest;
    if (t > now)
        facts.Use = 0;
    else if (now < t + kWeek)
        facts.Use = 3;
    else if (now < t + kMonth)
        facts.Use = 2;
    else
        facts.Use = 1;
    return facts;
}
}  // namespace

CFolderFactsMemo::CFolderFactsMemo() : m_pPrevious(t_pFolderFacts) { t_pFolderFacts = &m_facts; }

CFolderFactsMemo::~CFolderFactsMemo() { t_pFolderFacts = m_pPrevious; }

CFolderFactsSkip::CFolderFactsSkip() : m_bPrevious(t_bSkipWalks) { t_bSkipWalks = true; }

CFolderFactsSkip::~CFolderFactsSkip() { t_bSkipWalks = m_bPrevious; }

// A command whose folder is gone climbs to the deepest existing folder, which can be a drive's root (or "\", the
// root of the current drive, which under Wine can be the whole Unix file system): a drive holds no facts of one
// program, and walking it would hold the list for minutes.
static bool IsDriveRoot(const std::wstring& strFolder) {
    std::wstring s = strFolder;
    if (s.compare(0, 4, L"\\\\?\\") == 0) s.erase(0, 4);
    NormalizeFolder(s);
    return !s.empty() && PathIsRootW(s.c_str());
}

FolderFacts ScanInstallFolder(const std::wstring& strFolder) {
    if (t_bSkipWalks || strFolder.empty() || IsDriveRoot(strFolder) || !IsDirectoryPath(strFolder))
        return FolderFacts();
    if (!t_pFolderFacts) return WalkFolder(strFolder);
    std::wstring key = strFolder;
    while (!key.empty() && key.back() == L'\\') key.pop_back();
    CharLowerBuffW(&key[0], static_cast<DWORD>(key.size()));
    auto found = t_pFolderFacts->find(key);
    if (found == t_pFolderFacts->end()) found = t_pFolderFacts->emplace(key, WalkFolder(strFolder)).first;
    return found->second;
}

void FillFromInstallFolder(UnItemInside& item) {
    FolderFacts facts = ScanInstallFolder(item.InstallLocation);
    if (item.Size == 0) item.Size = facts.Size;
    if (item.InstallDate.empty())
        item.InstallDate = facts.Date;
    else
        NormalizeInstallDate(item.InstallDate);
    item.Use = facts.Use;
}

void NormalizeInstallDate(std::wstring& s) {
    DATE date = 0;
    SYSTEMTIME st = {};
    if (SUCCEEDED(VarDateFromStr(const_cast<OLECHAR*>(s.c_str()), LOCALE_USER_DEFAULT, 0, &date)) && VariantTimeToSystemTime(date, &st)) {
        s = kx::Format(L"%04d-%02d-%02d", st.wYear, st.wMonth, st.wDay);
        return;
    }
    std::wstring cleaned;
    for (wchar_t c : s)
        if (c != L'\\' && c != L'/' && c != L'-') cleaned += c;
    if (cleaned.size() == 8)
        s = cleaned.substr(0, 4) + L"-" + cleaned.substr(4, 2) + L"-" + cleaned.substr(6, 2);
    else
        s = cleaned;
}
