// Inside a discovery pass, a path already in its long form is answered from folder listings instead of the
// platform's per-component searches: every kind of path still gets the platform's answer.
#include <gtest/gtest.h>

#include <cwctype>

#include "KxUninstAPI.h"
#include "kxtest/TempDir.h"

TEST(LongPathListing, PathsInAPassGetThePlatformsAnswer) {
    kxtest::TempDir temp;
    const std::wstring app = temp / L"Vendor\\App1";
    kxtest::WriteFileBytes(app + L"\\Bin\\uninst.exe", "MZ");
    kxtest::WriteFileBytes(temp / L"A Long Folder Name\\app.exe", "MZ");
    wchar_t szShort[MAX_PATH] = {};
    ASSERT_GT(GetShortPathNameW((temp / L"A Long Folder Name").c_str(), szShort, MAX_PATH), 0u);
    std::wstring lower = app;
    for (wchar_t& c : lower) c = towlower(c);
    const std::wstring paths[] = {
        app, app + L"\\", app + L"\\Bin\\", app + L"\\Bin\\uninst.exe",      // listed as they are
        temp / L"A Long Folder Name\\", temp / L"A Long Folder Name\\app.exe",
        lower + L"\\", app + L"\\BIN\\",                                          // other letter case
        std::wstring(szShort) + L"\\app.exe",                                     // an 8.3 alias
        app + L"\\Bin.\\", app + L"\\Bin \\", app + L"\\\\Bin\\", app + L"\\.\\Bin\\", app + L"\\..\\App1\\",
        app + L"\\Missing\\", app + L"\\Bin\\uninst.exe\\x", app + L"/Bin/", app + L"\\Bin\\*",
        temp.Path().substr(0, 3), temp.Path().substr(0, 2) + L"relative\\path", L"uninst.exe"};
    for (const std::wstring& p : paths) {
        std::wstring direct = p, inPass = p;
        UNINST_API::CompleteFilePath(direct);
        UNINST_API::CLongPathMemo memo;
        UNINST_API::CompleteFilePath(inPass);
        EXPECT_EQ(inPass, direct) << p;
    }
}
