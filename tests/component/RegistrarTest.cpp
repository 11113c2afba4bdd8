// The registrar on a registry of the test's own (HKCR redirected to a scratch key).
#include <gtest/gtest.h>

#include "KxUninstModule.h"
#include "Registrar.h"
#include "ScopedHandle.h"
#include "kxtest/HostLayout.h"
#include "kxtest/RegistryOverride.h"

using kxtest::GetString;
using kxtest::KeyExists;

namespace {

const wchar_t kScript[] =
    L"# a comment\r\n"
    L"key   HKCR\\Shared                 keep\r\n"
    L"key   HKCR\\Shared\\%ID%           fresh = \"Name with blanks\"\r\n"
    L"value HKCR\\Shared\\%ID% Path      = \"%MODULE%\"\r\n"
    L"key   HKCR\\Shared\\%ID%\\Sub       = \"100%%\"\r\n"
    L"\r\n"
    L"key   HKCR\\Own\r\n"
    L"value HKCR\\Shared Marker          = \"x\"\r\n";

const kx::RegReplacements kVars = {{L"ID", L"{1234}"}, {L"MODULE", L"C:\\a b\\m.dll"}};

}  // namespace

// Registering writes with replacements and rewrites a fresh key whole; unregistering keeps shared keys and
// tolerates what is missing.
TEST(Registrar, RegistersAndUnregisters) {
    kxtest::RegistryOverride registry;
    kxtest::SetString(HKEY_CLASSES_ROOT, L"Shared\\{1234}\\Stale", L"Old", L"1");
    kxtest::SetString(HKEY_CLASSES_ROOT, L"Shared\\Other", nullptr, L"kept");
    ASSERT_EQ(kx::ApplyRegistryScript(kScript, kVars, true), S_OK);
    EXPECT_EQ(GetString(HKEY_CLASSES_ROOT, L"Shared\\{1234}", nullptr), L"Name with blanks");
    EXPECT_EQ(GetString(HKEY_CLASSES_ROOT, L"Shared\\{1234}", L"Path"), L"C:\\a b\\m.dll");
    EXPECT_EQ(GetString(HKEY_CLASSES_ROOT, L"Shared\\{1234}\\Sub", nullptr), L"100%");
    EXPECT_EQ(GetString(HKEY_CLASSES_ROOT, L"Shared", L"Marker"), L"x");
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, L"Own"));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L"Shared\\{1234}\\Stale"));
    EXPECT_EQ(GetString(HKEY_CLASSES_ROOT, L"Shared\\Other", nullptr), L"kept");

    ASSERT_EQ(kx::ApplyRegistryScript(kScript, kVars, false), S_OK);
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, L"Shared"));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L"Shared\\{1234}"));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L"Own"));
    EXPECT_EQ(GetString(HKEY_CLASSES_ROOT, L"Shared", L"Marker"), L"");
    EXPECT_EQ(GetString(HKEY_CLASSES_ROOT, L"Shared\\Other", nullptr), L"kept");
    EXPECT_EQ(kx::ApplyRegistryScript(kScript, kVars, false), S_OK);
}

TEST(Registrar, ABadScriptFailsBeforeWritingAnything) {
    kxtest::RegistryOverride registry;
    const HRESULT bad = HRESULT_FROM_WIN32(ERROR_BAD_FORMAT);
    for (const wchar_t* script : {L"key HKCR\\A\r\nkey HKCR\\B\\%UNKNOWN%\r\n", L"key HKCR\\A\r\nkey HKXX\\B\r\n",
                                  L"key HKCR\\A\r\nkey HKCR\\B = \"open\r\n", L"key HKCR\\A\r\nvalue HKCR\\A Name\r\n",
                                  L"key HKCR\\A\r\nkey HKCR\\B sometimes\r\n", L"key HKCR\r\n"})
        EXPECT_EQ(kx::ApplyRegistryScript(script, kVars, true), bad) << kxtest::WideToUtf8(script);
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, L"A"));
}

TEST(Registrar, TheModuleScriptsParseAndCarryTheirReplacements) {
    kxtest::RegistryOverride registry;
    kx::unique_hmodule dll(LoadLibraryExW((kxtest::ExeFolder() + L"KxUninst.dll").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    const HMODULE hDll = dll.get();
    ASSERT_NE(hDll, nullptr);
    const kx::RegReplacements vars = {{L"APPID", L"{APP}"}, {L"MODULE", L"M.dll"}};
    EXPECT_EQ(kx::ApplyRegistryResource(hDll, IDR_KXUNINST, vars, true), S_OK);
    EXPECT_EQ(kx::ApplyRegistryResource(hDll, IDR_KXUNINSTMGR, vars, true), S_OK);
    EXPECT_EQ(GetString(HKEY_CLASSES_ROOT, L"AppID\\KxUninst.DLL", L"AppID"), L"{APP}");
    EXPECT_EQ(GetString(HKEY_CLASSES_ROOT, L"CLSID\\{6F1C2A90-3B7E-4D52-9A11-5C0E8B7D2F41}\\InprocServer32", nullptr),
              L"M.dll");
    EXPECT_NE(kx::ApplyRegistryResource(hDll, 999, vars, true), S_OK);
    wchar_t szName[32] = {};
    EXPECT_EQ(LoadStringW(hDll, IDS_PROJNAME, szName, 32), 8);
    EXPECT_STREQ(szName, L"KxUninst");
}
