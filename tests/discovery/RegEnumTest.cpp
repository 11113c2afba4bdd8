#include <windows.h>

#include <gtest/gtest.h>

#include "KxUninstAPI.h"
#include "kxtest/HostLayout.h"
#include "kxtest/RegistryOverride.h"
#include "kxtest/TempDir.h"

namespace {

const std::wstring kUninstall = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

class RegEnumTest : public testing::Test {
protected:
    void Entry(HKEY root, const std::wstring& name, const std::wstring& displayName) {
        kxtest::SetString(root, kUninstall + name, L"DisplayName", displayName);
    }
    InsideMap Enum(HKEY root, HANDLE hStop = nullptr) {
        InsideMap map;
        UNINST_API::EnumRegUnInstallKey(root, map, hStop);
        return map;
    }
    kxtest::RegistryOverride m_reg;
    kxtest::TempDir m_temp;
};

TEST_F(RegEnumTest, ReadsAnEntryIntoACompletedRecord) {
    std::wstring app = m_temp / L"App";
    kxtest::WriteFileBytes(app + L"\\uninst.exe", "MZ");
    kxtest::WriteFileBytes(app + L"\\app.exe", "MZ");
    const std::wstring key = kUninstall + L"MyApp";
    kxtest::SetString(HKEY_LOCAL_MACHINE, key, L"DisplayName", L"My App");
    // Windows Installer writes the command as REG_EXPAND_SZ; it is read as stored.
    kxtest::SetString(HKEY_LOCAL_MACHINE, key, L"UninstallString", L"\"" + app + L"\\uninst.exe\" /S", REG_EXPAND_SZ);
    kxtest::SetString(HKEY_LOCAL_MACHINE, key, L"DisplayIcon", app + L"\\app.exe,2");
    kxtest::SetDword(HKEY_LOCAL_MACHINE, key, L"EstimatedSize", 5000000);
    kxtest::SetString(HKEY_LOCAL_MACHINE, key, L"InstallDate", L"20250115");
    const GUID guid = {0x12345678, 0x90AB, 0xCDEF, {0x12, 0x34, 0x56, 0x78, 0x90, 0xAB, 0xCD, 0xEF}};
    kxtest::SetBinary(HKEY_LOCAL_MACHINE, key, L"QZAppID", &guid, sizeof(guid));

    InsideMap map = Enum(HKEY_LOCAL_MACHINE);
    ASSERT_EQ(map.size(), 1u);
    const UnItemInside& r = *map.at(L"My App");
    EXPECT_EQ(r.Virtual, 0);
    EXPECT_EQ(r.KeyPath, L"HKEY_LOCAL_MACHINE\\" + key);
    EXPECT_EQ(r.UninstallKey, L"MyApp");
    EXPECT_EQ(r.UninstallString, L"\"" + app + L"\\uninst.exe\" /S");
    EXPECT_EQ(r.InstallLocation, app + L"\\");
    EXPECT_EQ(r.DisplayIcon, app + L"\\app.exe, 2");
    EXPECT_EQ(r.Size, 5120000000ULL);
    EXPECT_EQ(r.InstallDate, L"2025-01-15");
    EXPECT_EQ(r.Use, 3u);
    EXPECT_EQ(r.GUID, L"12345678-90AB-CDEF-1234-567890ABCDEF");
}

TEST_F(RegEnumTest, SkipRules) {
    Entry(HKEY_LOCAL_MACHINE, L"System", L"System");
    kxtest::SetDword(HKEY_LOCAL_MACHINE, kUninstall + L"System", L"SystemComponent", 1);
    Entry(HKEY_LOCAL_MACHINE, L"Child", L"Child");
    kxtest::SetString(HKEY_LOCAL_MACHINE, kUninstall + L"Child", L"ParentKeyName", L"Parent");
    kxtest::CreateKey(HKEY_LOCAL_MACHINE, kUninstall + L"Nameless");
    kxtest::SetString(HKEY_LOCAL_MACHINE, kUninstall + L"Nameless", L"UninstallString", L"x.exe");
    Entry(HKEY_LOCAL_MACHINE, L"KB958488", L"Hotfix");
    Entry(HKEY_LOCAL_MACHINE, L"{AB}.KB2468871", L"Hotfix 2");
    Entry(HKEY_LOCAL_MACHINE, L"KB958488-b", L"Not a hotfix");
    Entry(HKEY_LOCAL_MACHINE, L"KB958488-c", L"Hotfix by folder");
    kxtest::SetString(HKEY_LOCAL_MACHINE, kUninstall + L"KB958488-c", L"InstallLocation", L"C:\\Windows\\$NtUninstallKB$");
    Entry(HKEY_LOCAL_MACHINE, L"kb1-d", L"Hotfix by spuninst");
    kxtest::SetString(HKEY_LOCAL_MACHINE, kUninstall + L"kb1-d", L"InstallLocation", L"C:\\X\\SPUNINST.EXE");
    Entry(HKEY_LOCAL_MACHINE, L"Plain", L"Plain");
    kxtest::SetString(HKEY_LOCAL_MACHINE, kUninstall + L"Plain", L"InstallLocation", L"C:\\X\\spuninst.exe");
    // The integer is read as 4 raw bytes whatever its type: the text "1" is not 1.
    Entry(HKEY_LOCAL_MACHINE, L"TextFlag", L"Text flag");
    kxtest::SetString(HKEY_LOCAL_MACHINE, kUninstall + L"TextFlag", L"SystemComponent", L"1");
    Entry(HKEY_LOCAL_MACHINE, L"EndsInKB", L"Ends in KB");
    Entry(HKEY_LOCAL_MACHINE, L"App", L"App");
    Entry(HKEY_LOCAL_MACHINE, L"app2", L"app");

    InsideMap map = Enum(HKEY_LOCAL_MACHINE);
    std::vector<std::wstring> names;
    for (auto& e : map) names.push_back(e.first);
    EXPECT_EQ(names, (std::vector<std::wstring>{L"App", L"Ends in KB", L"Not a hotfix", L"Plain", L"Text flag", L"app"}));
}

TEST_F(RegEnumTest, StringValuesAreBoundedWhateverTheirType) {
    const std::wstring key = kUninstall + L"Odd";
    kxtest::CreateKey(HKEY_LOCAL_MACHINE, key);
    HKEY h = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_ALL_ACCESS, &h), ERROR_SUCCESS);
    auto read = [&](const wchar_t* name) { return UNINST_API::RegQueryStringValue(h, name); };
    std::wstring full(260, L'x'), fits(259, L'f'), over(261, L'y');
    kxtest::SetBinary(HKEY_LOCAL_MACHINE, key, L"Full", full.data(), 520, REG_BINARY);      // no terminator
    kxtest::SetString(HKEY_LOCAL_MACHINE, key, L"Fits", fits);
    kxtest::SetString(HKEY_LOCAL_MACHINE, key, L"Over", over);                              // too long
    kxtest::SetBinary(HKEY_LOCAL_MACHINE, key, L"Bin", L"ab\0cd", 10, REG_BINARY);          // any type
    kxtest::SetBinary(HKEY_LOCAL_MACHINE, key, L"OddLen", "a\0b\0c", 5, REG_SZ);          // odd length
    kxtest::SetString(HKEY_LOCAL_MACHINE, key, L"Expand", L"%SystemRoot%\\x.exe", REG_EXPAND_SZ);
    kxtest::SetDword(HKEY_LOCAL_MACHINE, key, L"Number", 0x00410042);
    EXPECT_EQ(read(L"Full"), full);
    EXPECT_EQ(read(L"Fits"), fits);
    EXPECT_EQ(read(L"Over"), L"");
    EXPECT_EQ(read(L"Bin"), L"ab");
    EXPECT_EQ(read(L"OddLen"), L"ab");
    EXPECT_EQ(read(L"Expand"), L"%SystemRoot%\\x.exe");
    EXPECT_EQ(read(L"Number"), L"BA");
    EXPECT_EQ(read(L"Missing"), L"");
    EXPECT_EQ(UNINST_API::RegEnumSubKeyName(h, 0), L"");
    RegCloseKey(h);
}

