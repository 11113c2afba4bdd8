// The leftover scanner on real files, shortcuts and registry entries of the test prefix: the steps as they
// find things, the guard inside them, the records handed on and the dump. Every name a case makes carries
// "KxDust" and is removed again.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <memory>

#include "DustTestKit.h"
#include "Dustman.h"
#include "KxLog.h"
#include "KxUninstAPI.h"
#include "PowerSweepItem.h"
#include "kxtest/HostLayout.h"
#include "kxtest/RegistryOverride.h"
#include "kxtest/TempDir.h"

namespace {

using dusttest::Folder;
using dusttest::Lower;
using dusttest::RegEntry;
using dusttest::ToVector;
using Texts = std::vector<std::wstring>;
const std::wstring kUninstall = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const std::wstring kArpCache = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Management\\ARPCache\\";
const std::wstring kRun = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const wchar_t kRefused[] = L"[F.CDustman::Parse()] guard: refused ";

class OpenLog : public testing::Environment {
public:
    void SetUp() override { CKxLog::Instance().Open(); }
};
const testing::Environment* const kOpenLog = testing::AddGlobalTestEnvironment(new OpenLog);

Texts Sorted(Texts v) {
    std::sort(v.begin(), v.end());
    return v;
}

// An Installer component of the system account whose value under the product's packed code names strPath.
std::unique_ptr<RegEntry> Component(const std::wstring& name, const std::wstring& product, const std::wstring& path) {
    auto entry = std::make_unique<RegEntry>(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\" +
                                                                    GetAccountSidString(false) + L"\\Components\\" + name);
    entry->String(PackProductCode(product).c_str(), path);
    return entry;
}

class DustmanTest : public testing::Test {
protected:
    void SetUp() override { m_from = kxtest::ComponentLogLineCount(); }
    // A scanner whose guard knows the given programs only (discovery is left to the package test).
    std::unique_ptr<CDustman> Scanner(const wchar_t* key, const std::wstring& folder, const InsideMap& installed = {}) {
        auto dust = std::make_unique<CDustman>(key, folder.c_str(), nullptr);
        dust->SetGuardContext(MakeDustGuardContext(key, folder.c_str(), installed));
        return dust;
    }
    // The texts of the refusals logged since the case began, with their reasons.
    Texts Refusals() const {
        Texts texts;
        for (const std::wstring& line : kxtest::LogLinesContaining(kRefused, m_from))
            texts.push_back(line.substr(line.find(kRefused) + wcslen(kRefused)));
        return texts;
    }
    kxtest::TempDir m_tmp;
    size_t m_from = 0;
};

TEST_F(DustmanTest, SpecialFoldersStopTheScanButAnEmptyFolderIsNone) {
    const std::wstring desktop = Folder(CSIDL_DESKTOPDIRECTORY);
    for (const std::wstring& folder : {desktop, desktop + L"\\", desktop + L"\\\\", Lower(Folder(CSIDL_PROGRAM_FILES))})
        EXPECT_TRUE(CDustman::IsSpecialFolder(folder)) << kxtest::WideToUtf8(folder);
    EXPECT_FALSE(CDustman::IsSpecialFolder(L""));
    EXPECT_FALSE(CDustman::IsSpecialFolder(m_tmp.Path()));
    auto dust = Scanner(L"KxDustDesk", desktop + L"\\");
    dust->Parse();
    EXPECT_EQ(dust->GetDustCount(), 0u);
    EXPECT_TRUE(kxtest::LogLinesContaining(L"step.1 Parse Msi", m_from).empty());
}

TEST_F(DustmanTest, InstallerComponentsNameFilesAndFoldersButNothingShared) {
    const std::wstring product = L"{7A6B5C4D-1E2F-4031-9C8D-0F1E2D3C4B5A}";
    kxtest::WriteFileBytes(m_tmp / L"A\\a.dll", "x");
    kxtest::WriteFileBytes(m_tmp / L"A\\b.dll", "x");
    auto c1 = Component(L"KXDUST0000000000000000000000000C1", product, m_tmp / L"A\\a.dll");
    auto c2 = Component(L"KXDUST0000000000000000000000000C2", product, m_tmp / L"A\\");
    auto c3 = Component(L"KXDUST0000000000000000000000000C3", product, Folder(CSIDL_SYSTEM));
    auto c4 = Component(L"KXDUST0000000000000000000000000C4", product, m_tmp / L"A\\b.dll");
    c4->String(L"00000000000000000000000000000000", m_tmp / L"A\\b.dll");
    auto c5 = Component(L"KXDUST0000000000000000000000000C5", product, L"02:\\SOFTWARE\\KxDust");
    auto dust = Scanner(product.c_str(), L"");
    dust->ParseMsiFolder();
    EXPECT_EQ(ToVector(dust->Files()), Texts{m_tmp / L"A\\a.dll"});
    EXPECT_EQ(ToVector(dust->Folders()), Texts{m_tmp / L"A\\"});
    dust->ParseFolderToFile();
    EXPECT_EQ(ToVector(dust->Files()), (Texts{m_tmp / L"A\\a.dll", m_tmp / L"A\\a.dll"}));
    EXPECT_TRUE(dust->Folders().empty());
    EXPECT_EQ(kxtest::LogLinesContaining(L"Parse Key[" + Lower(product) + L"] ->Guid[" + PackProductCode(product) + L"]", m_from).size(), 1u);
    EXPECT_EQ(Refusals(), (Texts{L"[" + Folder(CSIDL_SYSTEM) + L"] (protected)", L"[" + (m_tmp / L"A\\b.dll") + L"] (shared)",
                                 L"[" + (m_tmp / L"A\\b.dll") + L"] (shared)"}));

    auto plain = Scanner(L"KxDustNotGuid", L"");
    plain->ParseMsiFolder();
    EXPECT_EQ(plain->GetDustCount(), 0u);
}

TEST_F(DustmanTest, TheInstallFolderChainStopsBelowProgramFiles) {
    const std::wstring vendor = Folder(CSIDL_PROGRAM_FILES) + L"\\KxDustVendor" + std::to_wstring(GetCurrentProcessId());
    kxtest::WriteFileBytes(vendor + L"\\App\\f.txt", "x");
    auto dust = Scanner(L"KxDustApp", vendor + L"\\App\\");
    dust->ParseSystemFolder();
    dust->ParseFolderToFile();
    const std::wstring lower = Lower(vendor);
    EXPECT_EQ(ToVector(dust->Folders()), (Texts{lower + L"\\app\\", lower + L"\\"}));
    EXPECT_EQ(ToVector(dust->Files()), Texts{lower + L"\\app\\f.txt"});
    kxtest::RemoveTree(vendor);
}

TEST_F(DustmanTest, LinksAndOtherProgramsFoldersAreNeitherOfferedNorExpanded) {
    const std::wstring links = std::wstring(dusttest::kLinks) + L"\\App\\";
    auto dust = Scanner(L"KxDustLinks", links);
    dust->ParseSystemFolder();
    dust->ParseFolderToFile();
    EXPECT_EQ(ToVector(dust->Files()), Texts{Lower(links) + L"data.txt"});
    EXPECT_EQ(ToVector(dust->Folders()), Texts{Lower(links)});
    EXPECT_EQ(Sorted(Refusals()), (Texts{L"[" + Lower(links) + L"dirlink] (link)", L"[" + Lower(links) + L"filelink.txt] (link)"}));

    // A folder holding another program's folder, a drive root, a profile: nothing at all, not even what names them.
    kxtest::WriteFileBytes(m_tmp / L"Suite\\Tool\\tool.exe", "x");
    kxtest::WriteFileBytes(m_tmp / L"Suite\\readme.txt", "x");
    InsideMap installed;
    installed.emplace(L"Tool", std::make_unique<UnItemInside>());
    installed[L"Tool"]->UninstallKey = L"KxDustTool";
    installed[L"Tool"]->InstallLocation = m_tmp / L"Suite\\Tool\\";
    RegEntry run(HKEY_CURRENT_USER, kRun, L"KxDustRoot");
    run.String(nullptr, L"C:\\KxDustNowhere\\x.exe");
    const struct {
        const wchar_t* key;
        std::wstring folder;
        const wchar_t* reason;
    } kCases[] = {{L"KxDustSuite", m_tmp / L"Suite\\", L"program"},
                  {L"KxDustGone", L"C:\\", L"root"},
                  {L"KxDustProfile", Folder(CSIDL_PROFILE) + L"\\", L"protected"}};
    for (const auto& c : kCases) {
        m_from = kxtest::ComponentLogLineCount();
        auto scan = Scanner(c.key, c.folder, installed);
        scan->Parse();
        EXPECT_EQ(scan->GetDustCount(), 0u) << kxtest::WideToUtf8(c.folder);
        // Refused where the install folder is appended and again where its chain starts.
        const std::wstring line = L"[" + Lower(c.folder) + L"] (" + c.reason + L")";
        EXPECT_EQ(Refusals(), (Texts{line, line}));
    }
}

TEST_F(DustmanTest, RegistryPlacesMatchInLowerCase) {
    const std::wstring app = m_tmp / L"Prog\\App\\";
    kxtest::MakeDirs(app);
    std::wstring upper = app;
    CharUpperBuffW(&upper[0], static_cast<DWORD>(upper.size()));
    RegEntry run(HKEY_LOCAL_MACHINE, kRun, L"KxDustRun");
    run.String(nullptr, upper + L"APP.EXE /tray");
    RegEntry verb(HKEY_CLASSES_ROOT, L"Folder\\Shell\\KxDustVerb");
    kxtest::SetString(HKEY_CLASSES_ROOT, L"Folder\\Shell\\KxDustVerb\\command", nullptr, L"\"" + app + L"app.exe\" \"%1\"");
    RegEntry open(HKEY_CLASSES_ROOT, L"Folder\\Shell\\open\\KxDust");
    open.String(L"path", app);
    RegEntry myapp(HKEY_LOCAL_MACHINE, kUninstall + L"MyKxDustApp");
    RegEntry application(HKEY_LOCAL_MACHINE, kUninstall + L"KxDustApplication");
    application.String(L"DisplayName", L"KxDust Application");
    RegEntry cache(HKEY_CURRENT_USER, kArpCache + L"KxDustAppCache");
    RegEntry cacheInstalled(HKEY_CURRENT_USER, kArpCache + L"KxDustApplication");

    auto dust = Scanner(L"KxDustApp", app);
    dust->ParseReg();
    EXPECT_EQ(Sorted(ToVector(dust->Regs())),
              Sorted({L"HKEY_LOCAL_MACHINE\\" + kRun + L"\\\\kxdustrun", L"HKEY_LOCAL_MACHINE\\" + kUninstall + L"mykxdustapp",
                      L"HKEY_CURRENT_USER\\" + kArpCache + L"kxdustappcache", L"HKEY_CLASSES_ROOT\\Folder\\Shell\\kxdustverb"}));
    EXPECT_EQ(Sorted(Refusals()), Sorted({L"[HKEY_LOCAL_MACHINE\\" + kUninstall + L"kxdustapplication] (installed)",
                                          L"[HKEY_CURRENT_USER\\" + kArpCache + L"kxdustapplication] (installed)",
                                          L"[HKEY_CLASSES_ROOT\\Folder\\Shell\\open] (verb)"}));

    // Names too short or odd match nothing by name: the Uninstall and ARPCache scans say so once, and the
    // Installer and InstallShield folders they name (".." names their parents) are refused.
    const struct {
        const wchar_t* key;
        Texts refused;
    } kOdd[] = {{L"ap", {L"[ap] (name)"}},
                {L"..", {L"[" + Folder(CSIDL_WINDOWS) + L"\\Installer\\..] (system)",
                         L"[" + Folder(CSIDL_PROGRAM_FILES) + L"\\InstallShield Installation Information\\..] (name)",
                         L"[..] (name)"}}};
    for (const auto& odd : kOdd) {
        m_from = kxtest::ComponentLogLineCount();
        auto scan = Scanner(odd.key, L"");
        scan->Parse();
        EXPECT_EQ(scan->GetDustCount(), 0u);
        EXPECT_EQ(Refusals(), odd.refused);
    }
}

TEST_F(DustmanTest, RegMatchModesAndSkippedValues) {
    const std::wstring path = L"Software\\KxDustMatch";
    RegEntry key(HKEY_CURRENT_USER, path);
    key.String(L"First", L"c:\\prog\\a.exe").Dword(L"Second", 7).String(L"Third", L"elsewhere");
    kxtest::SetString(HKEY_CURRENT_USER, path, L"Prog", L"c:\\prog\\b.exe", REG_EXPAND_SZ);
    kxtest::CreateKey(HKEY_CURRENT_USER, path + L"\\ProgSub");
    kxtest::SetString(HKEY_CURRENT_USER, path + L"\\ProgSub", L"Deep", L"C:\\PROG\\c.exe");
    const std::wstring k = L"HKEY_CURRENT_USER\\" + path;
    const struct {
        DWORD flags;
        const wchar_t* match;
        Texts found;
    } kCases[] = {{0x01, L"PROG", {k + L"\\\\first"}},
                  {0x02, L"i", {k + L"\\\\first", k + L"\\\\third"}},
                  {0x03, L"first", {k + L"\\\\first"}},
                  {0x03, L"r", {k + L"\\\\first", k + L"\\\\first", k + L"\\\\third", k + L"\\\\third"}},
                  {0x04, L"prog", {k + L"\\progsub"}},
                  {0x09, L"prog", {k + L"\\progsub\\\\deep", k + L"\\\\first"}}};
    CDustman dust(L"KxDustMatch", L"", nullptr);
    kx::CRegKey open(HKEY_CURRENT_USER, path);
    for (const auto& c : kCases) {
        std::deque<std::wstring> found;
        dust.RegMatch(HKEY_CURRENT_USER, path, open.Get(), c.match, c.flags, found);
        EXPECT_EQ(ToVector(found), c.found) << c.flags << " " << kxtest::WideToUtf8(c.match);
    }
}

TEST_F(DustmanTest, ShortcutsIntoTheFolderNeverThroughALink) {
    const std::wstring app = m_tmp / L"LinkApp\\";
    kxtest::WriteFileBytes(app + L"app.exe", "x");
    std::wstring upper = app + L"APP.EXE";
    CharUpperBuffW(&upper[0], static_cast<DWORD>(upper.size()));
    const std::wstring programs = Folder(CSIDL_COMMON_PROGRAMS) + L"\\KxDust Shortcuts";
    const std::wstring desktop = Folder(CSIDL_DESKTOPDIRECTORY) + L"\\KxDust App.lnk";
    kxtest::MakeDirs(programs);
    ASSERT_TRUE(dusttest::MakeShortcut(programs + L"\\KxDust App.lnk", app + L"app.exe"));
    ASSERT_TRUE(dusttest::MakeShortcut(programs + L"\\KxDust Other.lnk", Folder(CSIDL_SYSTEM) + L"\\notepad.exe"));
    ASSERT_TRUE(dusttest::MakeShortcut(desktop, upper));
    ASSERT_TRUE(dusttest::MakeShortcut(std::wstring(dusttest::kLinks) + L"\\Shortcuts\\KxDust Hidden.lnk", app + L"app.exe"));
    wchar_t szTarget[1024] = {};
    EXPECT_EQ(CDustman::ResolveShortcut((programs + L"\\KxDust Missing.lnk").c_str(), szTarget), -1);
    EXPECT_EQ(CDustman::ResolveShortcut((app + L"app.exe").c_str(), szTarget), 0);
    EXPECT_EQ(CDustman::ResolveShortcut(desktop.c_str(), szTarget), 1);
    EXPECT_EQ(std::wstring(szTarget), upper);

    auto dust = Scanner(L"KxDustApp", Lower(app));
    dust->ParseQuickLink();
    const std::wstring listed = Lower(programs + L"\\KxDust App.lnk");
    EXPECT_EQ(ToVector(dust->Links()), (Texts{Lower(desktop), listed, listed}));
    DeleteFileW(desktop.c_str());
    kxtest::RemoveTree(programs);
    DeleteFileW((std::wstring(dusttest::kLinks) + L"\\Shortcuts\\KxDust Hidden.lnk").c_str());
}

TEST_F(DustmanTest, DumpAndSweepRecords) {
    const std::wstring product = L"{0F1E2D3C-4B5A-4697-8877-665544332211}";
    kxtest::WriteFileBytes(m_tmp / L"D\\one.txt", "1");
    kxtest::WriteFileBytes(m_tmp / L"D\\two.txt", "2");
    auto c1 = Component(L"KXDUST0000000000000000000000000D1", product, m_tmp / L"D\\one.txt");
    auto c2 = Component(L"KXDUST0000000000000000000000000D2", product, m_tmp / L"D\\two.txt");
    RegEntry orphan(HKEY_CURRENT_USER, kUninstall + product);
    auto dust = Scanner(product.c_str(), L"");
    dust->ParseMsiFolder();

    kxtest::TempDir none;  // dumps are named after the second: start from a folder without one
    kxtest::SetDiagConfig(L"Dump", L"Dust", 1);
    WIN32_FIND_DATAW fd;
    const std::wstring pattern = kxtest::LogFolder() + L"D_Dustman_*.txt";
    for (HANDLE h; (h = FindFirstFileW(pattern.c_str(), &fd)) != INVALID_HANDLE_VALUE; FindClose(h))
        DeleteFileW((kxtest::LogFolder() + fd.cFileName).c_str());
    dust->DumpDust();
    kxtest::SetDiagConfig(L"Dump", nullptr, 0);
    HANDLE h = FindFirstFileW(pattern.c_str(), &fd);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    FindClose(h);
    const std::wstring file = kxtest::LogFolder() + fd.cFileName;
    const std::wstring text = L"\xFEFF" L"Dump begin\r\nKey[" + Lower(product) + L"]\r\nDolder=[]\r\n\r\nFile:2\r\n[01]: " +
                              (m_tmp / L"D\\one.txt") + L"\r\n[02]: " + (m_tmp / L"D\\two.txt") +
                              L"\r\nFolder:0\r\nLink:0\r\nRegs:0\r\nDump end\r\n";
    EXPECT_EQ(kxtest::ReadFileBytes(file), std::string(reinterpret_cast<const char*>(text.data()), text.size() * 2));
    DeleteFileW(file.c_str());

    dust->ParseReg();
    ASSERT_EQ(dust->GetDustCount(), 3u);
    std::vector<CPowerSweepItem*> sweep;
    dust->ToSweepList(sweep);
    EXPECT_EQ(dust->GetDustCount(), 0u);
    const struct {
        UINT kind, id, level;
        std::wstring path;
    } kExpected[] = {{0, 0, 0, L"全部"},
                     {2, 0, 1, L"文件"},
                     {2, 2, 2, m_tmp / L"D\\one.txt"},
                     {2, 3, 2, m_tmp / L"D\\two.txt"},
                     {3, 0, 1, L"注册表"},
                     {3, 5, 2, L"HKEY_CURRENT_USER\\" + kUninstall + Lower(product)}};
    ASSERT_EQ(sweep.size(), 6u);
    for (size_t i = 0; i < sweep.size(); ++i) {
        EXPECT_EQ(sweep[i]->Kind, kExpected[i].kind) << i;
        EXPECT_EQ(sweep[i]->Id, kExpected[i].id) << i;
        EXPECT_EQ(sweep[i]->Level, kExpected[i].level) << i;
        EXPECT_EQ(sweep[i]->Path, kExpected[i].path) << i;
        delete sweep[i];
    }
}

TEST_F(DustmanTest, ParseLogsItsStepsInOrderAndStopsOnTheEvent) {
    kxtest::WriteFileBytes(m_tmp / L"S\\s.txt", "x");
    auto dust = Scanner(L"KxDustSteps", m_tmp / L"S\\");
    dust->Parse();
    Texts lines;
    // A guard refusal may fall between the steps: whether the temp folder is reached depends on what
    // else the machine keeps there.
    for (const std::wstring& line : kxtest::LogLinesContaining(L"[F.CDustman::Parse()] ", m_from)) {
        std::wstring text = line.substr(line.find(L"()] ") + 4);
        if (text.rfind(L"guard: ", 0) != 0) lines.push_back(text);
    }
    EXPECT_EQ(lines, (Texts{L"Begin", L"step.1 Parse Msi", L"step.2 Parse system folder", L"step.3 Parse folder to file",
                            L"step.4 Parse quick link", L"step.5 Parse reg", L"End"}));
    // The file, the folder, and the case's own folder that it alone kept; the temp folder above is refused.
    EXPECT_EQ(dust->GetDustCount(), 3u);

    kx::unique_handle stop(CreateEventW(nullptr, TRUE, TRUE, nullptr));
    m_from = kxtest::ComponentLogLineCount();
    CDustman stopped(L"KxDustSteps", (m_tmp / L"S\\").c_str(), stop.get());
    stopped.SetGuardContext(MakeDustGuardContext(L"KxDustSteps", (m_tmp / L"S\\").c_str(), InsideMap()));
    stopped.Parse();
    EXPECT_EQ(stopped.GetDustCount(), 0u);
    EXPECT_EQ(kxtest::LogLinesContaining(L"] !!iErr code:[15]", m_from).size(), 1u);
    EXPECT_TRUE(kxtest::LogLinesContaining(L"step.2", m_from).empty());
}

}  // namespace
