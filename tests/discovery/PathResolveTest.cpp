#include <windows.h>

#include <gtest/gtest.h>

#include <stdlib.h>
#include <cwctype>

#include "KxUninstAPI.h"
#include "kxtest/HostLayout.h"
#include "kxtest/Log.h"
#include "kxtest/TempDir.h"

namespace {

// Folder, file and argument of a command line or an icon string, over a folder that exists.
TEST(ParseCommandLine, SplitsClimbsAndExpands) {
    kxtest::TempDir temp;
    const std::wstring app = temp / L"Program Files\\App", folder = app + L"\\";
    kxtest::WriteFileBytes(app + L"\\uninst.exe", "MZ");
    kxtest::WriteFileBytes(app + L"\\app.exe", "MZ");
    ASSERT_EQ(_wputenv_s(L"KXTEST_APPROOT", temp.Path().c_str()), 0);
    const struct {
        std::wstring text, folder, file, argument;
    } cases[] = {
        {app + L"\\uninst.exe /S", folder, L"uninst.exe", L"/S"},
        {L"\"" + app + L"\\uninst.exe\" /S /x", folder, L"uninst.exe", L"/S"},
        {app + L"\\app.exe,1", folder, L"app.exe", L"1"},
        {L"\"" + app + L"\\app.exe\",0", folder, L"app.exe", L"0"},
        {L"uninst.exe /S", L"", L"uninst.exe", L"/S"},
        {L"  \t" + app + L"\\uninst.exe  \r\n", folder, L"uninst.exe", L""},
        // No existing candidate: the first token, and the next.
        {app + L"\\nothere.exe one,two three", folder, L"nothere.exe", L"one"},
        // A missing folder: up to the deepest existing one, the first missing component as the file, the rest dropped.
        {temp / L"Missing\\app.exe /S", temp.Path() + L"\\", L"Missing", L""},
        {L"Q:\\Missing\\app.exe", L"", L"Q:", L""},
        // The first variable before a path separator is expanded; an unset one is left.
        {L"%KXTEST_APPROOT%\\Program Files\\App\\uninst.exe /S", folder, L"uninst.exe", L"/S"},
        {L"%KXTEST_UNSET%\\un.exe", L"", L"%KXTEST_UNSET%", L""},
    };
    for (const auto& c : cases) {
        std::wstring f = L"junk", file = L"junk", argument = L"junk";
        ParseCommandLine(c.text, f, file, argument);
        EXPECT_EQ(std::make_tuple(f, file, argument), std::make_tuple(c.folder, c.file, c.argument)) << c.text;
    }
    for (auto [in, out] : std::initializer_list<std::pair<std::wstring, std::wstring>>{
             {L"%KXTEST_APPROOT%\\a;%KXTEST_APPROOT%\\b", temp.Path() + L"\\a;" + temp.Path() + L"\\b"},
             {L"x%KXTEST_APPROOT%", L"x%KXTEST_APPROOT%"},  // no separator after it: left alone
             {L"50% off", L"50% off"}}) {
        ExpandFirstEnvVar(in);
        EXPECT_EQ(in, out);
    }
    // Each completed path is logged.
    kxtest::LogMark log;
    std::wstring f, file, argument;
    ParseCommandLine(app + L"\\uninst.exe /S", f, file, argument);
    auto lines = log.Lines(L"UNINST_API::CompleteFilePath");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(kxtest::EndsWith(lines[0], L"转换后路径[" + folder + L"]")) << lines[0];
    EXPECT_TRUE(kxtest::EndsWith(lines[1], L"转换后路径[uninst.exe]")) << lines[1];
}

// The long form of a path; inside a memo the answers read as the platform's, once per path for its lifetime.
TEST(PathHelpers, CompleteFilePathAndItsMemo) {
    kxtest::TempDir temp;
    const std::wstring folder = temp / L"Some Long Folder\\Inner Folder Name";
    kxtest::WriteFileBytes(folder + L"\\A Long File Name.txt", "x");
    wchar_t szShort[MAX_PATH] = {}, szLong[MAX_PATH] = {};
    ASSERT_GT(GetShortPathNameW((folder + L"\\A Long File Name.txt").c_str(), szShort, MAX_PATH), 0u);
    GetLongPathNameW(szShort, szLong, MAX_PATH);
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
    }
    std::wstring path = szShort;
    UNINST_API::CompleteFilePath(path);
    EXPECT_EQ(path, szLong);
    {
        UNINST_API::CLongPathMemo memo;
        UNINST_API::CompleteFilePath(path = szShort);
        ASSERT_TRUE(DeleteFileW(szLong));
        UNINST_API::CompleteFilePath(path = szShort);
        EXPECT_EQ(path, szLong) << "answered from the memo";
    }
    UNINST_API::CompleteFilePath(path = szShort);
    EXPECT_EQ(path, szShort) << "outside a memo the file is gone";
}

