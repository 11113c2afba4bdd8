// Real installers in the prefix's real registry (no redirection: msiexec is another process). Each product has
// a name of its own and is removed again, also when a check fails.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <ctime>

#include "KxUninstAPI.h"
#include "ScopedHandle.h"
#include "kxtest/HostLayout.h"
#include "kxtest/TempDir.h"

namespace {

const wchar_t kNsisName[] = L"KxTest NSIS App";
const wchar_t kNsisKey[] = L"KxTestNsisApp";
const wchar_t kMsiName[] = L"KxTest MSI App";
const wchar_t kMsiCode[] = L"{6B0E1C2A-4D3F-4A51-9C7E-0F1A2B3C4D5E}";
const std::wstring kUninstall = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

DWORD RunToEnd(std::wstring cmd) {
    STARTUPINFOW si = {sizeof(si)};
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return 0xFFFFFFFF;
    kx::unique_handle process(pi.hProcess), thread(pi.hThread);
    DWORD code = 0xFFFFFFFE;
    if (WaitForSingleObject(process.get(), 120000) == WAIT_OBJECT_0) GetExitCodeProcess(process.get(), &code);
    return code;
}

std::wstring Folder(int csidl) {
    wchar_t sz[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, sz);
    return sz;
}

std::wstring NsisFolder() { return Folder(CSIDL_PROGRAM_FILES) + L"\\KxTestNsisApp"; }

std::wstring Today() {
    __time64_t now = _time64(nullptr);
    wchar_t sz[32] = {};
    wcsftime(sz, 32, L"%Y-%m-%d", _localtime64(&now));
    return sz;
}

void UninstallBoth() {
    std::wstring folder = NsisFolder();
    if (kxtest::PathExists(folder + L"\\uninst.exe"))
        RunToEnd(L"\"" + folder + L"\\uninst.exe\" /S _?=" + folder);  // in place, so the wait covers the work
    kxtest::RemoveTree(folder);
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, (kUninstall + kNsisKey).c_str());
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, (kUninstall + kNsisKey).c_str());
    RunToEnd(std::wstring(L"msiexec.exe /x ") + kMsiCode + L" /qn");
}

class RealInstallTest : public testing::Test {
protected:
    static void SetUpTestSuite() { UninstallBoth(); }
    static void TearDownTestSuite() { UninstallBoth(); }
};

TEST_F(RealInstallTest, NsisAndMsiInstallsAreDiscoveredAndGoneAfterUninstall) {
    ASSERT_EQ(RunToEnd(L"\"" + kxtest::ExeFolder() + L"KxTestNsisSetup.exe\" /S"), 0u);
    ASSERT_EQ(RunToEnd(L"msiexec.exe /i \"" + kxtest::ExeFolder() + L"KxTestMsi.msi\" /qn"), 0u);
    EXPECT_TRUE(kxtest::PathExists(Folder(CSIDL_COMMON_PROGRAMS) + L"\\KxTest NSIS App\\KxTest NSIS App.lnk"));

    InsideMap map;
    CreateUnItemInside(map, nullptr);
    ASSERT_EQ(map.count(kNsisName), 1u);
    ASSERT_EQ(map.count(kMsiName), 1u);

    // NSIS: no InstallLocation in its key, so the folder comes from the quoted uninstall command.
    const UnItemInside& nsis = *map.at(kNsisName);
    const std::wstring folder = NsisFolder() + L"\\";
    EXPECT_EQ(std::make_tuple(nsis.KeyPath, nsis.UninstallKey, nsis.UninstallString, nsis.InstallLocation, nsis.DisplayIcon),
              std::make_tuple(L"HKEY_LOCAL_MACHINE\\" + kUninstall + kNsisKey, std::wstring(kNsisKey),
                              L"\"" + folder + L"uninst.exe\"", folder, folder + L"app.exe, 0"));
    EXPECT_EQ(std::make_tuple(nsis.Size, nsis.InstallDate, nsis.Use, nsis.Virtual),
              std::make_tuple(1234ull * 1024, std::wstring(L"2025-01-15"), 3u, 0));
    EXPECT_EQ(UNINST_API::GetUninstallCommand(nsis.KeyPath.c_str()), nsis.UninstallString);
    EXPECT_FALSE(UNINST_API::IsSoftwareGone(nsis.UninstallKey, nsis.UninstallString));

    // MSI: its Uninstall key comes first; the command is REG_EXPAND_SZ and read as stored.
    const UnItemInside& msi = *map.at(kMsiName);
    wchar_t szSystem[MAX_PATH] = {};
    GetSystemDirectoryW(szSystem, MAX_PATH);
    EXPECT_EQ(std::make_tuple(msi.KeyPath, msi.UninstallKey, msi.UninstallString, msi.InstallDate, msi.DisplayIcon, msi.InstallLocation),
              std::make_tuple(L"HKEY_LOCAL_MACHINE\\" + kUninstall + kMsiCode, std::wstring(kMsiCode),
                              std::wstring(L"MsiExec.exe /I") + kMsiCode, Today(), std::wstring(szSystem) + L"\\MsiExec.exe, 0",
                              std::wstring()));
    EXPECT_EQ(UNINST_API::GetUninstallCommand(msi.KeyPath.c_str()), msi.UninstallString);
    EXPECT_FALSE(UNINST_API::IsSoftwareGone(msi.UninstallKey, msi.UninstallString));

    // The same product from the system account's Installer list, when its Uninstall key did not come first.
    const std::wstring products = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\" +
                                  GetAccountSidString(false) + L"\\Products\\";
    InsideMap products_only;
    UNINST_API::EnumRegInside(HKEY_LOCAL_MACHINE, products, products_only, nullptr);
    ASSERT_EQ(products_only.count(kMsiName), 1u);
    const UnItemInside& product = *products_only.at(kMsiName);
    EXPECT_EQ(std::make_tuple(product.UninstallKey, product.KeyPath, product.UninstallString),
              std::make_tuple(PackProductCode(kMsiCode), L"HKEY_LOCAL_MACHINE\\" + products + PackProductCode(kMsiCode) +
                              L"\\InstallProperties", msi.UninstallString));
    EXPECT_EQ(PackProductCode(kMsiCode), L"A2C1E0B6F3D415A4C9E7F0A1B2C3D4E5");

    const std::wstring nsisCommand = nsis.UninstallString;
    const std::wstring msiCommand = msi.UninstallString;
    EXPECT_EQ(RunToEnd(L"\"" + folder + L"uninst.exe\" /S _?=" + NsisFolder()), 0u);
    kxtest::RemoveTree(NsisFolder());  // the in-place uninstaller cannot delete itself
    EXPECT_EQ(RunToEnd(std::wstring(L"msiexec.exe /x ") + kMsiCode + L" /qn"), 0u);
    EXPECT_TRUE(UNINST_API::IsSoftwareGone(kNsisKey, nsisCommand));
    EXPECT_TRUE(UNINST_API::IsSoftwareGone(kMsiCode, msiCommand));
    EXPECT_FALSE(UNINST_API::KeyHasDisplayName((L"HKEY_LOCAL_MACHINE\\" + kUninstall + kMsiCode).c_str()));

    InsideMap after;
    CreateUnItemInside(after, nullptr);
    EXPECT_EQ(after.count(kNsisName), 0u);
    EXPECT_EQ(after.count(kMsiName), 0u);
}

}  // namespace
