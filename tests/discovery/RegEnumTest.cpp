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
    EXPECT_EQ(std::make_tuple(r.Virtual, r.KeyPath, r.UninstallKey, r.UninstallString, r.InstallLocation, r.DisplayIcon),
              std::make_tuple(0, L"HKEY_LOCAL_MACHINE\\" + key, std::wstring(L"MyApp"), L"\"" + app + L"\\uninst.exe\" /S",
                              app + L"\\", app + L"\\app.exe, 2"));
    EXPECT_EQ(std::make_tuple(r.Size, r.InstallDate, r.Use, r.GUID),
              std::make_tuple(5120000000ull, std::wstring(L"2025-01-15"), 3u, std::wstring(L"12345678-90AB-CDEF-1234-567890ABCDEF")));
}

TEST_F(RegEnumTest, SkipRules) {
    const wchar_t* const kNone = nullptr;
    // (subkey, display name, value name, text or number): system components, child entries, nameless keys and
    // hotfixes (by name, by folder, by spuninst) are left out; the number is read as 4 raw bytes whatever its type.
    const std::tuple<const wchar_t*, const wchar_t*, const wchar_t*, const wchar_t*, DWORD> entries[] = {
        {L"System", L"System", L"SystemComponent", kNone, 1}, {L"Child", L"Child", L"ParentKeyName", L"Parent", 0},
        {L"Nameless", kNone, L"UninstallString", L"x.exe", 0}, {L"KB958488", L"Hotfix", kNone, kNone, 0},
        {L"{AB}.KB2468871", L"Hotfix 2", kNone, kNone, 0}, {L"KB958488-b", L"Not a hotfix", kNone, kNone, 0},
        {L"KB958488-c", L"Hotfix by folder", L"InstallLocation", L"C:\\Windows\\$NtUninstallKB$", 0},
        {L"kb1-d", L"Hotfix by spuninst", L"InstallLocation", L"C:\\X\\SPUNINST.EXE", 0},
        {L"Plain", L"Plain", L"InstallLocation", L"C:\\X\\spuninst.exe", 0},
        {L"TextFlag", L"Text flag", L"SystemComponent", L"1", 0}, {L"EndsInKB", L"Ends in KB", kNone, kNone, 0},
        {L"App", L"App", kNone, kNone, 0}, {L"app2", L"app", kNone, kNone, 0},
    };
    for (const auto& [subkey, name, value, text, number] : entries) {
        kxtest::CreateKey(HKEY_LOCAL_MACHINE, kUninstall + subkey);
        if (name) Entry(HKEY_LOCAL_MACHINE, subkey, name);
        if (value && text) kxtest::SetString(HKEY_LOCAL_MACHINE, kUninstall + subkey, value, text);
        if (value && !text) kxtest::SetDword(HKEY_LOCAL_MACHINE, kUninstall + subkey, value, number);
    }
    std::vector<std::wstring> names;
    for (auto& e : Enum(HKEY_LOCAL_MACHINE)) names.push_back(e.first);
    EXPECT_EQ(names, (std::vector<std::wstring>{L"App", L"Ends in KB", L"Not a hotfix", L"Plain", L"Text flag", L"app"}));
}

TEST_F(RegEnumTest, StringValuesAreBoundedWhateverTheirType) {
    const std::wstring key = kUninstall + L"Odd";
    const std::wstring full(260, L'x'), fits(259, L'f'), over(261, L'y');
    kxtest::SetBinary(HKEY_LOCAL_MACHINE, key, L"Full", full.data(), 520, REG_BINARY);  // no terminator
    kxtest::SetString(HKEY_LOCAL_MACHINE, key, L"Fits", fits);
    kxtest::SetString(HKEY_LOCAL_MACHINE, key, L"Over", over);                          // too long
    kxtest::SetBinary(HKEY_LOCAL_MACHINE, key, L"Bin", L"ab\0cd", 10, REG_BINARY);      // any type
    kxtest::SetBinary(HKEY_LOCAL_MACHINE, key, L"OddLen", "a\0b\0c", 5, REG_SZ);        // odd length
    kxtest::SetString(HKEY_LOCAL_MACHINE, key, L"Expand", L"%SystemRoot%\\x.exe", REG_EXPAND_SZ);
    kxtest::SetDword(HKEY_LOCAL_MACHINE, key, L"Number", 0x00410042);
    kx::unique_hkey h;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, h.put()), ERROR_SUCCESS);
    for (auto [name, text] : std::initializer_list<std::pair<const wchar_t*, std::wstring>>{
             {L"Full", full}, {L"Fits", fits}, {L"Over", L""}, {L"Bin", L"ab"}, {L"OddLen", L"ab"},
             {L"Expand", L"%SystemRoot%\\x.exe"}, {L"Number", L"BA"}, {L"Missing", L""}})
        EXPECT_EQ(UNINST_API::RegQueryStringValue(h.get(), name), text) << name;
    EXPECT_EQ(UNINST_API::RegEnumSubKeyName(h.get(), 0), L"");
}