TEST_F(RegEnumTest, QzAppIdOfAnySize) {
    const BYTE bytes[20] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20};
    // Read only when it fits in 16 bytes; a shorter value leaves the rest of the GUID zero.
    const struct {
        DWORD size;
        const wchar_t* guid;
    } cases[] = {{0, L"00000000-0000-0000-0000-000000000000"},
                 {4, L"04030201-0000-0000-0000-000000000000"},
                 {16, L"04030201-0605-0807-090A-0B0C0D0E0F10"},
                 {20, L""}};
    for (const auto& c : cases) {
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software");
        Entry(HKEY_LOCAL_MACHINE, L"Q", L"Q");
        kxtest::SetBinary(HKEY_LOCAL_MACHINE, kUninstall + L"Q", L"QZAppID", bytes, c.size);
        InsideMap map = Enum(HKEY_LOCAL_MACHINE);
        ASSERT_EQ(map.size(), 1u);
        EXPECT_EQ(map.begin()->second->GUID, c.guid) << c.size;
    }
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software");
    Entry(HKEY_LOCAL_MACHINE, L"Q", L"Q");
    EXPECT_EQ(Enum(HKEY_LOCAL_MACHINE).begin()->second->GUID, L"");
}

TEST_F(RegEnumTest, FirstNameWinsAcrossRoots) {
    Entry(HKEY_LOCAL_MACHINE, L"A", L"Same");
    Entry(HKEY_CURRENT_USER, L"B", L"Same");
    InsideMap map;
    UNINST_API::EnumRegUnInstallKey(HKEY_LOCAL_MACHINE, map, nullptr);
    UNINST_API::EnumRegUnInstallKey(HKEY_CURRENT_USER, map, nullptr);
    ASSERT_EQ(map.size(), 1u);
    EXPECT_EQ(map.at(L"Same")->KeyPath, L"HKEY_LOCAL_MACHINE\\" + kUninstall + L"A");

    auto record = std::make_unique<UnItemInside>();
    record->DisplayName = L"Same";
    EXPECT_FALSE(UNINST_API::AddInsideItem(record, map));
    EXPECT_TRUE(record);
    record->DisplayName = L"same";
    EXPECT_TRUE(UNINST_API::AddInsideItem(record, map));
    EXPECT_EQ(map.size(), 2u);
}

