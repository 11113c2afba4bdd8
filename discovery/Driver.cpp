#define KX_LOG_SOURCE ".\\KxUninstAPI"
#include "KxUninstAPI.h"

#include "DumpFile.h"
#include "KxLog.h"
#include "WideFormat.h"

namespace {
const char kDriverName[] = "CKxUninstMgr::CreateUnItemInside";
const wchar_t kProductsTemplate[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\%s\\Products\\";
}  // namespace

namespace {
// The five sources in order of precedence; bLog announces each step.
void EnumSources(InsideMap& map, const kx::CStopSignal& stop, bool bLog) {
    UNINST_API::CLongPathMemo memo;
    CPathProbeMemo probes;
    CFolderFactsMemo folderFacts;
    if (bLog) KXLOG_AS(0, kDriverName, L"step.1 分析HKEY_LOCAL_MACHINE");
    UNINST_API::EnumRegUnInstallKey(HKEY_LOCAL_MACHINE, map, stop);
#ifdef _WIN64
    // A 64-bit process sees only its own view; 32-bit programs register below Wow6432Node.
    UNINST_API::EnumUninstallPath(HKEY_LOCAL_MACHINE, UNINST_API::kWow64UninstallPath, map, stop);
#endif

    if (bLog) KXLOG_AS(0, kDriverName, L"step.2 分析HKEY_CURRENT_USER");
    UNINST_API::EnumRegUnInstallKey(HKEY_CURRENT_USER, map, stop);

    if (bLog) KXLOG_AS(0, kDriverName, L"step.3 分析SID_SYSTEM");
    std::wstring sid = GetAccountSidString(false);
    UNINST_API::EnumRegInside(HKEY_LOCAL_MACHINE, kx::Format(kProductsTemplate, sid.c_str()), map, stop);

    if (bLog) KXLOG_AS(0, kDriverName, L"step.4 分析SID_CURRENT");
    sid = GetAccountSidString(true);
    UNINST_API::EnumRegInside(HKEY_LOCAL_MACHINE, kx::Format(kProductsTemplate, sid.c_str()), map, stop);

    if (bLog) KXLOG_AS(0, kDriverName, L"step.5 分析QZ");
    UNINST_API::EnumQZUnintallList(GetSoftIniPath(), map, stop.Event());
}
}  // namespace

void CreateUnItemInside(InsideMap& map, HANDLE hStopEvent) { CreateUnItemInside(map, kx::CStopSignal(hStopEvent)); }

void CreateUnItemInside(InsideMap& map, const kx::CStopSignal& stop) {
    EnumSources(map, stop, true);
    KXLOG_AS(0, kDriverName, L"step.6 分析出可卸载软件[%d]个", static_cast<int>(map.size()));
    DumpInside(map);
}

void ListInstalledPrograms(InsideMap& map, HANDLE hStopEvent) {
    CFolderFactsSkip noWalks;
    EnumSources(map, kx::CStopSignal(hStopEvent), false);
}

void DumpInside(const InsideMap& map) {
    CDumpFile dump;
    if (!dump.Open(L"Inside", L"Log\\D_Inside_%Y%m%d_%H%M%S.txt")) return;
    dump.WriteHeader(static_cast<int>(map.size()));
    int nNumber = 0;
    for (const auto& entry : map) {
        const UnItemInside& r = *entry.second;
        dump.Write(kx::Format(L"No.%d:, Virtual:%d, size=%I64d, use:%d, install:%s\n\tGUID:%s\n\tDisplayName:%s\n"
                              L"\tDisplayIcon:%s\n\tUninstallKey: %s\n\tInstallLocation:%s\n\tUninstallString:%s\n",
                              ++nNumber, r.Virtual, r.Size, r.Use, r.InstallDate.c_str(), r.GUID.c_str(),
                              r.DisplayName.c_str(), r.DisplayIcon.c_str(), r.UninstallKey.c_str(),
                              r.InstallLocation.c_str(), r.UninstallString.c_str()));
    }
    dump.Close();
}
