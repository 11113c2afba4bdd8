#define KX_LOG_SOURCE ".\\KxUninstAPI"
#include "KxUninstAPI.h"

#include <vector>

#include "IniSection.h"
#include "KxLog.h"

namespace {
const wchar_t kSection[] = L"Vinst";
const DWORD kFirstSectionChars = 2048;

std::wstring QzIniPath(const std::wstring& strFolder) { return strFolder + L"\\qz.ini"; }

}  // namespace

BOOL IsQZSoftInitialized(const std::wstring& strFolder) {
    std::wstring ini = QzIniPath(strFolder);
    if (GetFileAttributesW(ini.c_str()) == INVALID_FILE_ATTRIBUTES) return FALSE;
    return GetPrivateProfileIntW(L"Soft", L"Initialized", 0, ini.c_str()) != 0;
}

std::wstring GetQZUninstallCommand(const std::wstring& strFolder) {
    return GetHostFolder() + L"\\" + L"KxVStart.exe" + L" /u " + LastPathComponent(strFolder);
}

void UNINST_API::EnumQZUnintallList(const std::wstring& strIniPath, InsideMap& map, HANDLE) {
    for (const std::wstring& line : kx::ReadIniSection(strIniPath, kSection, kFirstSectionChars, true)) {
        std::wstring id, folder = line;
        size_t equals = line.find(L'=');
        if (equals != std::wstring::npos) {
            id = line.substr(0, equals);
            folder = line.substr(equals + 1);
        }
        if (!IsQZSoftInitialized(folder)) continue;

        std::unique_ptr<UnItemInside> item(new (std::nothrow) UnItemInside());
        if (!item) {
            KXLOG(0, L"!!!New Failed");
            return;
        }
        wchar_t szName[MAX_PATH] = {};
        GetPrivateProfileStringW(L"Soft", L"Name", id.c_str(), szName, MAX_PATH, QzIniPath(folder).c_str());
        item->Virtual = 1;
        item->GUID = id;
        item->UninstallKey = id;
        item->InstallLocation = folder;
        item->DisplayIcon = folder + L"\\AppData\\qz\\appicon.ico";
        item->DisplayName = szName;
        FillFromInstallFolder(*item);
        AddInsideItem(item, map);
    }
}