TEST_F(RegEnumTest, InstallerProductsUseThePackedCode) {
    const std::wstring products =
        L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\S-1-5-18\\Products\\";
    const std::wstring packed = L"87654321BA09FEDC2143658709BADCFE";
    kxtest::SetString(HKEY_LOCAL_MACHINE, products + packed + L"\\InstallProperties", L"DisplayName", L"Product");
    kxtest::CreateKey(HKEY_LOCAL_MACHINE, products + L"NOPROPERTIES00000000000000000000\\Features");
    InsideMap map;
    UNINST_API::EnumRegInside(HKEY_LOCAL_MACHINE, products, map, nullptr);
    ASSERT_EQ(map.size(), 1u);
    EXPECT_EQ(map.at(L"Product")->UninstallKey, packed);
    EXPECT_EQ(map.at(L"Product")->KeyPath, L"HKEY_LOCAL_MACHINE\\" + products + packed + L"\\InstallProperties");
}

TEST_F(RegEnumTest, StopEventAndProgressLines) {
    for (int i = 0; i < 12; ++i) Entry(HKEY_CURRENT_USER, L"E" + std::to_wstring(100 + i), L"E" + std::to_wstring(i));
    HANDLE hStop = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    EXPECT_TRUE(Enum(HKEY_CURRENT_USER, hStop).empty());
    ResetEvent(hStop);

    size_t before = kxtest::ComponentLogLineCount();
    EXPECT_EQ(Enum(HKEY_CURRENT_USER, hStop).size(), 12u);
    auto lines = kxtest::LogLinesContaining(L"progress:[", before);
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_NE(lines[0].find(L"UNINST_API::EnumRegUnInstallKey"), std::wstring::npos) << lines[0];
    EXPECT_NE(lines[0].find(L"progress:[2/12]"), std::wstring::npos) << lines[0];
    EXPECT_NE(lines[5].find(L"progress:[12/12]"), std::wstring::npos) << lines[5];

    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software");
    for (int i = 0; i < 5; ++i) Entry(HKEY_CURRENT_USER, L"F" + std::to_wstring(i), L"F" + std::to_wstring(i));
    before = kxtest::ComponentLogLineCount();
    EXPECT_EQ(Enum(HKEY_CURRENT_USER, hStop).size(), 5u);
    EXPECT_TRUE(kxtest::LogLinesContaining(L"progress:[", before).empty());
    CloseHandle(hStop);
}