// Read only when it fits in 16 bytes; a shorter value leaves the rest of the GUID zero; none gives none.
TEST_F(RegEnumTest, QzAppIdOfAnySize) {
    const BYTE bytes[20] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20};
    for (auto [size, guid] : std::initializer_list<std::pair<int, const wchar_t*>>{
             {0, L"00000000-0000-0000-0000-000000000000"}, {4, L"04030201-0000-0000-0000-000000000000"},
             {16, L"04030201-0605-0807-090A-0B0C0D0E0F10"}, {20, L""}, {-1, L""}}) {
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software");
        Entry(HKEY_LOCAL_MACHINE, L"Q", L"Q");
        if (size >= 0) kxtest::SetBinary(HKEY_LOCAL_MACHINE, kUninstall + L"Q", L"QZAppID", bytes, size);
        EXPECT_EQ(Enum(HKEY_LOCAL_MACHINE).at(L"Q")->GUID, guid) << size;
    }
}

TEST_F(RegEnumTest, FirstNameWinsAcrossRootsAndInstallerProductsUseThePackedCode) {
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

    const std::wstring products = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\S-1-5-18\\Products\\";
    const std::wstring packed = L"87654321BA09FEDC2143658709BADCFE";
    kxtest::SetString(HKEY_LOCAL_MACHINE, products + packed + L"\\InstallProperties", L"DisplayName", L"Product");
    kxtest::CreateKey(HKEY_LOCAL_MACHINE, products + L"NOPROPERTIES00000000000000000000\\Features");
    InsideMap installer;
    UNINST_API::EnumRegInside(HKEY_LOCAL_MACHINE, products, installer, nullptr);
    ASSERT_EQ(installer.size(), 1u);
    EXPECT_EQ(installer.at(L"Product")->UninstallKey, packed);
    EXPECT_EQ(installer.at(L"Product")->KeyPath, L"HKEY_LOCAL_MACHINE\\" + products + packed + L"\\InstallProperties");
}

// A set stop event ends the walk; progress every second key from ten keys on.
TEST_F(RegEnumTest, StopEventAndProgressLines) {
    kx::unique_handle stop(CreateEventW(nullptr, TRUE, TRUE, nullptr));
    for (int i = 0; i < 12; ++i) Entry(HKEY_CURRENT_USER, L"E" + std::to_wstring(100 + i), L"E" + std::to_wstring(i));
    EXPECT_TRUE(Enum(HKEY_CURRENT_USER, stop.get()).empty());
    ResetEvent(stop.get());
    for (int count : {12, 5}) {
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software");
        for (int i = 0; i < count; ++i) Entry(HKEY_CURRENT_USER, L"E" + std::to_wstring(100 + i), L"E" + std::to_wstring(i));
        kxtest::LogMark log;
        EXPECT_EQ(Enum(HKEY_CURRENT_USER, stop.get()).size(), static_cast<size_t>(count));
        std::vector<std::wstring> progress, expected;
        for (const auto& m : log.Messages(L"UNINST_API::EnumRegUnInstallKey"))
            if (m.rfind(L"progress:[", 0) == 0) progress.push_back(m);
        for (int n = 2; count >= 10 && n <= count; n += 2) expected.push_back(L"progress:[" + std::to_wstring(n) + L"/" + std::to_wstring(count) + L"]");
        EXPECT_EQ(progress, expected) << count;
    }
}

