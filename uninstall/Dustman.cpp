#define KX_LOG_SOURCE ".\\Dustman"
#include "Dustman.h"

#include <shlobj.h>
#include <shlwapi.h>

#include "KxLog.h"
#include "KxUninstAPI.h"
#include "LowerText.h"
#include "RegKey.h"
#include "ScopedHandle.h"
#include "Signal.h"
#include "WideFormat.h"

namespace {

const char kParseName[] = "CDustman::Parse";

// Folders whose own removal would take the user's or the system's files with it: a program "installed" there
// has no leftovers to offer.
const int kSpecialFolders[] = {0x24, 0x25, 0x26, 0x2B, 0x2E, 0x0C, 0x05, 0x00, 0x10};
// Where shortcuts are looked for, in this order; the application-data folder stands for Quick Launch.
const int kShortcutRoots[] = {0x02, 0x0B, 0x17, 0x16, 0x00, 0x07, 0x18};
constexpr size_t kTargetChars = 1024;

using kx::Lower;

// The folder's path, not created; empty when the system cannot name it.
std::wstring SpecialFolderPath(int nCsidl) {
    wchar_t sz[MAX_PATH] = {};
    if (!SHGetSpecialFolderPathW(nullptr, sz, nCsidl, FALSE)) return std::wstring();
    return std::wstring(sz, wcsnlen(sz, MAX_PATH));
}

}  // namespace

CDustman::CDustman(LPCWSTR pszKey, LPCWSTR pszFolder, HANDLE hStopEvent)
    : m_strKey(Lower(pszKey ? pszKey : L"")), m_strFolder(Lower(pszFolder ? pszFolder : L"")), m_hStopEvent(hStopEvent) {}

void CDustman::SetGuardContext(DustGuardContext ctx) { m_pGuard = std::make_unique<DustGuardContext>(std::move(ctx)); }

bool CDustman::Stopped() const { return kx::IsSignalled(m_hStopEvent); }

void CDustman::EnsureGuard() {
    if (!m_pGuard) SetGuardContext(MakeDustGuardContext(m_strKey.c_str(), m_strFolder.c_str(), m_hStopEvent));
}

bool CDustman::FolderMatchable() {
    if (m_strFolder.empty()) return false;
    EnsureGuard();
    const wchar_t* pszReason = DustGuardRefusal(m_strFolder, DustKind::Folder, *m_pGuard);
    return !pszReason || wcscmp(pszReason, L"missing") == 0;
}

bool CDustman::Offer(std::deque<std::wstring>& lst, std::wstring strText, DustKind kind, const DustListing* pListing) {
    EnsureGuard();
    if (const wchar_t* pszReason = DustGuardRefusal(strText, kind, *m_pGuard, pListing)) {
        KXLOG_AS(0, kParseName, L"guard: refused [%s] (%s)", strText.c_str(), pszReason);
        return false;
    }
    lst.push_back(std::move(strText));
    return true;
}

void CDustman::Parse() {
    KXLOG(1, L"Begin");
    int nErr = 0;
    if (!IsSpecialFolder(m_strFolder)) {
        EnsureGuard();
        KXLOG(1, L"step.1 Parse Msi");
        ParseMsiFolder();
        struct Step {
            const wchar_t* pszLine;
            void (CDustman::*pfn)();
        };
        const Step kSteps[] = {{L"step.2 Parse system folder", &CDustman::ParseSystemFolder},
                               {L"step.3 Parse folder to file", &CDustman::ParseFolderToFile},
                               {L"step.4 Parse quick link", &CDustman::ParseQuickLink},
                               {L"step.5 Parse reg", &CDustman::ParseReg}};
        for (const Step& step : kSteps) {
            if (Stopped()) break;
            KXLOG(1, L"%s", step.pszLine);
            (this->*step.pfn)();
        }
        if (Stopped()) nErr = 15;
    }
    DumpDust();
    if (nErr) KXLOG(1, L"!!iErr code:[%d]", nErr);
    KXLOG(1, L"End");
}