TEST_F(RegEnumTest, RootNames) {
    EXPECT_EQ(UNINST_API::RootKeyName(HKEY_USERS), L"HKEY_USERS");
    EXPECT_EQ(UNINST_API::RootKeyName(HKEY_CLASSES_ROOT), L"HKEY_CLASSES_ROOT");
    EXPECT_EQ(UNINST_API::RootKeyName(HKEY_CURRENT_CONFIG), L"");
    EXPECT_EQ(UNINST_API::RootKeyFromName(L"HKEY_CURRENT_USER"), HKEY_CURRENT_USER);
    EXPECT_EQ(UNINST_API::RootKeyFromName(L"hkey_current_user"), nullptr);
    EXPECT_EQ(UNINST_API::RootKeyFromName(L"HKLM"), nullptr);
}

TEST_F(RegEnumTest, UninstallCommandAndDisplayNameChecks) {
    const std::wstring guidKey = L"{12345678-90AB-CDEF-1234-567890ABCDEF}";
    kxtest::SetString(HKEY_LOCAL_MACHINE, kUninstall + L"Cmd", L"UninstallString", L"C:\\x\\un.exe /S");
    kxtest::SetDword(HKEY_LOCAL_MACHINE, kUninstall + guidKey, L"WindowsInstaller", 1);
    kxtest::SetDword(HKEY_CURRENT_USER, kUninstall + guidKey, L"WindowsInstaller", 0);
    kxtest::SetDword(HKEY_LOCAL_MACHINE, kUninstall + L"NotAGuid", L"WindowsInstaller", 1);
    const std::wstring lm = L"HKEY_LOCAL_MACHINE\\" + kUninstall;
    EXPECT_EQ(UNINST_API::GetUninstallCommand((lm + L"Cmd").c_str()), L"C:\\x\\un.exe /S");
    EXPECT_EQ(UNINST_API::GetUninstallCommand((lm + guidKey).c_str()), L"MsiExec.exe /x" + guidKey);
    EXPECT_EQ(UNINST_API::GetUninstallCommand((L"HKEY_CURRENT_USER\\" + kUninstall + guidKey).c_str()), L"");
    EXPECT_EQ(UNINST_API::GetUninstallCommand((lm + L"NotAGuid").c_str()), L"");
    EXPECT_EQ(UNINST_API::GetUninstallCommand((L"HKLM\\" + kUninstall + L"Cmd").c_str()), L"");
    EXPECT_EQ(UNINST_API::GetUninstallCommand(L"HKEY_LOCAL_MACHINE"), L"");
    EXPECT_EQ(UNINST_API::GetUninstallCommand(nullptr), L"");

    Entry(HKEY_CURRENT_USER, L"Named", L"Named");
    EXPECT_TRUE(UNINST_API::KeyHasDisplayName((L"HKEY_CURRENT_USER\\" + kUninstall + L"Named").c_str()));
    EXPECT_FALSE(UNINST_API::KeyHasDisplayName((lm + L"Cmd").c_str()));
    EXPECT_FALSE(UNINST_API::KeyHasDisplayName((L"HKCU\\" + kUninstall + L"Named").c_str()));
    EXPECT_FALSE(UNINST_API::KeyHasDisplayName(nullptr));
}

TEST_F(RegEnumTest, IsSoftwareGone) {
    std::wstring app = m_temp / L"App";
    kxtest::WriteFileBytes(app + L"\\uninst.exe", "MZ");
    const std::wstring command = L"\"" + app + L"\\uninst.exe\" /S";
    Entry(HKEY_LOCAL_MACHINE, L"InLM", L"x");
    Entry(HKEY_CURRENT_USER, L"InCU", L"x");
    EXPECT_FALSE(UNINST_API::IsSoftwareGone(L"InLM", L"Q:\\gone.exe"));
    EXPECT_FALSE(UNINST_API::IsSoftwareGone(L"InCU", L"Q:\\gone.exe"));
    EXPECT_TRUE(UNINST_API::IsSoftwareGone(L"{12345678-90AB-CDEF-1234-567890ABCDEF}", command));
    EXPECT_FALSE(UNINST_API::IsSoftwareGone(L"Other", command));
    EXPECT_TRUE(UNINST_API::IsSoftwareGone(L"Other", L"\"" + app + L"\\missing.exe\" /S"));
    EXPECT_TRUE(UNINST_API::IsSoftwareGone(L"Other", L""));
#ifdef _WIN64
    kxtest::SetString(HKEY_LOCAL_MACHINE, L"Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\W32",
                      L"DisplayName", L"x");
    EXPECT_FALSE(UNINST_API::IsSoftwareGone(L"W32", L""));
#endif
}

}  // namespace
