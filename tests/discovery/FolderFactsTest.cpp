#include <windows.h>

#include <gtest/gtest.h>

#include <ctime>

#include "KxUninstAPI.h"
#include "kxtest/TempDir.h"

namespace {

std::wstring Today() {
    __time64_t now = _time64(nullptr);
    wchar_t sz[32] = {};
    wcsftime(sz, 32, L"%Y-%m-%d", _localtime64(&now));
    return sz;
}

void SetAccessDaysAgo(const std::wstring& path, int days) {
    HANDLE h = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << path.c_str();
    FILETIME ft;
    GetSystemTimeAsFileTime(&ft);
    ULARGE_INTEGER u{{ft.dwLowDateTime, ft.dwHighDateTime}};
    u.QuadPart -= static_cast<ULONGLONG>(days) * 86400ULL * 10000000ULL;
    ft.dwLowDateTime = u.LowPart;
    ft.dwHighDateTime = u.HighPart;
    EXPECT_TRUE(SetFileTime(h, nullptr, &ft, nullptr));
    CloseHandle(h);
}

class FolderFactsTest : public testing::Test {
protected:
    void SetUp() override {
        m_app = m_temp / L"App";
        kxtest::WriteFileBytes(m_app + L"\\uninst.exe", std::string(100, 'u'));
        kxtest::WriteFileBytes(m_app + L"\\app.exe", std::string(23, 'a'));
    }
    kxtest::TempDir m_temp;
    std::wstring m_app;
};

TEST_F(FolderFactsTest, DeriveInstallFolder) {
    UnItemInside item;
    item.UninstallString = m_app + L"\\uninst.exe /S";
    DeriveInstallFolder(item);
    EXPECT_EQ(item.InstallLocation, m_app + L"\\");

    item = UnItemInside();
    item.InstallLocation = L"\"" + m_app + L"\"";  // not a directory as written: replaced from the command
    item.UninstallString = L"\"" + m_app + L"\\uninst.exe\"";
    DeriveInstallFolder(item);
    EXPECT_EQ(item.InstallLocation, m_app + L"\\");

    item = UnItemInside();
    item.InstallLocation = m_app;
    item.UninstallString = L"C:\\windows\\uninst.exe";
    DeriveInstallFolder(item);
    EXPECT_EQ(item.InstallLocation, m_app + L"\\");

    item = UnItemInside();
    item.UninstallString = L"MsiExec.exe /X{12345678-90AB-CDEF-1234-567890ABCDEF}";
    item.DisplayIcon = m_app + L"\\app.exe,0";
    DeriveInstallFolder(item);
    EXPECT_EQ(item.InstallLocation, m_app + L"\\");

    item = UnItemInside();
    item.InstallLocation = L"Q:\\Gone";
    item.UninstallString = L"un.exe";
    DeriveInstallFolder(item);
    EXPECT_EQ(item.InstallLocation, L"Q:\\Gone\\");
}

TEST_F(FolderFactsTest, ResolveDisplayIcon) {
    UnItemInside item;
    item.DisplayIcon = m_app + L"\\app.exe,3";
    ResolveDisplayIcon(item);
    EXPECT_EQ(item.DisplayIcon, m_app + L"\\app.exe, 3");

    item.DisplayIcon = L"\"" + m_app + L"\\app.exe\",0";
    ResolveDisplayIcon(item);
    EXPECT_EQ(item.DisplayIcon, m_app + L"\\app.exe, 0");

    item.DisplayIcon = m_app + L"\\missing.exe,3";
    item.UninstallString = m_app + L"\\uninst.exe /S";
    ResolveDisplayIcon(item);
    EXPECT_EQ(item.DisplayIcon, L"");  // not resolved: cleared, no fallback

    ResolveDisplayIcon(item);  // empty: the uninstall command stands in
    EXPECT_EQ(item.DisplayIcon, m_app + L"\\uninst.exe, 0");

    wchar_t szSystem[MAX_PATH] = {};
    GetSystemDirectoryW(szSystem, MAX_PATH);
    item.DisplayIcon = L"shell32.dll,4";
    ResolveDisplayIcon(item);
    EXPECT_EQ(item.DisplayIcon, std::wstring(szSystem) + L"\\shell32.dll, 4");

    item = UnItemInside();
    ResolveDisplayIcon(item);
    EXPECT_EQ(item.DisplayIcon, L"");
}

TEST_F(FolderFactsTest, ScanSumsSizesAndSkipsDotNames) {
    kxtest::WriteFileBytes(m_app + L"\\sub\\deeper\\data.bin", std::string(1000, 'd'));
    kxtest::WriteFileBytes(m_app + L"\\.hidden", std::string(5000, 'h'));
    kxtest::WriteFileBytes(m_app + L"\\.git\\objects\\pack", std::string(7000, 'g'));
    FolderFacts facts = ScanInstallFolder(m_app + L"\\\\");
    EXPECT_EQ(facts.Size, 1123u);
    EXPECT_EQ(facts.Date, Today());
    EXPECT_EQ(facts.Use, 3);
}

TEST_F(FolderFactsTest, ScanOfADeepFolder) {
    std::wstring deep = m_app;
    for (int i = 0; i < 40; ++i) deep += L"\\d";
    kxtest::WriteFileBytes(deep + L"\\leaf.bin", std::string(7, 'l'));
    EXPECT_EQ(ScanInstallFolder(m_app).Size, 130u);
}

TEST_F(FolderFactsTest, ScanOfAMissingFolder) {
    FolderFacts facts = ScanInstallFolder(m_temp / L"Missing");
    EXPECT_EQ(facts.Size, 0u);
    EXPECT_EQ(facts.Date, L"");
    EXPECT_EQ(facts.Use, 0);
    facts = ScanInstallFolder(m_app + L"\\app.exe");
    EXPECT_EQ(facts.Use, 0);
    EXPECT_EQ(ScanInstallFolder(L"").Use, 0);
}

TEST_F(FolderFactsTest, UseClassesFromTheNewestAccess) {
    struct Case {
        int days;
        int use;
    } cases[] = {{3, 3}, {10, 2}, {40, 1}, {-2, 0}};
    for (const Case& c : cases) {
        SetAccessDaysAgo(m_app + L"\\uninst.exe", c.days);
        SetAccessDaysAgo(m_app + L"\\app.exe", c.days + 1);
        EXPECT_EQ(ScanInstallFolder(m_app).Use, c.use) << c.days << " days";
    }
    // Files only: the date is the walk's own.
    EXPECT_EQ(ScanInstallFolder(m_app).Date, Today());
    kxtest::TempDir empty;
    EXPECT_EQ(ScanInstallFolder(empty.Path()).Use, 1);  // nothing found counts as old
}

TEST_F(FolderFactsTest, FillKeepsRegistryFactsAndNormalisesTheDate) {
    UnItemInside item;
    item.InstallLocation = m_app + L"\\";
    item.Size = 4096;
    item.InstallDate = L"20100315";
    FillFromInstallFolder(item);
    EXPECT_EQ(item.Size, 4096u);
    EXPECT_EQ(item.InstallDate, L"2010-03-15");
    EXPECT_EQ(item.Use, 3u);

    item.Size = 0;
    item.InstallDate.clear();
    item.Use = 7;
    FillFromInstallFolder(item);
    EXPECT_EQ(item.Size, 123u);
    EXPECT_EQ(item.InstallDate, Today());
    EXPECT_EQ(item.Use, 3u);
}

TEST(InstallDate, LocaleParseThenDigitRule) {
    struct Case {
        const wchar_t* in;
        const wchar_t* out;
    } cases[] = {{L"20100315", L"2010-03-15"}, {L"2010/03/15", L"2010-03-15"}, {L"2010-3-5", L"2010-03-05"},
                 {L"N/A", L"NA"}, {L"ABCDEFGH", L"ABCD-EF-GH"}, {L"", L""}, {L"A\\B/C-D", L"ABCD"}};
    for (const Case& c : cases) {
        std::wstring s = c.in;
        NormalizeInstallDate(s);
        EXPECT_EQ(s, c.out) << c.in;
    }
}

}  // namespace