BOOL CDustman::IsSpecialFolder(const std::wstring& strFolder) {
    std::wstring folder = strFolder;
    while (!folder.empty() && folder.back() == L'\\') folder.pop_back();
    // An empty folder is no folder at all, and must not equal the empty answer of a folder the system
    // cannot name (My Documents under Wine): the name-matched scans still run for it.
    if (folder.empty()) return FALSE;
    for (int nCsidl : kSpecialFolders) {
        std::wstring special = SpecialFolderPath(nCsidl);
        if (!special.empty() && CompareStringOrdinal(special.c_str(), -1, folder.c_str(), -1, TRUE) == CSTR_EQUAL)
            return TRUE;
    }
    return FALSE;
}

void CDustman::ParseMsiFolder() {
    if (!IsGuidShaped(m_strKey)) return;
    const std::wstring packed = PackProductCode(m_strKey);
    KXLOG(0, L"Parse Key[%s] ->Guid[%s]", m_strKey.c_str(), packed.c_str());
    for (bool bUser : {false, true}) {
        kx::CRegKey components(HKEY_LOCAL_MACHINE, kx::Format(dust::kComponentsPath, GetAccountSidString(bUser).c_str()));
        if (!components.IsOpen()) continue;
        const DWORD n = components.SubKeyCount();
        for (DWORD i = 0; i < n; ++i) {
            std::wstring name = components.SubKeyName(i);
            if (name.empty()) continue;
            std::wstring path = kx::CRegKey(components.Get(), name).String(packed.c_str());
            if (path.empty()) continue;
            const DWORD dwAttributes = GetFileAttributesW(path.c_str());
            if (dwAttributes == INVALID_FILE_ATTRIBUTES) continue;
            if (dwAttributes & FILE_ATTRIBUTE_DIRECTORY)
                Offer(m_lstFolder, std::move(path), DustKind::Folder);
            else
                Offer(m_lstFile, std::move(path), DustKind::File);
        }
    }
}

void CDustman::ParseSystemFolder() {
    if (!m_strFolder.empty()) Offer(m_lstFolder, m_strFolder, DustKind::Folder);
    const std::wstring installer = SpecialFolderPath(0x24) + L"\\Installer\\" + m_strKey;
    if (PathFileExistsW(installer.c_str())) Offer(m_lstFolder, installer, DustKind::Folder);
    const std::wstring shield = SpecialFolderPath(0x26) + L"\\InstallShield Installation Information\\" + m_strKey;
    if (PathFileExistsW(shield.c_str())) Offer(m_lstFolder, shield, DustKind::Folder);
}

void CDustman::ParseFolderToFile() {
    // Every folder in the list passed the guard when it was appended, so none that it refuses is listed here;
    // what a listing finds is judged from the listing.
    while (!m_lstFolder.empty()) {
        if (Stopped()) break;
        const std::wstring folder = m_lstFolder.front();
        FolderList list = ListFolder(folder);
        for (const FolderEntry& sub : list.vecFolders) {
            DustListing listing{&folder, sub.dwAttributes, true};
            Offer(m_lstFolder, list.strBase + sub.strName, DustKind::Folder, &listing);
        }
        for (const FolderEntry& file : list.vecFiles) {
            DustListing listing{&folder, file.dwAttributes, true};
            Offer(m_lstFile, list.strBase + file.strName, DustKind::File, &listing);
        }
        m_lstFolder.pop_front();
    }
    if (m_strFolder.empty() || !PathIsDirectoryW(m_strFolder.c_str())) return;
    // The install folder and each enclosing folder it alone keeps from being empty, innermost first. A refused
    // folder ends the chain: what encloses it holds what the guard protects too.
    std::wstring path = m_strFolder;
    while (Offer(m_lstFolder, path, DustKind::Folder)) {
        path = ParentFolder(path);
        if (path.empty() || !PathIsDirectoryW(path.c_str())) break;
        FolderList list = ListFolder(path);
        if (!list.vecFiles.empty() || list.vecFolders.size() != 1) break;
    }
}

