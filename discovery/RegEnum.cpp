#define KX_LOG_SOURCE ".\\KxUninstAPI"
#include "KxUninstAPI.h"

#include <objbase.h>
#include <shlwapi.h>

#include <algorithm>
#include <cwctype>

#include "GuidText.h"
#include "KxLog.h"
#include "RegKey.h"
#include "Signal.h"

namespace UNINST_API {

const wchar_t kUninstallPath[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
#ifdef _WIN64
const wchar_t kWow64UninstallPath[] = L"Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
#endif

namespace {

// Walks the subkeys of root\strPath; onEntry gets each non-empty subkey name. The count is taken once.
template <typename OnEntry>
void WalkSubKeys(HKEY hRoot, const std::wstring& strPath, const kx::CStopSignal& stop, const char* pszLogAs,
                 OnEntry onEntry) {
    kx::CRegKey key(hRoot, strPath);
    if (!key.IsOpen()) return;
    DWORD n = key.SubKeyCount();
    for (DWORD i = 0; i < n; ++i) {
        if (stop.IsSet()) break;
        if (n > 5 && (i + 1) % (n / 5) == 0) KXLOG_AS(1, pszLogAs, L"progress:[%d/%d]", i + 1, n);
        std::wstring name = key.SubKeyName(i);
        if (name.empty()) continue;
        onEntry(name);
    }
}

std::wstring Upper(std::wstring s) {
    for (wchar_t& c : s) c = towupper(c);
    return s;
}

std::wstring Lower(std::wstring s) {
    for (wchar_t& c : s) c = towlower(c);
    return s;
}

}  // namespace

void EnumRegUnInstallKey(HKEY hRoot, InsideMap& map, HANDLE hStopEvent) {
    EnumRegUnInstallKey(hRoot, map, kx::CStopSignal(hStopEvent));
}

void EnumRegUnInstallKey(HKEY hRoot, InsideMap& map, const kx::CStopSignal& stop) {
    EnumUninstallPath(hRoot, kUninstallPath, map, stop);
}

void EnumUninstallPath(HKEY hRoot, const std::wstring& strPath, InsideMap& map, const kx::CStopSignal& stop) {
    WalkSubKeys(hRoot, strPath, stop, "UNINST_API::EnumRegUnInstallKey",
                [&](const std::wstring& name) { ParseRegInside(hRoot, strPath + name, name, map); });
}

void EnumRegInside(HKEY hRoot, const std::wstring& strProductsPath, InsideMap& map, HANDLE hStopEvent) {
    EnumRegInside(hRoot, strProductsPath, map, kx::CStopSignal(hStopEvent));
}

void EnumRegInside(HKEY hRoot, const std::wstring& strProductsPath, InsideMap& map, const kx::CStopSignal& stop) {
    WalkSubKeys(hRoot, strProductsPath, stop, "UNINST_API::EnumRegInside", [&](const std::wstring& name) {
        ParseRegInside(hRoot, strProductsPath + name + L"\\InstallProperties", name, map);
    });
}

void ParseRegInside(HKEY hRoot, const std::wstring& strKeyPath, const std::wstring& strKeyName, InsideMap& map) {
    kx::CRegKey key(hRoot, strKeyPath);
    if (!key.IsOpen()) return;
    // Nine names are read below, one registry round trip each; a key of at most eight values is read whole
    // in fewer (one for the count, one per value), and a bigger key costs one round trip more than by name.
    key.Snapshot(8);
    if (key.Dword(L"SystemComponent") == 1) return;
    if (!key.String(L"ParentKeyName").empty()) return;
    std::wstring installLocation = key.String(L"InstallLocation");
    if (IsHotfixEntry(strKeyName, installLocation)) return;
    std::wstring displayName = key.String(L"DisplayName");
    if (displayName.empty()) return;

    std::unique_ptr<UnItemInside> item(new (std::nothrow) UnItemInside());
    if (!item) {
        KXLOG_AS(0, "UNINST_API::ParseRegInside", L"!!!New Failed");
        return;
    }
    item->Virtual = 0;
    item->KeyPath = kx::RootKeyName(hRoot) + L"\\" + strKeyPath;
    item->DisplayName = displayName;
    item->UninstallKey = strKeyName;
    item->InstallLocation = installLocation;
    item->Use = 0;
    item->UninstallString = key.String(L"UninstallString");
    item->DisplayIcon = key.String(L"DisplayIcon");
    item->Size = static_cast<ULONGLONG>(key.Dword(L"EstimatedSize")) * 1024;
    item->InstallDate = key.String(L"InstallDate");
    GUID guid = {};
    if (key.Bytes(L"QZAppID", &guid, sizeof(guid))) {
        item->GUID = kx::GuidText(guid, false);
    }

    DeriveInstallFolder(*item);
    ResolveDisplayIcon(*item);
    FillFromInstallFolder(*item);
    AddInsideItem(item, map);
}

bool IsHotfixEntry(const std::wstring& strKeyName, const std::wstring& strInstallLocation) {
    std::wstring upper = Upper(strKeyName);
    size_t kb = upper.find(L"KB");
    if (kb == std::wstring::npos) return false;
    std::wstring rest = upper.substr(kb + 2);
    if (!rest.empty() && std::all_of(rest.begin(), rest.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; }))
        return true;
    std::wstring location = Lower(strInstallLocation);
    return location.find(L"spuninst.exe") != std::wstring::npos || location.find(L"$ntuninstall") != std::wstring::npos;
}

bool AddInsideItem(std::unique_ptr<UnItemInside>& item, InsideMap& map) {
    if (!item || map.count(item->DisplayName)) return false;
    std::wstring name = item->DisplayName;
    map.emplace(std::move(name), std::move(item));
    return true;
}

std::wstring GetUninstallCommand(const wchar_t* pszKeyPath) {
    HKEY hRoot = nullptr;
    std::wstring path;
    if (!pszKeyPath || !kx::SplitKeyText(pszKeyPath, hRoot, path)) return std::wstring();
    std::wstring command = kx::CRegKey(hRoot, path).String(L"UninstallString");
    if (!command.empty()) return command;
    std::wstring keyName = KeyNameOf(pszKeyPath);
    if (kx::CRegKey(hRoot, path).Dword(L"WindowsInstaller") == 1 && IsGuidShaped(keyName))
        return L"MsiExec.exe /x" + keyName;
    return std::wstring();
}

bool KeyHasDisplayName(const wchar_t* pszKeyPath) {
    HKEY hRoot = nullptr;
    std::wstring path;
    if (!pszKeyPath || !kx::SplitKeyText(pszKeyPath, hRoot, path)) return false;
    return !kx::CRegKey(hRoot, path).String(L"DisplayName").empty();
}

bool IsSoftwareGone(const std::wstring& strKeyName, const std::wstring& strUninstallString) {
    if (!kx::CRegKey(HKEY_LOCAL_MACHINE, kUninstallPath + strKeyName).String(L"DisplayName").empty()) return false;
#ifdef _WIN64
    if (!kx::CRegKey(HKEY_LOCAL_MACHINE, kWow64UninstallPath + strKeyName).String(L"DisplayName").empty())
        return false;
#endif
    if (!kx::CRegKey(HKEY_CURRENT_USER, kUninstallPath + strKeyName).String(L"DisplayName").empty()) return false;
    if (IsGuidShaped(strKeyName)) return true;
    std::wstring folder, file, argument;
    ParseCommandLine(strUninstallString, folder, file, argument);
    std::wstring path = folder + file;
    return path.empty() || !PathFileExistsW(path.c_str());
}

}  // namespace UNINST_API
