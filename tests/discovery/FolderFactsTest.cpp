#include <windows.h>

#include <gtest/gtest.h>

#include <ctime>

#include "KxUninstAPI.h"
#include "ScopedHandle.h"
#include "kxtest/RegistryOverride.h"
#include "kxtest/TempDir.h"

namespace {

std::wstring Today() {
    __time64_t now = _time64(nullptr);
    wchar_t sz[32] = {};
    wcsftime(sz, 32, L"%Y-%m-%d", _localtime64(&now));
    return sz;
}

void SetAccessDaysAgo(const std::wstring& path, int days) {
    kx::unique_hfile h(CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    FILETIME ft;
    GetSystemTimeAsFileTime(&ft);
    ULARGE_INTEGER u{{ft.dwLowDateTime, ft.dwHighDateTime}};
    u.QuadPart -= static_cast<ULONGLONG>(days) * 86400ULL * 10000000ULL;
    ft = {u.LowPart, u.HighPart};
    EXPECT_TRUE(SetFileTime(h.get(), nullptr, &ft, nullptr)) << path.c_str();
}

class FolderFactsTest : public testing::Test {
protected:
    void SetUp() override {
        kxtest::WriteFileBytes(m_app + L"\\uninst.exe", std::string(100, 'u'));
        kxtest::WriteFileBytes(m_app + L"\\app.exe", std::string(23, 'a'));
    }
    kxtest::TempDir m_temp;
    const std::wstring m_app = m_temp / L"App";
};

// The registry's folder when it is one, else the uninstall command's, else the icon's; always normalised.
TEST_F(FolderFactsTest, DeriveInstallFolder) {
    const struct {
        std::wstring location, command, icon, derived;
    } cases[] = {
        {L"", m_app + L"\\uninst.exe /S", L"", m_app + L"\\"},
        {L"\"" + m_app + L"\"", L"\"" + m_app + L"\\uninst.exe\"", L"", m_app + L"\\"},  // not a folder as written
        {m_app, L"C:\\windows\\uninst.exe", L"", m_app + L"\\"},
        {L"", L"MsiExec.exe /X{12345678-90AB-CDEF-1234-567890ABCDEF}", m_app + L"\\app.exe,0", m_app + L"\\"},
        {L"Q:\\Gone", L"un.exe", L"", L"Q:\\Gone\\"},  // no replacement: kept, normalised
        // A gone command on an existing drive: the nearest existing parent.
        {L"", m_app + L"\\Gone\\Deeper\\uninst.exe /S", L"", m_app + L"\\"},
    };
    for (const auto& c : cases) {
        UnItemInside item;
        item.InstallLocation = c.location, item.UninstallString = c.command, item.DisplayIcon = c.icon;
        DeriveInstallFolder(item);
        EXPECT_EQ(item.InstallLocation, c.derived) << c.command;
    }
}

// The same through discovery: an Uninstall entry whose uninstaller and folder are gone, its folder's parent left.
TEST_F(FolderFactsTest, DiscoveryDerivesTheFolderOfAGoneCommandFromItsNearestExistingParent) {
    kxtest::RegistryOverride registry;
    const std::wstring key = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Gone";
    kxtest::SetString(HKEY_LOCAL_MACHINE, key, L"DisplayName", L"Gone App");
    kxtest::SetString(HKEY_LOCAL_MACHINE, key, L"UninstallString", L"\"" + m_app + L"\\Gone\\uninst.exe\" /S");
    InsideMap map;
    UNINST_API::EnumRegUnInstallKey(HKEY_LOCAL_MACHINE, map, nullptr);
    ASSERT_EQ(map.count(L"Gone App"), 1u);
    const UnItemInside& r = *map.at(L"Gone App");
    EXPECT_EQ(r.InstallLocation, m_app + L"\\");
    EXPECT_EQ(r.Size, 123u) << "the parent is the folder walked";
    EXPECT_TRUE(UNINST_API::IsSoftwareGone(L"Other", r.UninstallString));
}

TEST_F(FolderFactsTest, ResolveDisplayIcon) {
    wchar_t szSystem[MAX_PATH] = {};
    GetSystemDirectoryW(szSystem, MAX_PATH);
    const struct {
        std::wstring icon, command, resolved;
    } cases[] = {
        {m_app + L"\\app.exe,3", L"", m_app + L"\\app.exe, 3"},
        {L"\"" + m_app + L"\\app.exe\",0", L"", m_app + L"\\app.exe, 0"},
        {m_app + L"\\missing.exe,3", m_app + L"\\uninst.exe /S", L""},  // not resolved: cleared, no fallback
        {L"", m_app + L"\\uninst.exe /S", m_app + L"\\uninst.exe, 0"},  // empty: the command stands in
        {L"shell32.dll,4", L"", std::wstring(szSystem) + L"\\shell32.dll, 4"},
        {L"", L"", L""},
    };
    for (const auto& c : cases) {
        UnItemInside item;
        item.DisplayIcon = c.icon, item.UninstallString = c.command;
        ResolveDisplayIcon(item);
        EXPECT_EQ(item.DisplayIcon, c.resolved) << c.icon;
    }
}

// Sizes of all files below, dot-named entries skipped with all below them, at any depth; nothing for what is
// not a folder; once per folder (however spelled) within a pass.
TEST_F(FolderFactsTest, ScanSizes) {
    kxtest::WriteFileBytes(m_app + L"\\sub\\deeper\\data.bin", std::string(1000, 'd'));
    kxtest::WriteFileBytes(m_app + L"\\.hidden", std::string(5000, 'h'));
    kxtest::WriteFileBytes(m_app + L"\\.git\\objects\\pack", std::string(7000, 'g'));
    std::wstring deep = m_app;
    for (int i = 0; i < 40; ++i) deep += L"\\d";
    kxtest::WriteFileBytes(deep + L"\\leaf.bin", std::string(7, 'l'));
    FolderFacts facts = ScanInstallFolder(m_app + L"\\\\");
    EXPECT_EQ(std::make_tuple(facts.Size, facts.Date, facts.Use), std::make_tuple(1130ull, Today(), 3));
    // A drive's root is no program's folder: it is not walked.
    for (const std::wstring& none : {m_temp / L"Missing", m_app + L"\\app.exe", std::wstring(), std::wstring(L"C:\\"),
                                     std::wstring(L"\\"), std::wstring(L"\\\\?\\C:\\")}) {
        facts = ScanInstallFolder(none);
        EXPECT_EQ(std::make_tuple(facts.Size, facts.Date, facts.Use), std::make_tuple(0ull, std::wstring(), 0)) << none;
    }
    {
        CFolderFactsMemo memo;
        EXPECT_EQ(ScanInstallFolder(m_app).Size, 1130u);
        kxtest::WriteFileBytes(m_app + L"\\later.bin", std::string(77, 'x'));
        std::wstring upper = m_app;
        CharUpperBuffW(&upper[0], static_cast<DWORD>(upper.size()));
        EXPECT_EQ(ScanInstallFolder(upper + L"\\").Size, 1130u);
    }
    EXPECT_EQ(ScanInstallFolder(m_app).Size, 1207u) << "outside a pass every call walks";
}

TEST_F(FolderFactsTest, UseClassesFromTheNewestAccess) {
    for (auto [days, use] : {std::make_pair(3, 3), std::make_pair(10, 2), std::make_pair(40, 1), std::make_pair(-2, 0)}) {
        SetAccessDaysAgo(m_app + L"\\uninst.exe", days);
        SetAccessDaysAgo(m_app + L"\\app.exe", days + 1);
        EXPECT_EQ(ScanInstallFolder(m_app).Use, use) << days << " days";
    }
    EXPECT_EQ(ScanInstallFolder(m_app).Date, Today()) << "files only: the date is the walk's own";
    kxtest::TempDir empty;
    EXPECT_EQ(ScanInstallFolder(empty.Path()).Use, 1) << "nothing found counts as old";
}

TEST_F(FolderFactsTest, FillKeepsRegistryFactsAndNormalisesTheDate) {
    UnItemInside item;
    item.InstallLocation = m_app + L"\\", item.Size = 4096, item.InstallDate = L"20100315";
    FillFromInstallFolder(item);
    EXPECT_EQ(std::make_tuple(item.Size, item.InstallDate, item.Use), std::make_tuple(4096ull, std::wstring(L"2010-03-15"), 3u));
    item.Size = 0, item.InstallDate.clear(), item.Use = 7;
    FillFromInstallFolder(item);
    EXPECT_EQ(std::make_tuple(item.Size, item.InstallDate, item.Use), std::make_tuple(123ull, Today(), 3u));
    for (auto [in, out] : std::initializer_list<std::pair<std::wstring, std::wstring>>{
             {L"20100315", L"2010-03-15"}, {L"2010/03/15", L"2010-03-15"}, {L"2010-3-5", L"2010-03-05"}, {L"N/A", L"NA"},
             {L"ABCDEFGH", L"ABCD-EF-GH"}, {L"", L""}, {L"A\\B/C-D", L"ABCD"}}) {
        NormalizeInstallDate(in);
        EXPECT_EQ(in, out);
    }
}

}  // namespace
