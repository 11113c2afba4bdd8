// The leftover guard, rule by rule, on real folders, links and registry keys of the test prefix. Every row is
// something the scanner's own algorithm could have offered.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <memory>

#include "DustGuard.h"
#include "DustTestKit.h"
#include "KxUninstAPI.h"
#include "kxtest/HostLayout.h"
#include "kxtest/TempDir.h"

namespace {

using dusttest::Folder;
using dusttest::RegEntry;
const std::wstring kUninstall = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const wchar_t kGuid[] = L"{5D1C7A2B-3E4F-4A10-8B2C-9D0E1F203142}";

struct Row {
    std::wstring text;
    DustKind kind;
    const wchar_t* reason;  // nullptr: offered
};

std::string Show(const wchar_t* reason) { return reason ? kxtest::WideToUtf8(reason) : std::string("(offered)"); }

void ExpectRows(const std::vector<Row>& rows, const DustGuardContext& ctx) {
    for (const Row& row : rows)
        EXPECT_EQ(Show(DustGuardRefusal(row.text, row.kind, ctx)), Show(row.reason)) << kxtest::WideToUtf8(row.text);
}

std::unique_ptr<UnItemInside> Program(const std::wstring& key, const std::wstring& folder) {
    auto item = std::make_unique<UnItemInside>();
    item->UninstallKey = key;
    item->KeyPath = L"HKEY_LOCAL_MACHINE\\" + kUninstall + key;
    item->InstallLocation = folder;
    return item;
}

class DustGuardTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        s_tmp = std::make_unique<kxtest::TempDir>();
        for (const wchar_t* file : {L"App\\data.txt", L"App\\shared.dll", L"App\\comp.dll", L"Other\\bin\\x.exe"})
            kxtest::WriteFileBytes(*s_tmp / file, "x");
        s_shared = std::make_unique<RegEntry>(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs",
                                              (*s_tmp / L"App\\shared.dll").c_str(), KEY_WOW64_64KEY);
        s_shared->Dword(nullptr, 2);
        // A component of this product that another product holds too.
        s_component = std::make_unique<RegEntry>(
            HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\" +
                                    GetAccountSidString(false) + L"\\Components\\KXDUSTGUARD0000000000000000000001");
        s_component->String(PackProductCode(kGuid).c_str(), *s_tmp / L"App\\comp.dll")
            .String(L"0123456789ABCDEF0123456789ABCDEF", *s_tmp / L"App\\comp.dll");
        InsideMap installed;
        installed.emplace(L"Self", Program(L"KxDustGuardApp", *s_tmp / L"App\\"));
        installed.emplace(L"Other", Program(L"KxDustGuardOther", *s_tmp / L"Other\\"));
        installed.emplace(L"Gone", Program(L"KxDustGuardGone", L"C:\\"));
        installed.emplace(L"Profile", Program(L"KxDustGuardProfile", Folder(CSIDL_PROFILE) + L"\\"));
        s_ctx = std::make_unique<DustGuardContext>(
            MakeDustGuardContext(L"KxDustGuardApp", (*s_tmp / L"App\\").c_str(), installed));
        s_msi = std::make_unique<DustGuardContext>(MakeDustGuardContext(kGuid, (*s_tmp / L"App\\").c_str(), InsideMap()));
    }
    static void TearDownTestSuite() {
        s_component.reset();
        s_shared.reset();
        s_tmp.reset();
    }
    static std::unique_ptr<kxtest::TempDir> s_tmp;
    static std::unique_ptr<RegEntry> s_shared, s_component;
    static std::unique_ptr<DustGuardContext> s_ctx, s_msi;
};
std::unique_ptr<kxtest::TempDir> DustGuardTest::s_tmp;
std::unique_ptr<RegEntry> DustGuardTest::s_shared, DustGuardTest::s_component;
std::unique_ptr<DustGuardContext> DustGuardTest::s_ctx, DustGuardTest::s_msi;

