#include <windows.h>

#include <gtest/gtest.h>

#include <stdlib.h>
#include <cwctype>

#include "KxUninstAPI.h"
#include "kxtest/HostLayout.h"
#include "kxtest/TempDir.h"

namespace {

struct Parsed {
    std::wstring folder, file, argument;
};

Parsed Parse(const std::wstring& text) {
    Parsed p{L"junk", L"junk", L"junk"};
    ParseCommandLine(text, p.folder, p.file, p.argument);
    return p;
}

class ParseCommandLineTest : public testing::Test {
protected:
    void SetUp() override {
        m_app = m_temp / L"Program Files\\App";
        kxtest::WriteFileBytes(m_app + L"\\uninst.exe", "MZ");
        kxtest::WriteFileBytes(m_app + L"\\app.exe", "MZ");
    }
    kxtest::TempDir m_temp;
    std::wstring m_app;
};

TEST_F(ParseCommandLineTest, SplitsTheExampleTable) {
    const std::wstring folder = m_app + L"\\";
    struct Case {
        std::wstring text, folder, file, argument;
    } cases[] = {
        {m_app + L"\\uninst.exe /S", folder, L"uninst.exe", L"/S"},
        {L"\"" + m_app + L"\\uninst.exe\" /S /x", folder, L"uninst.exe", L"/S"},
        {m_app + L"\\app.exe,1", folder, L"app.exe", L"1"},
        {L"\"" + m_app + L"\\app.exe\",0", folder, L"app.exe", L"0"},
        {L"uninst.exe /S", L"", L"uninst.exe", L"/S"},
        {L"  \t" + m_app + L"\\uninst.exe  \r\n", folder, L"uninst.exe", L""},
    };
    for (const Case& c : cases) {
        Parsed p = Parse(c.text);
        EXPECT_EQ(p.folder, c.folder) << c.text;
        EXPECT_EQ(p.file, c.file) << c.text;
        EXPECT_EQ(p.argument, c.argument) << c.text;
    }
}

TEST_F(ParseCommandLineTest, ClimbsToTheDeepestExistingDirectory) {
    Parsed p = Parse(m_temp / L"Missing\\app.exe /S");
    EXPECT_EQ(p.folder, m_temp.Path() + L"\\");
    EXPECT_EQ(p.file, L"Missing");
    p = Parse(L"Q:\\Missing\\app.exe");
    EXPECT_EQ(p.folder, L"");
    EXPECT_EQ(p.file, L"Q:");
}

TEST_F(ParseCommandLineTest, WithoutACandidateTakesTheFirstTokenAndTheNext) {
    Parsed p = Parse(m_app + L"\\nothere.exe one,two three");
    EXPECT_EQ(p.file, L"nothere.exe");
    EXPECT_EQ(p.argument, L"one");
}

TEST_F(ParseCommandLineTest, ExpandsTheFirstVariableBeforeAPathSeparator) {
    ASSERT_EQ(_wputenv_s(L"KXTEST_APPROOT", m_temp.Path().c_str()), 0);
    Parsed p = Parse(L"%KXTEST_APPROOT%\\Program Files\\App\\uninst.exe /S");
    EXPECT_EQ(p.folder, m_app + L"\\");
    EXPECT_EQ(p.file, L"uninst.exe");
    p = Parse(L"%KXTEST_UNSET%\\un.exe");
    EXPECT_EQ(p.folder, L"");
    EXPECT_EQ(p.file, L"%KXTEST_UNSET%");

    std::wstring s = L"%KXTEST_APPROOT%\\a;%KXTEST_APPROOT%\\b";
    ExpandFirstEnvVar(s);
    EXPECT_EQ(s, m_temp.Path() + L"\\a;" + m_temp.Path() + L"\\b");
    s = L"x%KXTEST_APPROOT%";  // no separator after it: left alone
    ExpandFirstEnvVar(s);
    EXPECT_EQ(s, L"x%KXTEST_APPROOT%");
    s = L"50% off";
    ExpandFirstEnvVar(s);
    EXPECT_EQ(s, L"50% off");
}

TEST_F(ParseCommandLineTest, LogsEachCompletedPath) {
    size_t before = kxtest::ComponentLogLineCount();
    Parse(m_app + L"\\uninst.exe /S");
    auto lines = kxtest::LogLinesContaining(L"UNINST_API::CompleteFilePath", before);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find(L"转换后路径[" + m_app + L"\\]"), std::wstring::npos) << lines[0];
    EXPECT_NE(lines[1].find(L"转换后路径[uninst.exe]"), std::wstring::npos) << lines[1];
}

TEST(PathHelpers, CompleteFilePathGivesTheLongForm) {
    kxtest::TempDir temp;
    std::wstring longName = temp / L"A Rather Long Folder Name";
    kxtest::MakeDirs(longName);
    wchar_t szShort[MAX_PATH] = {};
    ASSERT_GT(GetShortPathNameW(longName.c_str(), szShort, MAX_PATH), 0u);
    std::wstring path = szShort;
    UNINST_API::CompleteFilePath(path);
    wchar_t szLong[MAX_PATH] = {};
    GetLongPathNameW(longName.c_str(), szLong, MAX_PATH);
    EXPECT_EQ(path, szLong);
    path = L"relative-name.exe";
    UNINST_API::CompleteFilePath(path);
    EXPECT_EQ(path, L"relative-name.exe");
}

