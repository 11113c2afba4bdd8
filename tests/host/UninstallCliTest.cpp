// kxuninst uninstall's own pieces that need no uninstaller: its arguments, the choice of leftovers, the states
// recovered from the data component's record, and the readers of the Recycle Bin and the component's log.
#include <gtest/gtest.h>

#include "CliArgs.h"
#include "ComponentLog.h"
#include "LeftoverTree.h"
#include "RecycleBin.h"
#include "UninstallStates.h"
#include "CliRun.h"
#include "kxtest/HostLayout.h"

namespace {

TEST(UninstallArgs, OptionsAndTheirErrors) {
    struct Case {
        std::vector<std::wstring> args;
        bool ok;
        SweepMode sweep;
        const wchar_t* listOrError;
    };
    const Case cases[] = {
        {{L"uninstall", L"KxSample Diary 3.0", L"--yes", L"--sweep", L"all"}, true, SweepMode::All, L""},
        {{L"--sweep", L"none", L"uninstall", L"7"}, true, SweepMode::None, L""},
        {{L"uninstall", L"-y", L"x", L"--sweep", L"keep", L"--allow-changes"}, true, SweepMode::Keep, L""},
        {{L"uninstall", L"x", L"--sweep", L"2,4-6"}, true, SweepMode::List, L"2,4-6"},
        {{L"uninstall"}, false, SweepMode::Ask, L"uninstall needs one program"},
        {{L"uninstall", L"a", L"b"}, false, SweepMode::Ask, L"uninstall needs one program"},
        {{L"uninstall", L"x", L"--sweep", L"some"}, false, SweepMode::Ask, L"--sweep takes all, none, keep or numbers"},
        {{L"list", L"--yes"}, false, SweepMode::Ask, L"--yes, --allow-changes and --sweep belong to the uninstall"},
        {{L"show", L"x", L"--sweep", L"all"}, false, SweepMode::Ask, L"belong to the uninstall command"},
    };
    for (const Case& c : cases) {
        CliOptions opt;
        std::wstring error;
        std::string args = kxtest::WideToUtf8(c.args.empty() ? L"" : c.args.back());
        ASSERT_EQ(ParseCliArgs(c.args, opt, error), c.ok) << args << kxtest::WideToUtf8(error);
        if (!c.ok) {
            EXPECT_NE(error.find(c.listOrError), std::wstring::npos) << kxtest::WideToUtf8(error);
            continue;
        }
        EXPECT_EQ(opt.command, CliCommand::Uninstall);
        EXPECT_EQ(opt.sweep, c.sweep) << args;
        EXPECT_EQ(opt.sweepList, c.listOrError) << args;
    }
}

CPowerSweepItem item(UINT kind, UINT id, UINT level, const wchar_t* path) {
    CPowerSweepItem it;
    it.Kind = kind;
    it.Id = id;
    it.Level = level;
    it.Path = path;
    return it;
}

// The list as the scanner builds it: root, then files (ids 2, 3), registry (id 5), folders (id 7).
std::vector<Leftover> SampleLeftovers() {
    return MeasureLeftovers({item(0, 0, 0, L"全部"), item(2, 0, 1, L"文件"), item(2, 2, 2, L"C:\\no\\such\\a.dat"),
                             item(2, 3, 2, L"C:\\no\\such\\b.dat"), item(3, 0, 1, L"注册表"),
                             item(3, 5, 2, L"HKEY_CURRENT_USER\\Software\\X"), item(1, 0, 1, L"文件夹"),
                             item(1, 7, 2, L"C:\\no\\such\\")});
}

TEST(UninstallChoice, NumbersRangesAndGroups) {
    const std::vector<Leftover> list = SampleLeftovers();
    // Numbers as shown: 1 files, 2 a.dat, 3 b.dat, 4 registry, 5 X, 6 folders, 7 the folder.
    const std::pair<const wchar_t*, std::vector<UINT>> good[] = {
        {L"all", {2, 3, 5, 7}}, {L"ALL", {2, 3, 5, 7}}, {L"2", {2}},          {L"1", {2, 3}},
        {L"7,2", {2, 7}},       {L"3-5", {3, 5}},       {L"1 2, 2", {2, 3}}, {L"4-7", {5, 7}},
    };
    for (const auto& [answer, ids] : good) {
        std::vector<UINT> chosen;
        std::wstring error;
        EXPECT_TRUE(ChooseLeftovers(list, answer, chosen, error)) << kxtest::WideToUtf8(answer);
        EXPECT_EQ(chosen, ids) << kxtest::WideToUtf8(answer);
    }
    for (const wchar_t* bad : {L"0", L"8", L"x", L"5-3", L"2-", L"", L" , ", L"-1", L"1.5"}) {
        std::vector<UINT> chosen;
        std::wstring error;
        EXPECT_FALSE(ChooseLeftovers(list, bad, chosen, error)) << kxtest::WideToUtf8(bad);
    }
}

TEST(UninstallChoice, TreeNumbersGroupsAndEntries) {
    EXPECT_EQ(LeftoverTree(SampleLeftovers(), L"Diary"),
              "Leftovers of Diary: 4 entries in 3 groups\n"
              "   1  文件 files (2, 0 B)\n"
              "   2        gone  C:\\no\\such\\a.dat\n"
              "   3        gone  C:\\no\\such\\b.dat\n"
              "   4  注册表 registry (1)\n"
              "   5              HKEY_CURRENT_USER\\Software\\X\n"
              "   6  文件夹 folders (1)\n"
              "   7        gone  C:\\no\\such\\\n");
}

// A shortcut found twice (the Start menu's programs folder lies in two of the folders the scanner walks) is one
// choice, whichever number is given, and the tree says which line repeats which; the same path in another group,
// or with another case or trailing backslash, is judged as the rows go.
TEST(UninstallChoice, APathOfferedTwiceIsOneChoice) {
    const std::vector<Leftover> list = MeasureLeftovers(
        {item(0, 0, 0, L"全部"), item(4, 0, 1, L"快捷方式"), item(4, 11, 2, L"C:\\no\\Start\\d.lnk"),
         item(4, 12, 2, L"C:\\no\\desk\\d.lnk"), item(4, 13, 2, L"c:\\no\\start\\D.LNK"), item(1, 0, 1, L"文件夹"),
         item(1, 21, 2, L"C:\\no\\Start\\d.lnk"), item(1, 22, 2, L"C:\\no\\such"), item(1, 23, 2, L"C:\\no\\such\\\\")});
    EXPECT_EQ(LeftoverRowOf(list), (std::vector<size_t>{0, 1, 2, 3, 2, 5, 6, 7, 7}));
    // Numbers as shown: 1 shortcuts, 2 and 4 the same shortcut, 3 another, 5 folders, 6, 7 and 8 the same folder.
    const std::pair<const wchar_t*, std::vector<UINT>> answers[] = {
        {L"2", {11, 13}}, {L"4", {11, 13}}, {L"3", {12}}, {L"6", {21}}, {L"8", {22, 23}}, {L"1", {11, 12, 13}},
    };
    for (const auto& [answer, ids] : answers) {
        std::vector<UINT> chosen;
        std::wstring error;
        EXPECT_TRUE(ChooseLeftovers(list, answer, chosen, error)) << kxtest::WideToUtf8(answer);
        EXPECT_EQ(chosen, ids) << kxtest::WideToUtf8(answer);
    }
    EXPECT_EQ(LeftoverTree(list, L"Diary"),
              "Leftovers of Diary: 6 entries in 2 groups\n"
              "   1  快捷方式 shortcuts (3, 0 B)\n"
              "   2        gone  C:\\no\\Start\\d.lnk\n"
              "   3        gone  C:\\no\\desk\\d.lnk\n"
              "   4        gone  c:\\no\\start\\D.LNK  (the same as 2)\n"
              "   5  文件夹 folders (3)\n"
              "   6        gone  C:\\no\\Start\\d.lnk\n"
              "   7        gone  C:\\no\\such\n"
              "   8        gone  C:\\no\\such\\\\  (the same as 7)\n");
}

TEST(UninstallStates, TwoChangesBetweenLooksShowBoth) {
    StateTrail trail;
    KX_SOFT_STATE s = {9, 15, {0, 1}};
    trail.Begin(s);
    const struct {
        UINT state, previous, changes;
        std::vector<UINT> reached;
    } steps[] = {
        {17, 16, 3, {16, 17}},  // 16 and 17 came before the host looked
        {17, 16, 3, {}},        // a second notification for a change already seen
        {16, 17, 4, {16}},
        {20, 18, 7, {18, 20}},  // more than two: the ones in between are lost, the last two are known
    };
    for (const auto& step : steps) {
        s.nState = step.state;
        s.nReserved[0] = step.previous;
        s.nReserved[1] = step.changes;
        EXPECT_EQ(trail.Advance(s), step.reached) << step.state;
    }
    EXPECT_TRUE(trail.SawUninstaller());
    EXPECT_EQ(StateWords(16, false), "preparing the uninstall");
    EXPECT_EQ(StateWords(16, true), "looking for leftovers");
}

TEST(UninstallEvidence, TrashPathsAndGuardLines) {
    EXPECT_EQ(UrlDecode("/p/drive_c/Program%20Files/%E5%BE%AE%E4%BF%A1/a%25b"),
              "/p/drive_c/Program Files/\xE5\xBE\xAE\xE4\xBF\xA1/a%b");
    EXPECT_EQ(UrlDecode("bad%2"), "bad%2");
    const std::vector<std::wstring> added = {L"C:\\Program Files\\Diary", L"C:\\users\\u\\Desktop\\d.lnk"};
    const std::pair<const wchar_t*, bool> held[] = {
        {L"c:\\program files\\diary\\", true}, {L"C:\\Program Files\\Diary\\Entries\\a.txt", true},
        {L"C:\\Program Files\\Diary2", false}, {L"C:\\users\\u\\desktop\\D.LNK", true},
        {L"C:\\Program Files", false},
    };
    for (const auto& [path, expected] : held)
        EXPECT_EQ(RecycleBin::Holds(added, path), expected) << kxtest::WideToUtf8(path);

    const std::vector<std::wstring> log = {
        L"[12:00:01][CDustman::DeleteFileDust] guard: refused [C:\\Prog\\Other] (program)",
        L"[12:00:02][CDustman::DeleteRegDust] guard: refused [HKEY_CURRENT_USER\\Software\\X] (installed)",
    };
    EXPECT_EQ(GuardRefusal(log, L"c:\\prog\\other\\"), L"program");
    EXPECT_EQ(GuardRefusal(log, L"HKEY_CURRENT_USER\\Software\\X"), L"installed");
    EXPECT_EQ(GuardRefusal(log, L"C:\\Prog"), L"");
}

TEST(UninstallRefusals, BeforeTheComponentStarts) {
    // Standard input is no console under the test runner.
    const std::wstring cli = kxtest::ExeFolder() + L"kxuninst.exe";
    const struct {
        const wchar_t* readOnlyPrefix;
        const wchar_t* args;
        const char* says;
    } cases[] = {
        {L"/home/u/.wine", L"uninstall x --yes", "kxuninst: the prefix /home/u/.wine is only read here; uninstalling "
                                                 "changes it: add --allow-changes to do it anyway\n"},
        {nullptr, L"uninstall x", "kxuninst: no terminal to ask for confirmation: give --yes to uninstall without "
                                  "asking\n"},
        {L"/home/u/.wine", L"uninstall x --allow-changes", "kxuninst: no terminal to ask for confirmation"},
    };
    for (const auto& c : cases) {
        SetEnvironmentVariableW(L"KXUNINST_READ_ONLY_PREFIX", c.readOnlyPrefix);
        CliResult r = RunCli(cli, c.args);
        SetEnvironmentVariableW(L"KXUNINST_READ_ONLY_PREFIX", nullptr);
        EXPECT_EQ(r.exitCode, 2u) << kxtest::WideToUtf8(c.args);
        EXPECT_EQ(r.err.rfind(c.says, 0), 0u) << r.err;
        EXPECT_TRUE(r.out.empty());
    }
}

}  // namespace