TEST_F(DustGuardTest, OnlyOtherProgramsFoldersThatCouldBeTheirsAreKept) {
    // Neither the program itself, nor a folder discovery guessed as a drive root or a profile.
    EXPECT_EQ(s_ctx->vecPrograms, std::vector<std::wstring>{dusttest::Lower(*s_tmp / L"Other")});
}

TEST_F(DustGuardTest, CanonicalFormOnly) {
    const std::wstring app = *s_tmp / L"App";
    ExpectRows({{app, DustKind::Folder, nullptr},
                {app + L"\\", DustKind::Folder, nullptr},
                {app + L"\\data.txt", DustKind::File, nullptr},
                {app + L"\\..\\App", DustKind::Folder, L"noncanonical"},
                {app + L"\\.\\data.txt", DustKind::File, L"noncanonical"},
                {app + L".", DustKind::Folder, L"noncanonical"},
                {app + L"\\data.txt ", DustKind::File, L"noncanonical"},
                {s_tmp->Path() + L"\\\\App", DustKind::Folder, L"noncanonical"},
                {app + L"\\\\", DustKind::Folder, L"noncanonical"},
                {L"\\\\?\\" + app, DustKind::Folder, L"unc"},
                {L"\\\\.\\C:", DustKind::Folder, L"unc"},
                {L"\\\\server\\share\\App", DustKind::Folder, L"unc"},
                {L"C:", DustKind::Folder, L"relative"},
                {L"C:App", DustKind::Folder, L"relative"},
                {L"App\\data.txt", DustKind::File, L"relative"},
                {app + L"\\*.txt", DustKind::File, L"wildcard"},
                {L"C:\\%WINDIR%\\App", DustKind::Folder, L"variable"},
                {app + L"\\" + std::wstring(260, L'x'), DustKind::File, L"long"},
                {app + L"\\gone.txt", DustKind::File, L"missing"},
                {app + L"\\data.txt", DustKind::Folder, L"changed"}},
               *s_ctx);
}

// A short name opens the same file as its long one; only the long form is canonical, wherever on the way the
// short name stands.
TEST_F(DustGuardTest, ShortNamesAreNotTheCanonicalForm) {
    const std::wstring folder = *s_tmp / L"App\\Long Folder Name", file = folder + L"\\long file name.data";
    kxtest::WriteFileBytes(file, "x");
    auto shortName = [](const std::wstring& path) {
        wchar_t sz[MAX_PATH] = {};
        DWORD n = GetShortPathNameW(path.c_str(), sz, MAX_PATH);
        return n > 0 && n < MAX_PATH ? std::wstring(sz, n) : std::wstring();
    };
    const std::wstring shortFolder = shortName(folder), shortFile = shortName(file);
    ASSERT_FALSE(shortFolder.empty() || shortFolder == folder || shortFile.empty() || shortFile == file);
    ExpectRows({{file, DustKind::File, nullptr},
                {folder, DustKind::Folder, nullptr},
                {shortFile, DustKind::File, L"noncanonical"},
                {shortFolder + file.substr(folder.size()), DustKind::File, L"noncanonical"},
                {shortFolder, DustKind::Folder, L"noncanonical"}},
               *s_ctx);
}

