// The harness's sandbox seen from inside the prefix: the profile folders a scan walks are plain folders of the
// prefix, and a deletion to the Recycle Bin lands in the prefix's own trash, never in the Unix user's home.
#include <windows.h>
#include <knownfolders.h>
#include <shellapi.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include "kxtest/HostLayout.h"
#include "kxtest/SandboxedPrefix.h"
#include "kxtest/TempDir.h"

namespace {

using kxtest::PathExists;

std::wstring Env(const wchar_t* name) {
    wchar_t value[4096] = {};
    DWORD n = GetEnvironmentVariableW(name, value, 4096);
    return n && n < 4096 ? value : L"";
}

std::wstring UniqueName(const wchar_t* stem) {
    return stem + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(GetTickCount()) + L".txt";
}

bool StartsWith(const std::string& s, const std::string& head) {
    return s.size() > head.size() && s.compare(0, head.size(), head) == 0 && s[head.size()] == '/';
}

// The Unix user's home that the harness replaced (it passes it on as KX_REAL_HOME), in Windows form.
std::wstring RealHome() {
    std::string home = kxtest::WideToUtf8(Env(L"KX_REAL_HOME"));
    std::wstring path = kxtest::WindowsPathOfUnix(home);
    EXPECT_FALSE(path.empty()) << "KX_REAL_HOME is not set: run through scripts/wine-harness";
    EXPECT_TRUE(PathExists(path)) << home;
    return path;
}

struct ProfileFolder {
    const wchar_t* name;  // also the name of the home's own folder that Wine would link it to
    const KNOWNFOLDERID* id;
};
const ProfileFolder kProfileFolders[] = {
    {L"Desktop", &FOLDERID_Desktop},   {L"Documents", &FOLDERID_Documents}, {L"Downloads", &FOLDERID_Downloads},
    {L"Music", &FOLDERID_Music},       {L"Pictures", &FOLDERID_Pictures},   {L"Videos", &FOLDERID_Videos},
    {L"Templates", &FOLDERID_Templates}};

TEST(PrefixSandbox, ProfileFoldersArePlainFoldersOfThePrefix) {
    const std::wstring home = RealHome();
    ASSERT_FALSE(home.empty());
    for (const ProfileFolder& folder : kProfileFolders) {
        SCOPED_TRACE(folder.name);
        PWSTR raw = nullptr;
        ASSERT_EQ(SHGetKnownFolderPath(*folder.id, 0, nullptr, &raw), S_OK);
        std::wstring path = raw;
        CoTaskMemFree(raw);
        // Wine shows a folder that is a Unix link as a reparse point. Nothing is written through a link.
        DWORD attributes = GetFileAttributesW(path.c_str());
        ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES) << kxtest::WideToUtf8(path);
        ASSERT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
        ASSERT_FALSE(attributes & FILE_ATTRIBUTE_REPARSE_POINT) << kxtest::WideToUtf8(path);

        const std::wstring name = UniqueName(L"kx-sandbox-");
        kxtest::WriteFileBytes(path + L"\\" + name, "sandbox");
        EXPECT_TRUE(PathExists(path + L"\\" + name));
        // Wine links the folder to the home's folder of that name, or to the home itself when there is none.
        EXPECT_FALSE(PathExists(home + L"\\" + name));
        EXPECT_FALSE(PathExists(home + L"\\" + folder.name + L"\\" + name));
        EXPECT_TRUE(DeleteFileW((path + L"\\" + name).c_str()));
    }
}