TEST_F(RegEnumTest, RootNamesCommandsDisplayNamesAndGoneSoftware) {
    EXPECT_EQ(UNINST_API::RootKeyName(HKEY_USERS), L"HKEY_USERS");
    EXPECT_EQ(UNINST_API::RootKeyName(HKEY_CLASSES_ROOT), L"HKEY_CLASSES_ROOT");
    EXPECT_EQ(UNINST_API::RootKeyName(HKEY_CURRENT_CONFIG), L"");
    EXPECT_EQ(UNINST_API::RootKeyFromName(L"HKEY_CURRENT_USER"), HKEY_CURRENT_USER);
    EXPECT_EQ(UNINST_API::RootKeyFromName(L"hkey_current_user"), nullptr);
    EXPECT_EQ(UNINST_API::RootKeyFromName(L"HKLM"), nullptr);

    const std::wstring guidKey = L"{12345678-90AB-CDEF-1234-567890ABCDEF}", lm = L"HKEY_LOCAL_MACHINE\\" + kUninstall;
    kxtest::SetString(HKEY_LOCAL_MACHINE, kUninstall + L"Cmd", L"UninstallString", L"C:\\x\\un.exe /S");
    kxtest::SetDword(HKEY_LOCAL_MACHINE, kUninstall + guidKey, L"WindowsInstaller", 1);
    kxtest::SetDword(HKEY_CURRENT_USER, kUninstall + guidKey, L"WindowsInstaller", 0);
    kxtest::SetDword(HKEY_LOCAL_MACHINE, kUninstall + L"NotAGuid", L"WindowsInstaller", 1);
    for (auto [key, command] : std::initializer_list<std::pair<std::wstring, std::wstring>>{
             {lm + L"Cmd", L"C:\\x\\un.exe /S"}, {lm + guidKey, L"MsiExec.exe /x" + guidKey},
             {L"HKEY_CURRENT_USER\\" + kUninstall + guidKey, L""}, {lm + L"NotAGuid", L""},
             {L"HKLM\\" + kUninstall + L"Cmd", L""}, {L"HKEY_LOCAL_MACHINE", L""}})
        EXPECT_EQ(UNINST_API::GetUninstallCommand(key.c_str()), command) << key;
    EXPECT_EQ(UNINST_API::GetUninstallCommand(nullptr), L"");

    Entry(HKEY_CURRENT_USER, L"Named", L"Named");
    EXPECT_TRUE(UNINST_API::KeyHasDisplayName((L"HKEY_CURRENT_USER\\" + kUninstall + L"Named").c_str()));
    EXPECT_FALSE(UNINST_API::KeyHasDisplayName((lm + L"Cmd").c_str()));
    EXPECT_FALSE(UNINST_API::KeyHasDisplayName((L"HKCU\\" + kUninstall + L"Named").c_str()));
    EXPECT_FALSE(UNINST_API::KeyHasDisplayName(nullptr));

    // Gone: no key of the name with a display name, and a GUID-shaped name or a command that does not exist.
    const std::wstring command = L"\"" + m_temp / L"App\\uninst.exe" + L"\" /S";
    kxtest::WriteFileBytes(m_temp / L"App\\uninst.exe", "MZ");
    Entry(HKEY_LOCAL_MACHINE, L"InLM", L"x");
    Entry(HKEY_CURRENT_USER, L"InCU", L"x");
    for (auto [name, cmd, gone] : std::initializer_list<std::tuple<const wchar_t*, std::wstring, bool>>{
             {L"InLM", L"Q:\\gone.exe", false}, {L"InCU", L"Q:\\gone.exe", false}, {guidKey.c_str(), command, true},
             {L"Other", command, false}, {L"Other", L"\"" + m_temp / L"App\\missing.exe" + L"\" /S", true}, {L"Other", L"", true}})
        EXPECT_EQ(UNINST_API::IsSoftwareGone(name, cmd), gone) << name << " " << cmd;
#ifdef _WIN64
    kxtest::SetString(HKEY_LOCAL_MACHINE, L"Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\W32",
                      L"DisplayName", L"x");
    EXPECT_FALSE(UNINST_API::IsSoftwareGone(L"W32", L""));
#endif
}

}  // namespace
