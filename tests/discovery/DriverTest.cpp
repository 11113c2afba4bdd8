#include <windows.h>

#include <gtest/gtest.h>

#include "KxUninstAPI.h"
#include "ScopedHandle.h"
#include "kxtest/HostLayout.h"
#include "kxtest/Log.h"
#include "kxtest/RegistryOverride.h"
#include "kxtest/TempDir.h"

namespace {

const std::wstring kUninstall = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const std::wstring kWowUninstall = L"Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

// A software-centre program folder with its qz.ini.
void QzProgram(const std::wstring& folder, int initialized, const wchar_t* name) {
    std::wstring ini = L"[Soft]\r\nInitialized=" + std::to_wstring(initialized) + L"\r\n";
    if (name) ini += std::wstring(L"Name=") + name + L"\r\n";
    kxtest::WriteUtf16File(folder + L"\\qz.ini", ini);
    kxtest::WriteFileBytes(folder + L"\\bin\\player.exe", std::string(50, 'p'));
}

class DriverTest : public testing::Test {
protected:
    void TearDown() override {
        DeleteFileW(GetSoftIniPath().c_str());
        kxtest::SetDiagConfig(L"Dump", nullptr, 0);
    }
    void SoftIni(const std::wstring& lines) { kxtest::WriteUtf16File(GetSoftIniPath(), L"[Vinst]\r\n" + lines); }
    kxtest::RegistryOverride m_reg;
    kxtest::TempDir m_temp;
};

TEST_F(DriverTest, SoftwareCentreRecords) {
    QzProgram(m_temp / L"Player", 1, L"QZ Player");
    QzProgram(m_temp / L"Off", 0, L"Off");
    QzProgram(m_temp / L"NoName", 1, nullptr);
    SoftIni(L"player=" + (m_temp / L"Player") + L"\r\noff=" + (m_temp / L"Off") + L"\r\nnoname=" +
            (m_temp / L"NoName") + L"\r\n" + (m_temp / L"Missing") + L"\r\n");
    InsideMap map;
    UNINST_API::EnumQZUnintallList(GetSoftIniPath(), map, nullptr);
    ASSERT_EQ(map.size(), 2u);
    const UnItemInside& r = *map.at(L"QZ Player");
    EXPECT_EQ(std::make_tuple(r.Virtual, r.GUID, r.UninstallKey, r.InstallLocation, r.DisplayIcon),
              std::make_tuple(1, std::wstring(L"player"), std::wstring(L"player"), m_temp / L"Player",
                              m_temp / L"Player\\AppData\\qz\\appicon.ico"));
    EXPECT_GE(r.Size, 50u);  // qz.ini and the program
    EXPECT_EQ(r.Use, 3u);
    EXPECT_EQ(r.InstallDate.size(), 10u);
    EXPECT_TRUE(r.KeyPath.empty() && r.UninstallString.empty());
    EXPECT_EQ(map.at(L"noname")->InstallLocation, m_temp / L"NoName");

    EXPECT_TRUE(IsQZSoftInitialized(m_temp / L"Player"));
    EXPECT_FALSE(IsQZSoftInitialized(m_temp / L"Off"));
    EXPECT_FALSE(IsQZSoftInitialized(m_temp / L"Missing"));
    std::wstring host = GetHostFolder();
    EXPECT_EQ(GetQZUninstallCommand(L"D:\\Soft\\Player"), host + L"\\KxVStart.exe /u Player");
    EXPECT_EQ(GetQZUninstallCommand(L"D:\\Soft\\Player\\"), host + L"\\KxVStart.exe /u Player");
}

TEST_F(DriverTest, ALongSoftwareCentreSectionIsReadWhole) {
    std::wstring lines;
    for (int i = 0; i < 60; ++i)
        lines += L"filler" + std::to_wstring(i) + L"=" + (m_temp / L"not-a-program-folder-with-a-long-name") + L"\r\n";
    ASSERT_GT(lines.size(), 4096u);
    QzProgram(m_temp / L"Last", 1, L"Last");
    SoftIni(lines + L"last=" + (m_temp / L"Last") + L"\r\n");
    InsideMap map;
    UNINST_API::EnumQZUnintallList(GetSoftIniPath(), map, nullptr);
    EXPECT_EQ(map.size(), 1u);
    EXPECT_EQ(map.count(L"Last"), 1u);
}

TEST_F(DriverTest, StepsInOrderOfPrecedence) {
    kxtest::SetString(HKEY_LOCAL_MACHINE, kUninstall + L"A", L"DisplayName", L"Same");
    kxtest::SetString(HKEY_CURRENT_USER, kUninstall + L"B", L"DisplayName", L"Same");
    kxtest::SetString(HKEY_CURRENT_USER, kUninstall + L"C", L"DisplayName", L"QZ Player");
#ifdef _WIN64
    kxtest::SetString(HKEY_LOCAL_MACHINE, kWowUninstall + L"W", L"DisplayName", L"Thirty-two");
    kxtest::SetString(HKEY_LOCAL_MACHINE, kWowUninstall + L"W", L"UninstallString", L"C:\\w\\un.exe");
    kxtest::SetString(HKEY_LOCAL_MACHINE, kWowUninstall + L"W2", L"DisplayName", L"Same");
#endif
    const std::wstring products =
        L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\S-1-5-18\\Products\\";
    kxtest::SetString(HKEY_LOCAL_MACHINE, products + L"00112233445566778899AABBCCDDEEFF\\InstallProperties",
                      L"DisplayName", L"Machine product");
    const std::wstring userProducts = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\" +
                                      GetAccountSidString(true) + L"\\Products\\";
    kxtest::SetString(HKEY_LOCAL_MACHINE, userProducts + L"FFEEDDCCBBAA99887766554433221100\\InstallProperties",
                      L"DisplayName", L"User product");
    QzProgram(m_temp / L"Player", 1, L"QZ Player");
    QzProgram(m_temp / L"Other", 1, L"QZ Other");
    SoftIni(L"player=" + (m_temp / L"Player") + L"\r\nother=" + (m_temp / L"Other") + L"\r\n");
    kxtest::SetDiagConfig(L"Dump", L"Inside", 1);

    kxtest::LogMark log;
    InsideMap map;
    CreateUnItemInside(map, nullptr);
    EXPECT_EQ(map.at(L"Same")->KeyPath, L"HKEY_LOCAL_MACHINE\\" + kUninstall + L"A");
    EXPECT_EQ(map.at(L"QZ Player")->KeyPath, L"HKEY_CURRENT_USER\\" + kUninstall + L"C");
    EXPECT_EQ(map.at(L"QZ Other")->Virtual, 1);
    EXPECT_EQ(map.at(L"Machine product")->UninstallKey, L"00112233445566778899AABBCCDDEEFF");
    EXPECT_EQ(map.at(L"User product")->UninstallKey, L"FFEEDDCCBBAA99887766554433221100");
#ifdef _WIN64
    ASSERT_EQ(map.size(), 6u);
    const UnItemInside& w = *map.at(L"Thirty-two");
    EXPECT_EQ(w.KeyPath, L"HKEY_LOCAL_MACHINE\\" + kWowUninstall + L"W");
    EXPECT_EQ(UNINST_API::GetUninstallCommand(w.KeyPath.c_str()), L"C:\\w\\un.exe");
    EXPECT_TRUE(UNINST_API::KeyHasDisplayName(w.KeyPath.c_str()));
#endif

    EXPECT_EQ(log.Messages(L"CKxUninstMgr::CreateUnItemInside"),
              (std::vector<std::wstring>{L"step.1 分析HKEY_LOCAL_MACHINE", L"step.2 分析HKEY_CURRENT_USER", L"step.3 分析SID_SYSTEM",
                                         L"step.4 分析SID_CURRENT", L"step.5 分析QZ",
                                         L"step.6 分析出可卸载软件[" + std::to_wstring(map.size()) + L"]个"}));

    // The dump: one file, the map in name order, numbered from 1.
    auto dumps = kxtest::DumpFiles(L"D_Inside_");
    ASSERT_EQ(dumps.size(), 1u);
    std::string bytes = kxtest::ReadFileBytes(dumps[0]);
    kxtest::RemoveDumps(L"D_Inside_");
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
    std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data() + 2), (bytes.size() - 2) / 2);
    const UnItemInside& m = *map.at(L"Machine product");
    std::wstring first = L"Dump begin, Total Find: " + std::to_wstring(map.size()) + L"\r\n\r\nNo.1:, Virtual:0, size=" +
                         std::to_wstring(m.Size) + L", use:" + std::to_wstring(m.Use) + L", install:" + m.InstallDate +
                         L"\r\n\tGUID:\r\n\tDisplayName:Machine product\r\n\tDisplayIcon:\r\n\tUninstallKey: "
                         L"00112233445566778899AABBCCDDEEFF\r\n\tInstallLocation:\r\n\tUninstallString:\r\n\r\nNo.2:";
    EXPECT_EQ(text.substr(0, first.size()), first);
    EXPECT_NE(text.find(L"Virtual:1, size="), std::wstring::npos);
    EXPECT_EQ(text.substr(text.size() - 12), L"\r\nDump end\r\n");
}