TEST(PrefixSandbox, RecycleBinIsTheTrashOfThePrefix) {
    const std::string prefix = kxtest::PrefixUnixPath();
    const std::string realHome = kxtest::WideToUtf8(Env(L"KX_REAL_HOME"));
    const std::string dataHome = kxtest::WideToUtf8(Env(L"XDG_DATA_HOME"));
    ASSERT_FALSE(realHome.empty()) << "KX_REAL_HOME is not set: run through scripts/wine-harness";
    // Nothing goes to a trash outside the prefix.
    ASSERT_TRUE(StartsWith(dataHome, prefix)) << dataHome;
    ASSERT_FALSE(StartsWith(dataHome, realHome)) << dataHome;
    const std::wstring trash = kxtest::WindowsPathOfUnix(dataHome + "/Trash");
    const std::wstring userTrash = kxtest::WindowsPathOfUnix(realHome + "/.local/share/Trash");
    ASSERT_FALSE(trash.empty());

    kxtest::TempDir temp;
    const std::wstring name = UniqueName(L"kx-recycled-");
    const std::wstring file = temp / name;
    kxtest::WriteFileBytes(file, "recycled");
    std::wstring from = file + L'\0';  // a list, ended by an empty name
    SHFILEOPSTRUCTW op = {};
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI;
    ASSERT_EQ(SHFileOperationW(&op), 0);
    EXPECT_FALSE(op.fAnyOperationsAborted);
    EXPECT_FALSE(PathExists(file));

    const std::wstring kept = trash + L"\\files\\" + name, info = trash + L"\\info\\" + name + L".trashinfo";
    EXPECT_EQ(kxtest::ReadFileBytes(kept), "recycled");
    // Wine records the original Unix path (through dosdevices, URL-encoded), so the file can be restored.
    const std::string infoText = kxtest::ReadFileBytes(info);
    EXPECT_EQ(infoText.rfind("[Trash Info]\nPath=/", 0), 0u) << infoText;
    EXPECT_NE(infoText.find("/" + kxtest::WideToUtf8(name) + "\nDeletionDate="), std::string::npos) << infoText;
    EXPECT_FALSE(PathExists(userTrash + L"\\files\\" + name));
    DeleteFileW(kept.c_str());
    DeleteFileW(info.c_str());
}

// The refusal that every test binary's main() applies, on markers of each kind.
TEST(PrefixSandbox, OnlyTheCurrentMarkerIsAccepted) {
    EXPECT_EQ(kxtest::SandboxRefusal(kxtest::PrefixUnixPath()), "");
    EXPECT_NE(kxtest::SandboxRefusal(""), "");

    kxtest::TempDir folder;
    const std::string unixFolder = kxtest::UnixPathOfWindows(folder.Path());
    ASSERT_FALSE(unixFolder.empty());
    EXPECT_NE(kxtest::SandboxRefusal(unixFolder), "") << "no marker";
    const struct { const char* marker; bool accepted; } cases[] = {
        {"", false},  // the harness before the sandbox
        {"kx-sandboxed-prefix 0\n", false},
        {"kx-sandboxed-prefix 1", true},
        {"kx-sandboxed-prefix 1\nhome=/x/.kx-home\n", true},
        {"kx-sandboxed-prefix 10\n", false},
    };
    for (const auto& c : cases) {
        kxtest::WriteFileBytes(folder / L".kx-ready", c.marker);
        EXPECT_EQ(kxtest::SandboxRefusal(unixFolder).empty(), c.accepted) << c.marker;
    }
}

// Starts a Linux program (Wine runs ELF files natively) and waits until `done` holds, for up to 30 s: the process
// handle Wine returns for it is signalled before the program has finished.
template <typename Done>
bool RunUnix(const std::wstring& commandLine, Done done) {
    std::wstring line = commandLine;
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return false;
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    for (int i = 0; i < 300 && !done(); ++i) Sleep(100);
    return done();
}

// Wine 8 can neither make nor remove a folder link itself (CreateSymbolicLinkW succeeds and makes nothing;
// deleting through a link deletes in its target), so the link is made and removed by the Linux tools.
TEST(TestDeletion, RemoveTreeLeavesWhatALinkLeadsTo) {
    kxtest::TempDir outer, target;
    kxtest::WriteFileBytes(target / L"keep.txt", "keep");
    const std::string link = kxtest::UnixPathOfWindows(outer / L"link");
    ASSERT_FALSE(link.empty());
    const std::wstring linkPath = outer / L"link";
    ASSERT_TRUE(RunUnix(L"Z:\\bin\\ln -s \"" + kxtest::Utf8ToWide(kxtest::UnixPathOfWindows(target.Path())) + L"\" \"" +
                            kxtest::Utf8ToWide(link) + L"\"",
                        [&] { return PathExists(linkPath); }))
        << "ln made no link";
    ASSERT_TRUE(GetFileAttributesW(linkPath.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT);

    kxtest::RemoveTree(outer.Path());
    kxtest::RemoveTree(linkPath);
    EXPECT_EQ(kxtest::ReadFileBytes(target / L"keep.txt"), "keep");
    EXPECT_TRUE(PathExists(linkPath));
    EXPECT_TRUE(RunUnix(L"Z:\\bin\\rm \"" + kxtest::Utf8ToWide(link) + L"\"", [&] { return !PathExists(linkPath); }));
}

}  // namespace
