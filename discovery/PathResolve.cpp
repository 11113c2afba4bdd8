#define KX_LOG_SOURCE ".\\KxUninstAPI"
#include "KxUninstAPI.h"

#include <shlwapi.h>
#include <stdlib.h>
#include <cwctype>
#include <unordered_map>

#include "KxLog.h"
#include "ScopedHandle.h"

namespace {
// Filled on first use and never cleared; its first use is on the worker thread.
std::wstring g_strHostFolder;

void TrimSet(std::wstring& s, const wchar_t* pszSet) {
    size_t first = s.find_first_not_of(pszSet);
    if (first == std::wstring::npos) {
        s.clear();
        return;
    }
    s.erase(s.find_last_not_of(pszSet) + 1);
    s.erase(0, first);
}

void TrimSpace(std::wstring& s) {
    size_t end = s.size();
    while (end > 0 && iswspace(s[end - 1])) --end;
    size_t start = 0;
    while (start < end && iswspace(s[start])) ++start;
    s = s.substr(start, end - start);
}

bool IsAsciiAlnum(wchar_t c) { return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z'); }
}  // namespace

std::wstring GetHostFolder() {
    if (g_strHostFolder.empty()) {
        HMODULE hModule = GetModuleHandleW(L"KxInstUI.dll");
        if (!hModule) hModule = GetModuleHandleW(L"KxVinst.dll");
        wchar_t szPath[MAX_PATH] = {};
        DWORD n = GetModuleFileNameW(hModule, szPath, MAX_PATH);
        if (n == 0 || n >= MAX_PATH) return std::wstring();
        std::wstring path(szPath, n);
        size_t slash = path.rfind(L'\\');
        g_strHostFolder = slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
    }
    return g_strHostFolder;
}

std::wstring GetSoftIniPath() { return GetHostFolder() + L"\\" + L"conf\\soft.ini"; }

void ExpandFirstEnvVar(std::wstring& s) {
    size_t open = s.find(L'%');
    if (open == std::wstring::npos) return;
    size_t close = s.find(L'%', open + 1);
    if (close == std::wstring::npos) return;
    std::wstring name = s.substr(open + 1, close - open - 1);
    wchar_t szValue[MAX_PATH] = {};
    size_t cch = 0;
    if (name.empty() || _wgetenv_s(&cch, szValue, MAX_PATH, name.c_str()) != 0 || szValue[0] == L'\0') return;
    // Only "%NAME%\" is taken as a variable in a path: without the backslash the search text still carries
    // one, so a lone %NAME% at the end or before another character is left alone.
    std::wstring search = L"%" + name + L"%";
    if (close + 1 >= s.size() || s[close + 1] != L'\\') search += L"\\";
    std::wstring value = szValue;
    for (size_t pos = s.find(search); pos != std::wstring::npos; pos = s.find(search, pos + value.size()))
        s.replace(pos, search.size(), value);
}

void NormalizeFolder(std::wstring& s) {
    if (s.empty()) return;
    if (s.front() == L'"') s.erase(0, 1);
    if (!s.empty() && s.back() == L'"') s.pop_back();
    if (!s.empty() && s.back() != L'\\') s += L'\\';
}

void StripBraces(std::wstring& s) {
    if (!s.empty() && s.front() == L'{') s.erase(0, 1);
    if (!s.empty() && s.back() == L'}') s.pop_back();
}

namespace {
// The long-path memo of the pass in progress on this thread, if any.
thread_local UNINST_API::CLongPathMemo* t_pLongPathMemo = nullptr;

// GetLongPathNameW into 260 characters; empty when it fails or does not fit.
std::wstring LookUpLongPath(const std::wstring& strPath) {
    wchar_t szLong[MAX_PATH] = {};
    DWORD n = GetLongPathNameW(strPath.c_str(), szLong, MAX_PATH);
    return n > 0 && n < MAX_PATH ? std::wstring(szLong, n) : std::wstring();
}

bool IsDriveLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }
}  // namespace