TEST_F(DustGuardTest, NoLinksNorAnythingReachedThroughOne) {
    const std::wstring app = std::wstring(dusttest::kLinks) + L"\\App";
    ExpectRows({{app + L"\\data.txt", DustKind::File, nullptr},
                {app + L"\\dirlink", DustKind::Folder, L"link"},
                {app + L"\\dirlink\\", DustKind::Folder, L"link"},
                {app + L"\\filelink.txt", DustKind::File, L"link"},
                {app + L"\\dirlink\\secret.txt", DustKind::File, L"link"},
                {Folder(CSIDL_DESKTOPDIRECTORY) + L"\\KxDustLinked", DustKind::Folder, L"link"}},
               *s_ctx);
    // The same judged from the listing of their folder, as the scanner's expansion does.
    for (const wchar_t* name : {L"dirlink", L"filelink.txt", L"data.txt"}) {
        WIN32_FIND_DATAW fd;
        HANDLE find = FindFirstFileW((app + L"\\" + name).c_str(), &fd);
        ASSERT_NE(find, INVALID_HANDLE_VALUE);
        FindClose(find);
        DustKind kind = fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY ? DustKind::Folder : DustKind::File;
        DustListing listing{&app, fd.dwFileAttributes, true};
        EXPECT_EQ(Show(DustGuardRefusal(app + L"\\" + name, kind, *s_ctx, &listing)),
                  Show(DustGuardRefusal(app + L"\\" + name, kind, *s_ctx)))
            << kxtest::WideToUtf8(name);
    }
}

TEST_F(DustGuardTest, DriveRootsSystemAndProfileFoldersNeverFilesDirectlyInThemMay) {
    const std::wstring desktop = Folder(CSIDL_DESKTOPDIRECTORY);
    kxtest::WriteFileBytes(desktop + L"\\KxDustGuard.lnk", "x");
    const std::wstring profile = Folder(CSIDL_PROFILE);
    ExpectRows({{L"C:\\", DustKind::Folder, L"root"},
                {L"Z:\\", DustKind::Folder, L"root"},
                {L"Z:\\tmp", DustKind::Folder, L"unix"},
                {profile, DustKind::Folder, L"protected"},
                {profile.substr(0, profile.rfind(L'\\')), DustKind::Folder, L"protected"},
                {desktop, DustKind::Folder, L"protected"},
                {desktop + L"\\", DustKind::Folder, L"protected"},
                {desktop + L"\\KxDustGuard.lnk", DustKind::Link, nullptr},
                {Folder(CSIDL_PERSONAL), DustKind::Folder, L"protected"},
                {Folder(CSIDL_COMMON_DOCUMENTS), DustKind::Folder, L"protected"},
                {Folder(CSIDL_COMMON_APPDATA) + L"\\Microsoft", DustKind::Folder, L"protected"},
                {Folder(CSIDL_PROGRAM_FILES), DustKind::Folder, L"protected"},
                {Folder(CSIDL_PROGRAM_FILES_COMMONX86), DustKind::Folder, L"protected"},
                {Folder(CSIDL_PROGRAMS), DustKind::Folder, L"protected"},
                {Folder(CSIDL_APPDATA), DustKind::Folder, L"protected"},
                {Folder(CSIDL_LOCAL_APPDATA) + L"\\Temp", DustKind::Folder, L"protected"},
                {Folder(CSIDL_WINDOWS), DustKind::Folder, L"protected"},
                {Folder(CSIDL_SYSTEM), DustKind::Folder, L"protected"}},
               *s_ctx);
    DeleteFileW((desktop + L"\\KxDustGuard.lnk").c_str());
}

TEST_F(DustGuardTest, NothingInsideWindowsButTheProgramsOwnInstallerFolder) {
    const std::wstring installer = Folder(CSIDL_WINDOWS) + L"\\Installer\\";
    for (const wchar_t* name : {L"KxDustGuardApp", L"KxDustGuardNone"}) kxtest::MakeDirs(installer + name);
    ExpectRows({{installer + L"KxDustGuardApp", DustKind::Folder, nullptr},
                {installer + L"KxDustGuardNone", DustKind::Folder, L"system"},
                {installer.substr(0, installer.size() - 1), DustKind::Folder, L"protected"},
                {Folder(CSIDL_WINDOWS) + L"\\win.ini", DustKind::File, L"system"},
                {Folder(CSIDL_SYSTEM) + L"\\kernel32.dll", DustKind::File, L"system"}},
               *s_ctx);
    for (const wchar_t* name : {L"KxDustGuardApp", L"KxDustGuardNone"}) RemoveDirectoryW((installer + name).c_str());
}

