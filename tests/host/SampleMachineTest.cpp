// kxuninst.exe on the sample machine (scripts/sample-machine): the whole chain from the installed programs
// through discovery, the rules and the cache to what the CLI prints, compared with golden files where the
// output is the machine's. Runs inside the sample machine's prefix and starts the CLI of the build's install
// layout, as a user would; each test keeps the list cache in a folder of its own.
#include <gtest/gtest.h>

#include <regex>

#include "CliRun.h"
#include "Golden.h"
#include "kxtest/HostLayout.h"
#include "kxtest/TempDir.h"

namespace {

std::wstring CliPath() { return FolderFromEnv(L"KXTEST_BIN_DIR") + L"kxuninst.exe"; }

// Programs without a rule or a QZAppID get a new GUID as SoftId (and so a new id) in each full build; the
// prefix's user is the user who runs the tests.
std::string MaskRunSpecifics(const std::string& json) {
    static const std::regex guidLine(
        "( *\"id\": )[0-9]+(,\n *\"softId\": )\"[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\"",
        std::regex::icase);
    static const std::regex userFolder(R"((\\\\users\\\\)[^\\]+(\\\\))", std::regex::icase);
    return std::regex_replace(std::regex_replace(json, guidLine, "$1<from the new SoftId>$2\"<new GUID>\""), userFolder,
                              "$1<user>$2");
}

size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

class SampleMachine : public ::testing::Test {
protected:
    // One probe for the whole suite: when the chain cannot build a list at all, every test says so at once
    // instead of waiting for its own time-outs.
    static void SetUpTestSuite() {
        kxtest::TempDir cache;
        s_probe = RunCli(CliPath(), L"list --quiet --timeout 30 --cache-dir \"" + cache.Path() + L"\"");
    }

    void SetUp() override {
        ASSERT_NE(GetFileAttributesW(CliPath().c_str()), INVALID_FILE_ATTRIBUTES) << "set KXTEST_BIN_DIR";
        ASSERT_EQ(s_probe.exitCode, 0u) << "kxuninst list fails on the sample machine:\n" << s_probe.err;
    }

    // The CLI with this test's cache folder.
    CliResult Run(const std::wstring& args) {
        return RunCli(CliPath(), args + L" --quiet --timeout 30 --cache-dir \"" + m_cache.Path() + L"\"");
    }

