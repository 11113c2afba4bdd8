// The forced sweep's deletions. The guard that chose what the scan offered is asked again before every hand-over:
// the machine may have changed since the scan (another program installed into a leftover folder, a folder
// replaced by a link), and a text that was right then must still be right now.
#define KX_LOG_SOURCE ".\\Dustman"
#include "Dustman.h"

#include <shellapi.h>
#include <shlwapi.h>

#include <vector>

#include "KxLog.h"
#include "RegKey.h"
#include "ScopedHandle.h"

namespace {

constexpr FILEOP_FLAGS kShellDeleteFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_ALLOWUNDO;
static_assert(kShellDeleteFlags == 0x0454, "silent, no questions, no error boxes, to the Recycle Bin");

bool Exists(const std::wstring& strPath) { return GetFileAttributesW(strPath.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool IsShortcutPath(const std::wstring& strPath) {
    return strPath.size() >= 3 && _wcsicmp(strPath.c_str() + strPath.size() - 3, L"lnk") == 0;
}

DustKind FileKind(const std::wstring& strPath) { return IsShortcutPath(strPath) ? DustKind::Link : DustKind::File; }

}  // namespace

bool CDustman::MayDelete(const std::wstring& strText, DustKind kind, const char* pszFunction) {
    EnsureGuard();
    const wchar_t* pszReason = DustGuardRefusal(strText, kind, *m_pGuard);
    if (!pszReason) return true;
    KXLOG_AS(0, pszFunction, L"guard: refused [%s] (%s)", strText.c_str(), pszReason);
    return false;
}

BOOL CDustman::ShellDelete(LPCWSTR pszPath) {
    // The source is a list of paths ended by an empty one.
    std::vector<wchar_t> from(pszPath, pszPath + wcslen(pszPath));
    from.push_back(L'\0');
    from.push_back(L'\0');
    SHFILEOPSTRUCTW op = {};
    op.hwnd = GetDesktopWindow();
    op.wFunc = FO_DELETE;
    op.pFrom = from.data();
    op.fFlags = kShellDeleteFlags;
    return SHFileOperationW(&op) == 0;
}

void CDustman::DeleteFileDust(std::wstring strPath) {
    if (strPath.empty()) return;
    const char kFunction[] = "CDustman::DeleteFileDust";
    bool bFolder = false;
    if (strPath.back() == L'\\') {
        bFolder = PathIsDirectoryW(strPath.c_str()) != FALSE;
        if (bFolder) strPath.pop_back();
        if (!MayDelete(strPath, bFolder ? DustKind::Folder : FileKind(strPath), kFunction)) return;
    } else {
        // Most leftovers are files, so the text is judged as one first, without a look of our own at it: the
        // guard reads the path's attributes anyway, and its "changed" tells a folder, judged again as a folder.
        EnsureGuard();
        const wchar_t* pszReason = DustGuardRefusal(strPath, FileKind(strPath), *m_pGuard);
        if (pszReason && wcscmp(pszReason, L"changed") == 0) {
            if (!MayDelete(strPath, DustKind::Folder, kFunction)) return;
            bFolder = true;
        } else if (pszReason) {
            KXLOG_AS(0, kFunction, L"guard: refused [%s] (%s)", strPath.c_str(), pszReason);
            return;
        }
    }
    if (bFolder && HoldsFolderLink(strPath))
        DeleteAroundLinks(strPath, kFunction);
    else
        ShellDelete(strPath.c_str());
    if (!Exists(strPath)) return;
    if (PathIsDirectoryW(strPath.c_str())) {
        DeleteEmptyFolders(strPath.c_str());
        return;
    }
    // A file in use: moved aside and a copy put back for the Recycle Bin, the moved one deleted at restart. The
    // steps run whatever each one gives.
    const std::wstring old = strPath + L".old";
    MoveFileW(strPath.c_str(), old.c_str());
    CopyFileW(old.c_str(), strPath.c_str(), FALSE);
    ShellDelete(strPath.c_str());
    MoveFileExW(old.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    // Held open without sharing, the file could neither be moved nor deleted: it goes at restart under its name.
    if (Exists(strPath)) MoveFileExW(strPath.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}

bool CDustman::HoldsFolderLink(const std::wstring& strFolder) {
    const FolderList list = ListFolder(strFolder);
    for (const FolderEntry& e : list.vecFolders)
        if ((e.dwAttributes & FILE_ATTRIBUTE_REPARSE_POINT) || HoldsFolderLink(list.strBase + e.strName)) return true;
    return false;
}

void CDustman::DeleteAroundLinks(const std::wstring& strFolder, const char* pszFunction) {
    // Listed whole first: the deletions change the folder under the search.
    const FolderList list = ListFolder(strFolder);
    for (const FolderEntry& e : list.vecFiles) {
        const std::wstring path = list.strBase + e.strName;
        if (MayDelete(path, FileKind(path), pszFunction)) ShellDelete(path.c_str());
    }
    for (const FolderEntry& e : list.vecFolders) {
        const std::wstring path = list.strBase + e.strName;
        if (!MayDelete(path, DustKind::Folder, pszFunction)) continue;  // links too
        if (HoldsFolderLink(path))
            DeleteAroundLinks(path, pszFunction);
        else
            ShellDelete(path.c_str());
    }
}

void CDustman::DeleteEmptyFolders(LPCWSTR pszFolder) {
    std::wstring path = pszFolder ? pszFolder : L"";
    if (!path.empty() && path.back() == L'\\') path.pop_back();
    if (!PathIsDirectoryW(path.c_str())) return;
    WIN32_FIND_DATAW fd;
    kx::unique_hfind find(FindFirstFileW((path + L"\\*.*").c_str(), &fd));
    if (!find) return;
    do {
        if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
        if (wcscmp(fd.cFileName, L".") == 0 || wcscmp(fd.cFileName, L"..") == 0) continue;
        const std::wstring sub = path + L"\\" + fd.cFileName;
        // A link is never followed, and what the guard refuses keeps even its attributes.
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) continue;
        if (!MayDelete(sub, DustKind::Folder, "CDustman::DeleteEmptyFolders")) continue;
        SetFileAttributesW(sub.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteEmptyFolders(sub.c_str());
    } while (FindNextFileW(find.get(), &fd));
    find.reset();
    if (PathIsDirectoryEmptyW(pszFolder) && MayDelete(path, DustKind::Folder, "CDustman::DeleteEmptyFolders"))
        ShellDelete(path.c_str());
}

void CDustman::DeleteRegDust(std::wstring strPath) {
    HKEY hRoot = nullptr;
    std::wstring rest;
    if (!kx::SplitKeyText(strPath, hRoot, rest)) return;
    if (!MayDelete(strPath, DustKind::Reg, "CDustman::DeleteRegDust")) return;
    const size_t p = rest.find(L"\\\\");
    if (p != std::wstring::npos && p > 0) {
        kx::DeleteValue(hRoot, rest.substr(0, p), rest.substr(p + 2));
    } else if (kx::HoldsKeyLink(hRoot, rest)) {
        // Deleting the tree would follow the link and empty the key it leads to.
        KXLOG_AS(0, "CDustman::DeleteRegDust", L"guard: refused [%s] (%s)", strPath.c_str(), L"link");
    } else {
        kx::DeleteKeyTree(hRoot, rest);
    }
}
