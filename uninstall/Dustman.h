// The leftover scanner: after an uninstaller has run, finds what it left behind (Installer components, the
// install folder and its files, the enclosing folders it alone kept alive, shortcuts into it, registry keys and
// values that name it) as plain texts in four lists, each finding first passed by the leftover guard. It only
// reads; the sweep deletes.
#pragma once

#include <windows.h>

#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "DustGuard.h"

class CPowerSweepItem;

class CDustman {
public:
    // Both texts are copied in lower case (NULL gives an empty text); hStopEvent is not owned.
    CDustman(LPCWSTR pszKey, LPCWSTR pszFolder, HANDLE hStopEvent);
    CDustman(const CDustman&) = delete;
    CDustman& operator=(const CDustman&) = delete;

    // Runs the scan. Without a guard context set before, builds one from what discovery lists now.
    void Parse();
    UINT GetDustCount() const;
    // Appends the findings as records (root, group heads, entries with their index as id) and empties the lists.
    void ToSweepList(std::vector<CPowerSweepItem*>& vecSweep);
    // The leftover dump when [Dump] Dust is nonzero.
    void DumpDust() const;

    // The guard's context: set one built earlier, or keep the one Parse built beside the leftover list (NULL
    // when nothing was scanned).
    void SetGuardContext(DustGuardContext ctx);
    const DustGuardContext* GuardContext() const { return m_pGuard.get(); }

    // The sweep's deletions (DustDelete.cpp). Each passes the exact text it hands to the shell or the registry,
    // and every folder it descends into, through the guard with the context set by SetGuardContext; a refused
    // text is left alone and logged. Results are not reported.
    // A file to the Recycle Bin (one in use: scheduled for deletion at the next restart), or a folder with what
    // it holds.
    void DeleteFileDust(std::wstring strPath);
    // A registry key with its subkeys, or one value ("key\\name").
    void DeleteRegDust(std::wstring strPath);
    // The empty folders of a tree to the Recycle Bin, bottom up; files stay.
    void DeleteEmptyFolders(LPCWSTR pszFolder);
    // One shell deletion request to the Recycle Bin, silent; TRUE when the shell reports success.
    static BOOL ShellDelete(LPCWSTR pszPath);
    // Whether a link to a folder lies anywhere below the folder. Such a folder never goes to the shell whole: when
    // the shell cannot move a folder to the Recycle Bin (under Wine, one on another file system than the trash) it
    // deletes it for good instead, and Wine's shell descends into links to folders, deleting what they lead to.
    static bool HoldsFolderLink(const std::wstring& strFolder);

    // The steps of Parse.
    void ParseMsiFolder();
    void ParseSystemFolder();
    void ParseFolderToFile();
    void ParseQuickLink();
    void ParseReg();
    void ParseFolderShell();
    void ParseMuiCache();

    struct FolderEntry {
        std::wstring strName;
        DWORD dwAttributes;
    };
    // What one folder holds: full paths are strBase + name.
    struct FolderList {
        std::wstring strBase;
        std::vector<FolderEntry> vecFiles;
        std::vector<FolderEntry> vecFolders;
    };

    static BOOL IsSpecialFolder(const std::wstring& strFolder);
    static FolderList ListFolder(const std::wstring& strFolder);
    static std::wstring ParentFolder(const std::wstring& strPath);
    // -1 when the link file does not exist, 0 when it cannot be read, 1 with the raw target in pszTarget (1024).
    static int ResolveShortcut(LPCWSTR pszLink, LPWSTR pszTarget);
    // flags: 0x04 subkey names, 0x08 descend, 0x02 value names, 0x01 value data; appends to lstOut.
    void RegMatch(HKEY hRoot, const std::wstring& strPath, HKEY hKey, std::wstring strMatch, DWORD dwFlags,
                  std::deque<std::wstring>& lstOut);

    const std::deque<std::wstring>& Files() const { return m_lstFile; }
    const std::deque<std::wstring>& Folders() const { return m_lstFolder; }
    const std::deque<std::wstring>& Links() const { return m_lstLink; }
    const std::deque<std::wstring>& Regs() const { return m_lstReg; }

private:
    // Appends strText when the guard lets it through; logs the refusal otherwise.
    bool Offer(std::deque<std::wstring>& lst, std::wstring strText, DustKind kind,
               const DustListing* pListing = nullptr);
    bool Stopped() const;
    // The guard's word on a text about to be handed over for deletion; a refusal is logged.
    bool MayDelete(const std::wstring& strText, DustKind kind, const char* pszFunction);
    // A folder's content taken around the links in it: what holds no link to a folder goes to the shell whole,
    // each link stays (the guard refuses it), and so do the folders on the way to one.
    void DeleteAroundLinks(const std::wstring& strFolder, const char* pszFunction);
    void EnsureGuard();
    // Whether texts may be matched against the install folder: never when the guard refuses the folder itself
    // (a drive root or a profile would match everything on it), but a folder already removed still may be.
    bool FolderMatchable();
    // The same link resolved again within one scan gives the same answer: a programs folder is visited
    // from two roots.
    int ResolveOnce(const std::wstring& strLink, std::wstring& strTarget);

    std::wstring m_strKey;
    std::wstring m_strFolder;
    HANDLE m_hStopEvent;
    std::deque<std::wstring> m_lstFile;
    std::deque<std::wstring> m_lstFolder;
    std::deque<std::wstring> m_lstLink;
    std::deque<std::wstring> m_lstReg;
    std::unique_ptr<DustGuardContext> m_pGuard;
    std::map<std::wstring, std::pair<int, std::wstring>> m_mapResolved;
};