TEST_F(DriverTest, AfterShutdownOnlyTheSoftwareCentreIsRead) {
    kxtest::SetString(HKEY_LOCAL_MACHINE, kUninstall + L"A", L"DisplayName", L"A");
    kxtest::SetString(HKEY_CURRENT_USER, kUninstall + L"B", L"DisplayName", L"B");
    QzProgram(m_temp / L"Player", 1, L"QZ Player");
    SoftIni(L"player=" + (m_temp / L"Player") + L"\r\n");
    kx::unique_handle stop(CreateEventW(nullptr, TRUE, TRUE, nullptr));
    kxtest::LogMark log;
    InsideMap map;
    CreateUnItemInside(map, stop.get());
    ASSERT_EQ(map.size(), 1u);
    EXPECT_EQ(map.count(L"QZ Player"), 1u);
    EXPECT_EQ(log.Messages(L"CKxUninstMgr::CreateUnItemInside").size(), 6u);
    EXPECT_TRUE(kxtest::DumpFiles(L"D_Inside_").empty()) << "no dump unless switched on";
}

#ifdef _WIN64
// Outside a redirected root: an entry written through the 32-bit view lands below Wow6432Node and is found.
TEST(DriverRealRegistry, FindsAnEntryWrittenThroughThe32BitView) {
    const std::wstring name = L"KxTestWow32-" + std::to_wstring(GetCurrentProcessId());
    kxtest::SetString(HKEY_LOCAL_MACHINE, kUninstall + name, L"DisplayName", name, REG_SZ, KEY_WOW64_32KEY);
    ASSERT_TRUE(kxtest::KeyExists(HKEY_LOCAL_MACHINE, kWowUninstall + name));
    InsideMap map;
    CreateUnItemInside(map, nullptr);
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, (kUninstall + name).c_str(), KEY_WOW64_32KEY, 0);
    ASSERT_EQ(map.count(name), 1u);
    EXPECT_EQ(map.at(name)->KeyPath, L"HKEY_LOCAL_MACHINE\\" + kWowUninstall + name);
    EXPECT_TRUE(UNINST_API::IsSoftwareGone(name, L""));
}
#endif

}  // namespace