    static CliResult s_probe;
    kxtest::TempDir m_cache;
};

CliResult SampleMachine::s_probe;

TEST_F(SampleMachine, OutputsMatchTheirGoldenFiles) {
    // Install dates, sizes and access times are the machine's; the folder's Linux path is the build's.
    const std::vector<std::string> jsonMasks = {"\"installDate\": ", "\"size\": ", "\"accessed\": "};
    const std::vector<std::string> sheetMasks = {"Size ", "Installed ", "Accessed ", "/"};
    const struct { const wchar_t* args; const char* golden; std::vector<std::string> masks; } cases[] = {
        {L"list --json", "sample-list.json", jsonMasks},
        {L"categories", "sample-categories.txt", {}},
        {L"show 7-zip", "sample-show.txt", sheetMasks},
    };
    for (const auto& c : cases) {
        CliResult r = Run(c.args);
        EXPECT_EQ(r.exitCode, 0u) << r.err;
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(GoldenMismatch(c.golden, MaskRunSpecifics(MaskLines(r.out, c.masks))), "");
    }
}

TEST_F(SampleMachine, EachRunPrintsOneTableAndTheNextRunHasTheSameIds) {
    // The second run reads the cache the first one saved: the software-centre program, which has no registry
    // key, is not in it, and discovery adds it; the table is still printed once, when the list is final.
    CliResult first = Run(L"list");
    CliResult second = Run(L"list");
    ASSERT_EQ(first.exitCode, 0u) << first.err;
    ASSERT_EQ(second.exitCode, 0u) << second.err;
    EXPECT_TRUE(kxtest::PathExists(m_cache / L"KxUninstall_32"));
    EXPECT_EQ(Count(second.out, "ID "), 1u) << second.out;
    EXPECT_EQ(first.out, second.out);
    // The component's own line about the cache went to the CLI's log, not to the terminal.
    EXPECT_EQ(second.err.find("protocol version"), std::string::npos) << second.err;
}

TEST_F(SampleMachine, CategoriesByNameOrIdAndASearchThatNamesOne) {
    const struct { const wchar_t* args; DWORD exitCode; const char* out; const char* err; } cases[] = {
        {L"search --category 13", 0, "7-Zip 23.01 (x64)", ""},
        {L"search --category 压缩刻录", 0, "7-Zip 23.01 (x64)", ""},
        {L"search --category 99", 2, "", "kxuninst: unknown category '99'; the categories are: 0 全部软件, "},
        {L"search 聊天通讯", 0, "ID ", "\"聊天通讯\" is a category: kxuninst search --category 聊天通讯"},
        {L"search kxsample", 0, "KxSample Image Viewer", ""},
        {L"show nothing-like-it", 1, "", "kxuninst: no program is named or numbered 'nothing-like-it'"},
        {L"show kxsample", 2, "", "kxuninst: 'kxsample' names 4 programs; give one of their ids:"},
    };
    for (const auto& c : cases) {
        // Notes go to standard error only without --quiet.
        CliResult r =
            RunCli(CliPath(), std::wstring(c.args) + L" --timeout 30 --cache-dir \"" + m_cache.Path() + L"\"");
        std::string args = kxtest::WideToUtf8(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << args << "\n" << r.err;
        EXPECT_NE(r.out.find(c.out), std::string::npos) << args << "\n" << r.out;
        EXPECT_NE(r.err.find(c.err), std::string::npos) << args << "\n" << r.err;
    }
}

TEST_F(SampleMachine, RefreshGivesNewIdsOnlyToProgramsWithoutARuleOrGuid) {
    std::string listed = Run(L"list --json").out;
    std::string refreshed = Run(L"refresh --json").out;
    ASSERT_FALSE(listed.empty());
    EXPECT_NE(listed, refreshed);
    EXPECT_EQ(MaskRunSpecifics(listed), MaskRunSpecifics(refreshed));
}

TEST_F(SampleMachine, TimeOutIsAnErrorWithNothingOnStandardOutput) {
    CliResult r = RunCli(CliPath(), L"list --json --timeout 0.001 --cache-dir \"" + m_cache.Path() + L"\"");
    EXPECT_EQ(r.exitCode, 4u) << r.err;
    EXPECT_NE(r.err.find("timed out after 0.0 s"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("the component's log is in /"), std::string::npos) << r.err;
    EXPECT_TRUE(r.out.empty()) << r.out;
}

TEST_F(SampleMachine, CtrlCEndsTheWaitWith130) {
    // Under ctest the CLI's standard handles are pipes and it has no console, so no console control event can
    // reach it: it gets a console of its own, which this test joins to send the event. The data component
    // holds its rules back, so the list cannot be ready before the event.
    SetEnvironmentVariableW(L"KXDATA_LOAD_DELAY", L"60000");
    CliProcess child;
    bool started =
        child.Start(CliPath(), L"list --verbose --cache-dir \"" + m_cache.Path() + L"\"", CREATE_NEW_CONSOLE);
    SetEnvironmentVariableW(L"KXDATA_LOAD_DELAY", nullptr);
    ASSERT_TRUE(started);
    for (int i = 0; i < 300 && child.ErrSoFar().find("waiting for the list") == std::string::npos; ++i) Sleep(100);
    ASSERT_NE(child.ErrSoFar().find("waiting for the list"), std::string::npos) << child.ErrSoFar();

    FreeConsole();
    ASSERT_TRUE(AttachConsole(child.ProcessId())) << GetLastError();
    SetConsoleCtrlHandler(nullptr, TRUE);
    EXPECT_TRUE(GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0));
    FreeConsole();
    SetConsoleCtrlHandler(nullptr, FALSE);

    CliResult r = child.Finish(20000);
    EXPECT_EQ(r.exitCode, 130u) << r.err;
    EXPECT_NE(r.err.find("kxuninst: interrupted (Ctrl-C) while reading the installed software"), std::string::npos)
        << r.err;
    EXPECT_TRUE(r.out.empty()) << r.out;
}

}  // namespace
