// KxVStart.exe run as a process beside this binary, on a soft.ini and program folders of its own: it removes only
// the one initialised program its name names, through the guard, and changes nothing otherwise.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "kxtest/ChildProcess.h"
#include "kxtest/HostLayout.h"
#include "kxtest/Log.h"
#include "kxtest/TempDir.h"

namespace {

// Runs the starter with the given arguments; its exit code.
DWORD RunStarter(const std::wstring& strArgs) {
    return kxtest::RunToEnd(L"\"" + kxtest::ExeFolder() + L"KxVStart.exe\" " + strArgs, 30000);
}

std::wstring SoftIni() { return kxtest::ConfFolder() + L"soft.ini"; }

class Starter : public testing::Test {
protected:
    // A software-centre program: its folder with a qz.ini (initialised or not) and a file.
    std::wstring Program(const std::wstring& strName, bool bInitialised = true) {
        std::wstring folder = dir / strName;
        kxtest::WriteFileBytes(folder + L"\\app.exe", "app");
        kxtest::WriteFileBytes(folder + L"\\qz.ini",
                               std::string("[Soft]\r\nInitialized=") + (bInitialised ? "1" : "0") + "\r\n");
        return folder;
    }
    void WriteList(const std::vector<std::wstring>& lines) {
        std::wstring text = L"[Vinst]\r\n";
        for (const std::wstring& line : lines) text += line + L"\r\n";
        kxtest::WriteUtf16File(SoftIni(), text);
    }
    std::vector<std::wstring> ListLines() {
        wchar_t sz[4096] = {};
        DWORD n = GetPrivateProfileSectionW(L"Vinst", sz, 4096, SoftIni().c_str());
        std::vector<std::wstring> lines;
        for (DWORD i = 0; i < n && sz[i]; i += static_cast<DWORD>(wcslen(sz + i)) + 1) lines.push_back(sz + i);
        return lines;
    }
    void TearDown() override { DeleteFileW(SoftIni().c_str()); }
    kxtest::TempDir dir;
};

TEST_F(Starter, RemovesTheOneProgramItsNameNames) {
    const std::wstring tag = std::to_wstring(GetTickCount());
    const std::wstring player = Program(L"Qz Player " + tag), other = Program(L"QzOther" + tag);
    WriteList({L"player=" + player, L"other=" + other});
    EXPECT_EQ(RunStarter(L"/u qz player " + tag), 0u) << "a name with spaces, in another letter case";
    EXPECT_FALSE(kxtest::PathExists(player));
    EXPECT_TRUE(kxtest::PathExists(other + L"\\app.exe"));
    EXPECT_EQ(ListLines(), (std::vector<std::wstring>{L"other=" + other}));
}

// Every refusal leaves the folders and the list as they were.
TEST_F(Starter, ChangesNothingWhenTheNameOrTheFolderIsNotRight) {
    const std::wstring a = Program(L"Same"), twin = Program(L"Twin\\Same"), idle = Program(L"Idle", false);
    std::wstring profile(MAX_PATH, L'\0');
    profile.resize(GetEnvironmentVariableW(L"USERPROFILE", &profile[0], MAX_PATH));
    const std::vector<std::wstring> list = {L"a=" + a, L"twin=" + twin, L"idle=" + idle, L"home=" + profile};
    const struct { const wchar_t* args; DWORD code; } cases[] = {
        {L"", 2}, {L"/x Same", 2}, {L"/u", 2}, {L"/u Missing", 3}, {L"/u Idle", 3}, {L"/u Same", 4},
    };
    WriteList(list);
    for (const auto& c : cases) {
        EXPECT_EQ(RunStarter(c.args), c.code) << kxtest::WideToUtf8(c.args);
        EXPECT_TRUE(kxtest::PathExists(a + L"\\app.exe") && kxtest::PathExists(twin + L"\\app.exe"));
        EXPECT_EQ(ListLines(), list);
    }
    // The profile, listed as a program with an initialised qz.ini, is never removed.
    const std::wstring qz = profile + L"\\qz.ini";
    kxtest::WriteFileBytes(qz, "[Soft]\r\nInitialized=1\r\n");
    std::wstring home = profile.substr(profile.rfind(L'\\') + 1);
    EXPECT_EQ(RunStarter(L"/u " + home), 5u);
    DeleteFileW(qz.c_str());
    EXPECT_TRUE(kxtest::PathExists(profile));
    EXPECT_EQ(ListLines(), list);
}

// A program whose folder holds a link to a folder is never moved: the Recycle Bin may not take the folder, and the
// shell would then delete it for good, following the link.
TEST_F(Starter, NeverMovesAFolderWithALinkToAFolderBelowIt) {
    const std::wstring centre = L"C:\\KxDustLinks\\Centre";
    kxtest::WriteFileBytes(centre + L"\\qz.ini", "[Soft]\r\nInitialized=1\r\n");
    WriteList({L"centre=" + centre});
    EXPECT_EQ(RunStarter(L"/u Centre"), 5u);
    EXPECT_TRUE(kxtest::PathExists(centre + L"\\sub\\dirlink"));
    EXPECT_TRUE(kxtest::PathExists(L"C:\\KxDustLinks\\Kept\\keep.txt"));
    EXPECT_EQ(ListLines(), (std::vector<std::wstring>{L"centre=" + centre}));
}

}  // namespace