TEST_F(DustGuardTest, NothingAtAboveOrBelowAnotherProgramsFolder) {
    ExpectRows({{*s_tmp / L"Other", DustKind::Folder, L"program"},
                {*s_tmp / L"Other\\bin\\x.exe", DustKind::File, L"program"},
                {s_tmp->Path(), DustKind::Folder, L"program"}},
               *s_ctx);
}

TEST_F(DustGuardTest, NothingOtherProgramsShare) {
    ExpectRows({{*s_tmp / L"App\\shared.dll", DustKind::File, L"shared"},
                {*s_tmp / L"App\\comp.dll", DustKind::File, nullptr}},
               *s_ctx);
    EXPECT_EQ(Show(DustGuardRefusal(*s_tmp / L"App\\comp.dll", DustKind::File, *s_msi)), "shared");
}

TEST_F(DustGuardTest, RegistryNeverRootsPlacesInstalledProgramsOrWindowsVerbs) {
    RegEntry installed(HKEY_LOCAL_MACHINE, kUninstall + L"KxDustGuardApplication");
    installed.String(L"DisplayName", L"Still here");
    RegEntry orphan(HKEY_LOCAL_MACHINE, kUninstall + L"KxDustGuardAppOld");
    const std::wstring hklm = L"HKEY_LOCAL_MACHINE\\";
    const std::wstring arp = hklm + L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Management\\ARPCache\\";
    ExpectRows({{L"HKEY_CURRENT_USER", DustKind::Reg, L"root"},
                {L"HKEY_CURRENT_USER\\", DustKind::Reg, L"syntax"},
                {L"HKEY_FOO\\Software\\App", DustKind::Reg, L"syntax"},
                {hklm + L"SOFTWARE", DustKind::Reg, L"place"},
                {hklm + L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", DustKind::Reg, L"place"},
                {hklm + L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run\\\\kxdustguardapp", DustKind::Reg, nullptr},
                {hklm + kUninstall.substr(0, kUninstall.size() - 1), DustKind::Reg, L"place"},
                {L"HKEY_USERS\\S-1-5-18\\Software", DustKind::Reg, L"place"},
                {hklm + kUninstall + L"kxdustguardapplication", DustKind::Reg, L"installed"},
                {hklm + kUninstall + L"kxdustguardappold", DustKind::Reg, nullptr},
                {arp + L"kxdustguardapplication", DustKind::Reg, L"installed"},
                {arp + L"kxdustguardappold", DustKind::Reg, nullptr},
                {L"HKEY_CLASSES_ROOT\\Folder\\Shell\\open", DustKind::Reg, L"verb"},
                {L"HKEY_CLASSES_ROOT\\Folder\\Shell\\explore", DustKind::Reg, L"verb"},
                {L"HKEY_CLASSES_ROOT\\Folder\\Shell\\kxdustguardapp", DustKind::Reg, nullptr}},
               *s_ctx);
}

TEST_F(DustGuardTest, ShortOrOddEntryNamesMatchNothingByName) {
    InsideMap none;
    for (const wchar_t* key : {L"ab", L"..", L".", L"app.", L"app ", L""}) {
        DustGuardContext ctx = MakeDustGuardContext(key, L"", none);
        EXPECT_FALSE(IsNameMatchable(key)) << kxtest::WideToUtf8(key);
        ExpectRows({{L"HKEY_LOCAL_MACHINE\\" + kUninstall + L"xab" + key, DustKind::Reg, L"name"}}, ctx);
        EXPECT_NE(DustGuardRefusal(Folder(CSIDL_WINDOWS) + L"\\Installer\\" + key, DustKind::Folder, ctx), nullptr);
    }
    EXPECT_TRUE(IsNameMatchable(L"app"));
}

}  // namespace