CDustman::FolderList CDustman::ListFolder(const std::wstring& strFolder) {
    FolderList list;
    list.strBase = strFolder;
    if (list.strBase.empty() || list.strBase.back() != L'\\') list.strBase += L'\\';
    WIN32_FIND_DATAW fd;
    kx::unique_hfind find(FindFirstFileW((list.strBase + L"*.*").c_str(), &fd));
    if (!find) return list;
    do {
        if (fd.cFileName[0] == L'.' && (fd.cFileName[1] == 0 || (fd.cFileName[1] == L'.' && fd.cFileName[2] == 0)))
            continue;
        FolderEntry entry{fd.cFileName, fd.dwFileAttributes};
        (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY ? list.vecFolders : list.vecFiles).push_back(std::move(entry));
    } while (FindNextFileW(find.get(), &fd));
    return list;
}

std::wstring CDustman::ParentFolder(const std::wstring& strPath) {
    std::wstring path = strPath;
    if (!path.empty() && path.back() == L'\\') path.pop_back();
    size_t slash = path.rfind(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

void CDustman::ParseQuickLink() {
    if (!FolderMatchable()) return;
    std::deque<std::wstring> work;
    for (int nCsidl : kShortcutRoots) work.push_back(SpecialFolderPath(nCsidl));
    work.push_back(SpecialFolderPath(0x1A) + L"\\Microsoft\\Internet Explorer\\Quick Launch\\");
    for (; !work.empty(); work.pop_front()) {
        if (Stopped()) return;
        const std::wstring folder = work.front();
        // A root the system cannot name would list the current drive's root.
        if (folder.empty() || folder[0] == L'\\') continue;
        FolderList list = ListFolder(folder);
        for (const FolderEntry& sub : list.vecFolders)
            // Never through a link: it may lead out of the prefix or back up the tree for ever.
            if (!(sub.dwAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) work.push_back(list.strBase + sub.strName);
        for (const FolderEntry& file : list.vecFiles) {
            std::wstring path = Lower(list.strBase + file.strName);
            if (path.size() < 3 || path.compare(path.size() - 3, 3, L"lnk") != 0) continue;
            std::wstring target;
            if (ResolveOnce(path, target) != 1 || Lower(target).find(m_strFolder) == std::wstring::npos) continue;
            DustListing listing{&folder, file.dwAttributes, false};
            Offer(m_lstLink, std::move(path), DustKind::Link, &listing);
        }
    }
}

int CDustman::ResolveOnce(const std::wstring& strLink, std::wstring& strTarget) {
    auto found = m_mapResolved.find(strLink);
    if (found == m_mapResolved.end()) {
        std::wstring target(kTargetChars, L'\0');
        int nResult = ResolveShortcut(strLink.c_str(), &target[0]);
        target.resize(wcsnlen(target.c_str(), kTargetChars));
        found = m_mapResolved.emplace(strLink, std::make_pair(nResult, std::move(target))).first;
    }
    strTarget = found->second.second;
    return found->second.first;
}

int CDustman::ResolveShortcut(LPCWSTR pszLink, LPWSTR pszTarget) {
    if (GetFileAttributesW(pszLink) == INVALID_FILE_ATTRIBUTES) return -1;
    // Initialised on every call and left so: the worker thread keeps its apartment.
    CoInitialize(nullptr);
    kx::com_ptr<IShellLinkW> link;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.put_void())))
        return 0;
    kx::com_ptr<IPersistFile> file;
    if (FAILED(link->QueryInterface(IID_IPersistFile, file.put_void())) || FAILED(file->Load(pszLink, STGM_READ)))
        return 0;
    pszTarget[0] = L'\0';
    if (FAILED(link->GetPath(pszTarget, static_cast<int>(kTargetChars), nullptr, SLGP_RAWPATH))) return 0;
    return 1;
}
