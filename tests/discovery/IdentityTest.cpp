#include <windows.h>

#include <gtest/gtest.h>

#include "KxUninstAPI.h"
#include "kxtest/RegistryOverride.h"
#include "kxtest/TempDir.h"

namespace {

TEST(Identity, SidTextFormsAndBufferSize) {
    const struct {
        SID_IDENTIFIER_AUTHORITY authority;
        std::vector<DWORD> subs;
        const wchar_t* text;
    } cases[] = {{{{0, 0, 0, 0, 0, 5}}, {18}, L"S-1-5-18"},
                 {{{1, 2, 3, 4, 5, 6}}, {7}, L"S-1-0x010203040506-7"},
                 {{{0, 0, 0xFF, 0, 0, 1}}, {4294967295u, 0}, L"S-1-4278190081-4294967295-0"}};
    for (const auto& c : cases) {
        DWORD s[8] = {};
        std::copy(c.subs.begin(), c.subs.end(), s);
        PSID sid = nullptr;
        SID_IDENTIFIER_AUTHORITY authority = c.authority;
        ASSERT_TRUE(AllocateAndInitializeSid(&authority, static_cast<BYTE>(c.subs.size()), s[0], s[1], s[2], s[3], s[4],
                                             s[5], s[6], s[7], &sid));
        wchar_t szText[MAX_PATH] = {};
        DWORD cb = 10;
        EXPECT_FALSE(SidToText(sid, szText, &cb)) << "a small buffer is refused, with the size needed";
        if (c.subs == std::vector<DWORD>{18}) {
            EXPECT_EQ(cb, 80u);
        }
        cb = sizeof(szText);
        EXPECT_TRUE(SidToText(sid, szText, &cb));
        EXPECT_STREQ(szText, c.text);
        FreeSid(sid);
    }
    BYTE bogus[16] = {9, 9};
    DWORD cb = MAX_PATH;
    wchar_t szText[MAX_PATH];
    EXPECT_FALSE(SidToText(bogus, szText, &cb));
    EXPECT_EQ(GetAccountSidString(false), L"S-1-5-18");
    EXPECT_EQ(GetAccountSidString(true).rfind(L"S-1-5-21-", 0), 0u) << GetAccountSidString(true).c_str();
}

TEST(Identity, ProductCodesAndNewGuids) {
    EXPECT_EQ(PackProductCode(L"{12345678-90AB-CDEF-1234-567890ABCDEF}"), L"87654321BA09FEDC2143658709BADCFE");
    EXPECT_EQ(PackProductCode(L"{12345678-90ab-cdef-1234-567890abcdef}"), L"87654321BA09FEDC2143658709BADCFE");
    EXPECT_EQ(PackProductCode(L"not a guid"), std::wstring(32, L'0'));
    EXPECT_EQ(PackProductCode(L""), std::wstring(32, L'0'));
    std::wstring a = NewGuidString(), b = NewGuidString();
    EXPECT_TRUE(a.size() == 36 && IsGuidShaped(a) && a.find_first_of(L"abcdef{}") == std::wstring::npos) << a.c_str();
    EXPECT_NE(a, b);
}

// HKCR's product icon, then HKCU's, then the Uninstall key's DisplayIcon; a path that is gone or carries an
// index counts as missing, and the rows after it are not asked.
TEST(Identity, MsiProductIconInTableOrder) {
    kxtest::RegistryOverride reg;
    kxtest::TempDir temp;
    const std::wstring code = L"{12345678-90AB-CDEF-1234-567890ABCDEF}", packed = L"87654321BA09FEDC2143658709BADCFE";
    const std::wstring uninstall = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + code;
    EXPECT_EQ(GetMsiProductIcon(code), L"");
    const struct { HKEY root; std::wstring key, name, value, icon; } steps[] = {
        {HKEY_CLASSES_ROOT, L"Installer\\Products\\" + packed, L"ProductIcon", temp / L"hkcr.ico", temp / L"hkcr.ico"},
        {HKEY_CURRENT_USER, L"Software\\Microsoft\\Installer\\Products\\" + packed, L"ProductIcon", temp / L"hkcu.ico",
         temp / L"hkcu.ico"},
        {HKEY_LOCAL_MACHINE, uninstall, L"DisplayIcon", temp / L"hklm.ico", temp / L"hklm.ico"},
        {HKEY_LOCAL_MACHINE, uninstall, L"DisplayIcon", temp / L"hklm.ico,0", L""},
        {HKEY_LOCAL_MACHINE, uninstall, L"DisplayIcon", temp / L"gone.ico", L""},
    };
    for (const wchar_t* name : {L"hkcr.ico", L"hkcu.ico", L"hklm.ico"}) kxtest::WriteFileBytes(temp / name, "ico");
    for (const auto& s : steps) {
        kxtest::SetString(s.root, s.key, s.name.c_str(), s.value);
        EXPECT_EQ(GetMsiProductIcon(code), s.icon) << s.value;
    }
}

}  // namespace