UNINST_API::CLongPathMemo::CLongPathMemo() : m_pPrevious(t_pLongPathMemo) { t_pLongPathMemo = this; }

UNINST_API::CLongPathMemo::~CLongPathMemo() { t_pLongPathMemo = m_pPrevious; }

std::wstring UNINST_API::CLongPathMemo::LongPath(const std::wstring& strPath) {
    auto found = m_paths.find(strPath);
    if (found == m_paths.end())
        found = m_paths.emplace(strPath, IsListedAsIs(strPath) ? strPath : LookUpLongPath(strPath)).first;
    return found->second;
}

// A path is its own long form, whichever components the platform would look up and replace by the names it
// finds, when every component is listed in its folder under exactly that name and none can be an 8.3 alias
// (no "~"). The platform looks each component up with a directory search of its own (two for a typical
// install folder, each several server round trips under Wine); one listing per folder answers them all, and
// install folders mostly share their parents. Anything else (relative paths, other letter case, aliases,
// dots, wildcards, a missing component) is left to the platform.
bool UNINST_API::CLongPathMemo::IsListedAsIs(const std::wstring& strPath) {
    const size_t n = strPath.size();
    if (n < 4 || n >= MAX_PATH || !IsDriveLetter(strPath[0]) || strPath[1] != L':' || strPath[2] != L'\\') return false;
    if (strPath.find_first_of(L"~*?/:\"<>|", 2) != std::wstring::npos) return false;
    std::wstring folder = strPath.substr(0, 2);
    for (size_t start = 3; start < n;) {
        size_t end = strPath.find(L'\\', start);
        if (end == std::wstring::npos) end = n;
        const std::wstring name = strPath.substr(start, end - start);
        // Empty, "." and "..", and names the platform trims (trailing dot or blank) are never listed as such.
        if (name.empty() || name.back() == L'.' || name.back() == L' ' || !Listing(folder).count(name)) return false;
        folder = strPath.substr(0, end);
        start = end + 1;
    }
    return true;
}

const std::unordered_set<std::wstring>& UNINST_API::CLongPathMemo::Listing(const std::wstring& strFolder) {
    auto found = m_listings.find(strFolder);
    if (found != m_listings.end()) return found->second;
    std::unordered_set<std::wstring>& names = m_listings[strFolder];
    WIN32_FIND_DATAW fd;
    kx::unique_hfind hFind(FindFirstFileExW((strFolder + L"\\*").c_str(), FindExInfoBasic, &fd, FindExSearchNameMatch,
                                            nullptr, FIND_FIRST_EX_LARGE_FETCH));
    if (hFind) {
        do {
            names.insert(fd.cFileName);
        } while (FindNextFileW(hFind.get(), &fd));
    }
    return names;
}

void UNINST_API::CompleteFilePath(std::wstring& strPath) {
    std::wstring longPath = t_pLongPathMemo ? t_pLongPathMemo->LongPath(strPath) : LookUpLongPath(strPath);
    if (!longPath.empty()) strPath = longPath;
    KXLOG(0, L"转换后路径[%s]", strPath.c_str());
}

void ParseCommandLine(const std::wstring& strText, std::wstring& strFolder, std::wstring& strFile,
                      std::wstring& strArgument) {
    strFolder.clear();
    strFile.clear();
    strArgument.clear();
    std::wstring t = strText;
    ExpandFirstEnvVar(t);
    TrimSpace(t);
    if (!t.empty() && t.front() == L'"') t.erase(0, 1);

    // Climb from the right to the deepest existing directory; d is the component just below it.
    std::wstring d;
    for (;;) {
        size_t slash = t.rfind(L'\\');
        if (slash == std::wstring::npos) {
            d = t;
            t.clear();
            break;
        }
        d = t.substr(slash + 1);
        t.erase(slash);
        if (t.empty() || IsDirectoryPath(t)) break;
    }
    if (!t.empty()) {
        strFolder = t;
        NormalizeFolder(strFolder);
    }

    // The file name is the longest leading part of d, cut at a comma or space, that exists in the folder.
    std::wstring e;
    for (;;) {
        size_t k = d.find_last_of(L", ");
        if (k == std::wstring::npos) break;
        std::wstring candidate = strFolder + d.substr(0, k);
        TrimSet(candidate, L"\" ");
        e = d.substr(k + 1);
        d.erase(k);
        if (PathExists(candidate)) break;
    }
    TrimSet(d, L"\" ");
    TrimSet(e, L", ");
    strFile = d;
    strArgument = e;
    UNINST_API::CompleteFilePath(strFolder);
    UNINST_API::CompleteFilePath(strFile);
}

