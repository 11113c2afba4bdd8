#include <windows.h>

#include <gtest/gtest.h>

#include "KxUninstAPI.h"
#include "kxtest/RegistryOverride.h"
#include "kxtest/TempDir.h"

namespace {

std::wstring Text(BYTE a0, BYTE a1, BYTE a2, BYTE a3, BYTE a4, BYTE a5, std::initializer_list<DWORD> subs) {
    SID_IDENTIFIER_AUTHORITY auth = {{a0, a1, a2, a3, a4, a5}};
    DWORD s[8] = {};
    int n = 0;
    for (DWORD v : subs) s[n++] = v;
    PSID sid = nullptr;
    EXPECT_TRUE(AllocateAndInitializeSid(&auth, static_cast<BYTE>(n), s[0], s[1], s[2], s[3], s[4], s[5], s[6], s[7], &sid));
    wchar_t szText[MAX_PATH] = {};
    DWORD cb = sizeof(szText);
    bool ok = SidToText(sid, szText, &cb);
    FreeSid(sid);
    return ok ? szText : L"(failed)";
}

TEST(Identity, SidTextForms) {
    EXPECT_EQ(Text(0, 0, 0, 0, 0, 5, {18}), L"S-1-5-18");
    EXPECT_EQ(Text(1, 2, 3, 4, 5, 6, {7}), L"S-1-0x010203040506-7");
    EXPECT_EQ(Text(0, 0, 0xFF, 0, 0, 1, {4294967295u, 0}), L"S-1-4278190081-4294967295-0");
}

TEST(Identity, SidToTextRefusesASmallBuffer) {
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID sid = nullptr;
    ASSERT_TRUE(AllocateAndInitializeSid(&nt, 1, 18, 0, 0, 0, 0, 0, 0, 0, &sid));
    wchar_t szText[MAX_PATH] = {};
    DWORD cb = 10;
    EXPECT_FALSE(SidToText(sid, szText, &cb));
    EXPECT_EQ(cb, 80u);
    cb = 80;
    EXPECT_TRUE(SidToText(sid, szText, &cb));
    EXPECT_STREQ(szText, L"S-1-5-18");
    FreeSid(sid);
    BYTE bogus[16] = {9, 9};
    cb = sizeof(szText);
    EXPECT_FALSE(SidToText(bogus, szText, &cb));
}

TEST(Identity, AccountSids) {
    EXPECT_EQ(GetAccountSidString(false), L"S-1-5-18");
    std::wstring user = GetAccountSidString(true);
    EXPECT_EQ(user.rfind(L"S-1-5-21-", 0), 0u) << user;
}

TEST(Identity, PackProductCode) {
    EXPECT_EQ(PackProductCode(L"{12345678-90AB-CDEF-1234-567890ABCDEF}"), L"87654321BA09FEDC2143658709BADCFE");
    EXPECT_EQ(PackProductCode(L"{12345678-90ab-cdef-1234-567890abcdef}"), L"87654321BA09FEDC2143658709BADCFE");
    EXPECT_EQ(PackProductCode(L"not a guid"), std::wstring(32, L'0'));
    EXPECT_EQ(PackProductCode(L""), std::wstring(32, L'0'));
}

TEST(Identity, NewGuidString) {
    std::wstring a = NewGuidString(), b = NewGuidString();
    EXPECT_EQ(a.size(), 36u);
    EXPECT_TRUE(IsGuidShaped(a));
    EXPECT_NE(a, b);
    EXPECT_EQ(a.find_first_of(L"abcdef{}"), std::wstring::npos);
}

TEST(Identity, MsiProductIconInTableOrder) {
    kxtest::RegistryOverride reg;
    kxtest::TempDir temp;
    const std::wstring code = L"{12345678-90AB-CDEF-1234-567890ABCDEF}";
    const std::wstring packed = L"87654321BA09FEDC2143658709BADCFE";
    std::wstring hkcrIcon = temp / L"hkcr.ico", hkcuIcon = temp / L"hkcu.ico", hklmIcon = temp / L"hklm.ico";
    for (auto& p : {hkcrIcon, hkcuIcon, hklmIcon}) kxtest::WriteFileBytes(p, "ico");

    EXPECT_EQ(GetMsiProductIcon(code), L"");
    kxtest::SetString(HKEY_CLASSES_ROOT, L"Installer\\Products\\" + packed, L"ProductIcon", hkcrIcon);
    EXPECT_EQ(GetMsiProductIcon(code), hkcrIcon);
    kxtest::SetString(HKEY_CURRENT_USER, L"Software\\Microsoft\\Installer\\Products\\" + packed, L"ProductIcon", hkcuIcon);
    EXPECT_EQ(GetMsiProductIcon(code), hkcuIcon);
    const std::wstring uninstall = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + code;
    kxtest::SetString(HKEY_LOCAL_MACHINE, uninstall, L"DisplayIcon", hklmIcon);
    EXPECT_EQ(GetMsiProductIcon(code), hklmIcon);
    // A stored path that is gone, or one carrying an index, counts as missing; the rows after it are not asked.
    kxtest::SetString(HKEY_LOCAL_MACHINE, uninstall, L"DisplayIcon", hklmIcon + L",0");
    EXPECT_EQ(GetMsiProductIcon(code), L"");
    kxtest::SetString(HKEY_LOCAL_MACHINE, uninstall, L"DisplayIcon", temp / L"gone.ico");
    EXPECT_EQ(GetMsiProductIcon(code), L"");
}

}  // namespace