TEST(PathHelpers, FoldersBracesComponentsGuidsAndSystemFiles) {
    for (auto [in, out] : std::initializer_list<std::pair<const wchar_t*, const wchar_t*>>{
             {L"C:\\App", L"C:\\App\\"}, {L"\"C:\\App\"", L"C:\\App\\"}, {L"C:\\App\\", L"C:\\App\\"}, {L"", L""}, {L"\"", L""}}) {
        std::wstring s = in;
        NormalizeFolder(s);
        EXPECT_EQ(s, out) << in;
    }
    for (std::wstring s : {L"{ABC}", L"ABC}"}) {
        StripBraces(s);
        EXPECT_EQ(s, L"ABC");
    }
    EXPECT_EQ(LastPathComponent(L"C:\\Data\\Soft\\"), L"Soft");
    EXPECT_EQ(LastPathComponent(L"C:\\Data\\Soft"), L"Soft");
    EXPECT_EQ(LastPathComponent(L"Soft"), L"Soft");
    EXPECT_EQ(KeyNameOf(L"HKEY_LOCAL_MACHINE\\Software\\X\\{AB}"), L"{AB}");
    EXPECT_EQ(KeyNameOf(L"HKEY_CURRENT_USER\\Uninstall\\"), L"");
    EXPECT_EQ(KeyNameOf(L"NoBackslash"), L"");
    EXPECT_EQ(KeyNameOf(static_cast<const wchar_t*>(nullptr)), L"");
    for (auto [text, shaped] : std::initializer_list<std::pair<const wchar_t*, bool>>{
             {L"12345678-90AB-CDEF-1234-567890ABCDEF", true}, {L"{12345678-90ab-cdef-1234-567890abcdef}", true},
             {L"Prefix_{ZZZZZZZZ-90AB-CDEF-1234-567890ABCDEF}.KB1", true}, {L"87654321BA09FEDC2143658709BADCFE", false},
             {L"12345678-90AB-CDEF-1234-567890ABCDE", false}, {L"12345678-90AB-CDEF-1234_567890ABCDEF", false},
             {L"12345678-90AB-CDEF-1234-567890ABCDE\u00e9", false}})
        EXPECT_EQ(IsGuidShaped(text), shaped) << text;
    wchar_t szSystem[MAX_PATH] = {}, szWindows[MAX_PATH] = {};
    GetSystemDirectoryW(szSystem, MAX_PATH);
    GetWindowsDirectoryW(szWindows, MAX_PATH);
    for (auto [name, found] : std::initializer_list<std::pair<const wchar_t*, std::wstring>>{
             {L"shell32.dll", std::wstring(szSystem) + L"\\shell32.dll"}, {L"win.ini", std::wstring(szWindows) + L"\\win.ini"},
             {L"kxtest-no-such-file.dll", L""}}) {
        std::wstring file = name;
        EXPECT_EQ(FindInSystemFolders(file), !found.empty());
        EXPECT_EQ(file, found.empty() ? name : found);
    }
}

}  // namespace