namespace {
thread_local CPathProbeMemo* t_pProbeMemo = nullptr;
}  // namespace

CPathProbeMemo::CPathProbeMemo() : m_pPrevious(t_pProbeMemo) { t_pProbeMemo = this; }

CPathProbeMemo::~CPathProbeMemo() { t_pProbeMemo = m_pPrevious; }

bool CPathProbeMemo::IsDirectory(const std::wstring& strPath) {
    auto found = m_directories.find(strPath);
    if (found == m_directories.end()) found = m_directories.emplace(strPath, PathIsDirectoryW(strPath.c_str()) != FALSE).first;
    return found->second;
}

bool CPathProbeMemo::Exists(const std::wstring& strPath) {
    auto found = m_existing.find(strPath);
    if (found == m_existing.end()) found = m_existing.emplace(strPath, PathFileExistsW(strPath.c_str()) != FALSE).first;
    return found->second;
}

bool IsDirectoryPath(const std::wstring& strPath) {
    return t_pProbeMemo ? t_pProbeMemo->IsDirectory(strPath) : PathIsDirectoryW(strPath.c_str()) != FALSE;
}

bool PathExists(const std::wstring& strPath) {
    return t_pProbeMemo ? t_pProbeMemo->Exists(strPath) : PathFileExistsW(strPath.c_str()) != FALSE;
}

bool FindInSystemFolders(std::wstring& strFile) {
    wchar_t szSystem[MAX_PATH] = {};
    UINT n = GetSystemDirectoryW(szSystem, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return false;
    std::wstring system(szSystem, n);
    NormalizeFolder(system);
    std::wstring candidate = system + strFile;
    if (PathExists(candidate)) {
        strFile = candidate;
        return true;
    }
    std::wstring windows = system.substr(0, system.size() - 1);
    size_t slash = windows.rfind(L'\\');
    if (slash == std::wstring::npos) return false;
    candidate = windows.substr(0, slash + 1) + strFile;
    if (PathExists(candidate)) {
        strFile = candidate;
        return true;
    }
    return false;
}

std::wstring LastPathComponent(const std::wstring& strPath) {
    std::wstring s = strPath;
    if (!s.empty() && s.back() == L'\\') s.pop_back();
    size_t slash = s.rfind(L'\\');
    return slash == std::wstring::npos ? s : s.substr(slash + 1);
}

std::wstring KeyNameOf(const wchar_t* pszKeyPath) {
    if (!pszKeyPath) return std::wstring();
    const wchar_t* slash = wcsrchr(pszKeyPath, L'\\');
    return slash ? std::wstring(slash + 1) : std::wstring();
}

bool IsGuidShaped(const std::wstring& strText) {
    static const int kGroups[] = {8, 4, 4, 4, 12};
    if (strText.size() < 36) return false;
    for (size_t start = 0; start + 36 <= strText.size(); ++start) {
        size_t pos = start;
        bool match = true;
        for (int g = 0; g < 5 && match; ++g) {
            if (g > 0 && strText[pos++] != L'-') match = false;
            for (int i = 0; i < kGroups[g] && match; ++i)
                if (!IsAsciiAlnum(strText[pos++])) match = false;
        }
        if (match) return true;
    }
    return false;
}
