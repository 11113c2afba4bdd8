// The scanner's registry places: Run values naming the install folder, Uninstall and ARPCache subkeys naming
// the entry, folder verbs whose command names the folder, and MUICache entries of the folder's programs.
#define KX_LOG_SOURCE ".\\Dustman"
#include "Dustman.h"

#include "KxLog.h"
#include "KxUninstAPI.h"
#include "LowerText.h"
#include "RegKey.h"
#include "Signal.h"

namespace {

using kx::Lower;

const wchar_t kShellPrefix[] = L"HKEY_CLASSES_ROOT\\Folder\\Shell\\";

}  // namespace

void CDustman::RegMatch(HKEY hRoot, const std::wstring& strPath, HKEY hKey, std::wstring strMatch, DWORD dwFlags,
                        std::deque<std::wstring>& lstOut) {
    if (!hKey) return;
    strMatch = Lower(strMatch);
    const std::wstring key = kx::RootKeyName(hRoot) + L"\\" + strPath;
    // Only the four lists are guarded; a scratch list is judged when its findings move into one of them.
    auto add = [&](std::wstring text) {
        if (&lstOut == &m_lstReg)
            Offer(m_lstReg, std::move(text), DustKind::Reg);
        else
            lstOut.push_back(std::move(text));
    };
    const DWORD nKeys = kx::RegSubKeyCount(hKey);
    for (DWORD i = 0; i < nKeys; ++i) {
        std::wstring name = Lower(kx::RegReadSubKeyName(hKey, i));
        if (name.empty()) continue;
        if ((dwFlags & 0x04) && name.find(strMatch) != std::wstring::npos) add(key + L"\\" + name);
        if (dwFlags & 0x08) {
            const std::wstring path = strPath + L"\\" + name;
            kx::CRegKey sub(hRoot, path);
            RegMatch(hRoot, path, sub.Get(), strMatch, dwFlags, lstOut);
        }
    }
    const DWORD nValues = kx::RegValueCount(hKey);
    kx::RegValueText value;
    for (DWORD i = 0; i < nValues; ++i) {
        if (!kx::RegReadValueAt(hKey, i, value) || value.dwType != REG_SZ) continue;
        const std::wstring name = Lower(value.strName);
        if ((dwFlags & 0x02) && name.find(strMatch) != std::wstring::npos) add(key + L"\\\\" + name);
        if ((dwFlags & 0x01) && Lower(value.strData).find(strMatch) != std::wstring::npos) add(key + L"\\\\" + name);
    }
}

void CDustman::ParseReg() {
    struct Place {
        HKEY hRoot;
        const wchar_t* pszPath;
        bool bByFolder;
    };
    const Place kPlaces[] = {{HKEY_LOCAL_MACHINE, dust::kRunPath, true},       {HKEY_CURRENT_USER, dust::kRunPath, true},
                             {HKEY_LOCAL_MACHINE, dust::kUninstallPath, false}, {HKEY_CURRENT_USER, dust::kUninstallPath, false},
                             {HKEY_LOCAL_MACHINE, dust::kArpCachePath, false},  {HKEY_CURRENT_USER, dust::kArpCachePath, false}};
    // A name too short or too odd to mean one program would match every subkey: the name scans are left out
    // as a whole, with one line instead of one refusal per subkey.
    const bool bByName = IsNameMatchable(m_strKey);
    if (!bByName) KXLOG_AS(0, "CDustman::Parse", L"guard: refused [%s] (%s)", m_strKey.c_str(), L"name");
    const bool bByFolder = FolderMatchable();
    for (const Place& place : kPlaces) {
        if (place.bByFolder ? !bByFolder : !bByName) continue;
        kx::CRegKey key(place.hRoot, place.pszPath);
        RegMatch(place.hRoot, place.pszPath, key.Get(), place.bByFolder ? m_strFolder : m_strKey,
                 place.bByFolder ? 0x01 : 0x04, m_lstReg);
    }
    ParseFolderShell();
    ParseMuiCache();
}

void CDustman::ParseFolderShell() {
    if (!FolderMatchable()) return;
    std::deque<std::wstring> commands;
    kx::CRegKey shell(HKEY_CLASSES_ROOT, dust::kFolderShellPath);
    RegMatch(HKEY_CLASSES_ROOT, dust::kFolderShellPath, shell.Get(), m_strFolder, 0x09, commands);
    const std::wstring prefix = kShellPrefix;
    for (std::wstring& text : commands) {
        if (kx::IsSignalled(m_hStopEvent)) break;
        for (size_t at; (at = text.find(prefix)) != std::wstring::npos;) text.erase(at, prefix.size());
        size_t slash = text.find(L'\\', 1);
        if (slash == std::wstring::npos || slash == 0) continue;
        Offer(m_lstReg, prefix + text.substr(0, slash), DustKind::Reg);
    }
}

void CDustman::ParseMuiCache() {
    if (!FolderMatchable()) return;
    for (bool bUser : {false, true}) {
        const std::wstring path = GetAccountSidString(bUser) + dust::kMuiCachePath;
        kx::CRegKey key(HKEY_USERS, path);
        RegMatch(HKEY_USERS, path, key.Get(), m_strFolder, 0x02, m_lstReg);
    }
}