TEST(PathHelpers, ALongPathMemoAnswersOncePerPathForItsLifetime) {
    kxtest::TempDir temp;
    std::wstring longName = temp / L"Another Long Folder Name";
    kxtest::MakeDirs(longName);
    wchar_t szShort[MAX_PATH] = {}, szLong[MAX_PATH] = {};
    ASSERT_GT(GetShortPathNameW(longName.c_str(), szShort, MAX_PATH), 0u);
    GetLongPathNameW(longName.c_str(), szLong, MAX_PATH);
    {
        UNINST_API::CLongPathMemo memo;
        std::wstring path = szShort;
        UNINST_API::CompleteFilePath(path);
        EXPECT_EQ(path, szLong);
        ASSERT_TRUE(RemoveDirectoryW(longName.c_str()));
        path = szShort;
        UNINST_API::CompleteFilePath(path);
        EXPECT_EQ(path, szLong);
    }
    std::wstring path = szShort;
    UNINST_API::CompleteFilePath(path);
    EXPECT_EQ(path, szShort);
}

// Inside a memo the answers read as the platform's.
TEST(PathHelpers, AMemoAnswersAsTheLongPathLookup) {
    kxtest::TempDir temp;
    std::wstring folder = temp / L"Some Long Folder\\Inner Folder Name";
    kxtest::WriteFileBytes(folder + L"\\A Long File Name.txt", "x");
    wchar_t szShort[MAX_PATH] = {};
    ASSERT_GT(GetShortPathNameW((folder + L"\\A Long File Name.txt").c_str(), szShort, MAX_PATH), 0u);
    std::wstring lower = folder;
    for (wchar_t& c : lower) c = towlower(c);
    const std::wstring paths[] = {folder, folder + L"\\", szShort, lower + L"\\a long file name.txt",
                                  folder + L"\\missing.txt", folder + L"\\missing\\deeper\\", L"C:\\",
                                  L"c:\\windows\\system32\\", L"C:\\windows\\..\\windows", L"uninst.exe",
                                  folder + L"\\A Long File Name.txt\\x", L"C:\\win*", L""};
    for (const std::wstring& p : paths) {
        std::wstring direct = p, memoised = p;
        UNINST_API::CompleteFilePath(direct);
        UNINST_API::CLongPathMemo memo;
        UNINST_API::CompleteFilePath(memoised);
        EXPECT_EQ(memoised, direct) << p;
        memoised = p;
        UNINST_API::CompleteFilePath(memoised);
        EXPECT_EQ(memoised, direct) << p;
    }
}

TEST(PathHelpers, NormalizeFolderAndStripBraces) {
    for (std::wstring s : {L"C:\\App", L"\"C:\\App\"", L"C:\\App\\"}) {
        NormalizeFolder(s);
        EXPECT_EQ(s, L"C:\\App\\");
    }
    std::wstring s;
    NormalizeFolder(s);
    EXPECT_EQ(s, L"");
    s = L"\"";
    NormalizeFolder(s);
    EXPECT_EQ(s, L"");
    s = L"{ABC}";
    StripBraces(s);
    EXPECT_EQ(s, L"ABC");
    s = L"ABC}";
    StripBraces(s);
    EXPECT_EQ(s, L"ABC");
}

TEST(PathHelpers, ComponentsAndKeyNames) {
    EXPECT_EQ(LastPathComponent(L"C:\\Data\\Soft\\"), L"Soft");
    EXPECT_EQ(LastPathComponent(L"C:\\Data\\Soft"), L"Soft");
    EXPECT_EQ(LastPathComponent(L"Soft"), L"Soft");
    EXPECT_EQ(KeyNameOf(L"HKEY_LOCAL_MACHINE\\Software\\X\\{AB}"), L"{AB}");
    EXPECT_EQ(KeyNameOf(static_cast<const wchar_t*>(nullptr)), L"");
    EXPECT_EQ(KeyNameOf(L"NoBackslash"), L"");
}

TEST(PathHelpers, GuidShape) {
    EXPECT_TRUE(IsGuidShaped(L"12345678-90AB-CDEF-1234-567890ABCDEF"));
    EXPECT_TRUE(IsGuidShaped(L"{12345678-90ab-cdef-1234-567890abcdef}"));
    EXPECT_TRUE(IsGuidShaped(L"Prefix_{ZZZZZZZZ-90AB-CDEF-1234-567890ABCDEF}.KB1"));
    EXPECT_FALSE(IsGuidShaped(L"87654321BA09FEDC2143658709BADCFE"));
    EXPECT_FALSE(IsGuidShaped(L"12345678-90AB-CDEF-1234-567890ABCDE"));
    EXPECT_FALSE(IsGuidShaped(L"12345678-90AB-CDEF-1234_567890ABCDEF"));
    EXPECT_FALSE(IsGuidShaped(L"12345678-90AB-CDEF-1234-567890ABCDE\u00e9"));
}

TEST(PathHelpers, FindInSystemFolders) {
    wchar_t szSystem[MAX_PATH] = {};
    GetSystemDirectoryW(szSystem, MAX_PATH);
    wchar_t szWindows[MAX_PATH] = {};
    GetWindowsDirectoryW(szWindows, MAX_PATH);
    std::wstring file = L"shell32.dll";
    EXPECT_TRUE(FindInSystemFolders(file));
    EXPECT_EQ(file, std::wstring(szSystem) + L"\\shell32.dll");
    file = L"win.ini";
    EXPECT_TRUE(FindInSystemFolders(file));
    EXPECT_EQ(file, std::wstring(szWindows) + L"\\win.ini");
    file = L"kxtest-no-such-file.dll";
    EXPECT_FALSE(FindInSystemFolders(file));
    EXPECT_EQ(file, L"kxtest-no-such-file.dll");
}

}  // namespace
