// kxuninst.exe on its own: the command line, the views (as golden files), orders and lookups, and the failures
// a user meets before the component runs. Needs no installed software.
#include <gtest/gtest.h>

#include "CliArgs.h"
#include "CliCategories.h"
#include "CliRun.h"
#include "Golden.h"
#include "ListRender.h"
#include "ProgramList.h"
#include "WinText.h"
#include "kxtest/HostLayout.h"
#include "kxtest/TempDir.h"

namespace {

std::string Joined(const std::vector<std::wstring>& args) {
    std::wstring joined;
    for (const auto& a : args) joined += L"[" + a + L"]";
    return kxtest::WideToUtf8(joined);
}

TEST(CliArgs, CommandsOperandsAndOptionsInAnyOrder) {
    struct Case {
        std::vector<std::wstring> args;
        CliCommand command;
        std::wstring target;
        bool byCategory;
        SortKey sort;
        unsigned timeoutMs;
    };
    const Case cases[] = {
        {{L"list", L"--json", L"--cache-dir", L"C:\\c", L"--timeout", L"2.5"}, CliCommand::List, L"", false,
         SortKey::Name, 2500},
        {{L"--sort", L"size", L"--quiet", L"search", L"zip"}, CliCommand::Search, L"zip", false, SortKey::Size, 300000},
        {{L"search", L"--category", L"2"}, CliCommand::Search, L"2", true, SortKey::Name, 300000},
        {{L"--category", L"其他", L"search", L"--sort", L"date"}, CliCommand::Search, L"其他", true, SortKey::Date, 300000},
        {{L"show", L"7-Zip 23.01 (x64)", L"--wide", L"--verbose"}, CliCommand::Show, L"7-Zip 23.01 (x64)", false,
         SortKey::Name, 300000},
        {{L"--timeout", L"86400", L"refresh", L"--sort", L"category"}, CliCommand::Refresh, L"", false,
         SortKey::Category, 86400000},
        {{L"list", L"--help"}, CliCommand::Help, L"", false, SortKey::Name, 300000},
    };
    for (const Case& c : cases) {
        CliOptions opt;
        std::wstring error;
        ASSERT_TRUE(ParseCliArgs(c.args, opt, error)) << Joined(c.args) << kxtest::WideToUtf8(error);
        EXPECT_EQ(opt.command, c.command) << Joined(c.args);
        EXPECT_EQ(opt.target, c.target) << Joined(c.args);
        EXPECT_EQ(opt.byCategory, c.byCategory) << Joined(c.args);
        EXPECT_EQ(opt.sort, c.sort) << Joined(c.args);
        EXPECT_EQ(opt.timeoutMs, c.timeoutMs) << Joined(c.args);
    }
}

TEST(CliArgs, UsageErrorsSayWhatIsWrong) {
    const std::pair<std::vector<std::wstring>, const wchar_t*> bad[] = {
        {{}, L"no command given"},
        {{L"frobnicate"}, L"unknown command 'frobnicate'"},
        {{L"list", L"--bogus"}, L"unknown option --bogus"},
        {{L"list", L"extra"}, L"unexpected argument 'extra'"},
        {{L"search"}, L"search needs TEXT or --category NAME"},
        {{L"search", L""}, L"the search text is empty"},
        {{L"search", L"a", L"b"}, L"search takes one TEXT"},
        {{L"search", L"a", L"--category", L"b"}, L"search takes either TEXT or --category NAME"},
        {{L"categories", L"--category", L"b"}, L"--category belongs to the search command"},
        {{L"show"}, L"show needs one program"},
        {{L"show", L"a", L"b"}, L"show needs one program"},
        {{L"list", L"--timeout"}, L"--timeout needs a value"},
        {{L"list", L"--timeout", L"0"}, L"--timeout needs a number of seconds above 0, not '0'"},
        {{L"list", L"--timeout", L"soon"}, L"--timeout needs a number of seconds above 0, not 'soon'"},
        {{L"list", L"--timeout", L"99999999999"}, L"--timeout is at most 86400 seconds (a day), not 99999999999"},
        {{L"list", L"--sort", L"weight"}, L"--sort takes name, size, date or category, not 'weight'"},
        {{L"list", L"--cache-dir", L""}, L"--cache-dir needs a folder"},
    };
    for (const auto& [args, says] : bad) {
        CliOptions opt;
        std::wstring error;
        EXPECT_FALSE(ParseCliArgs(args, opt, error)) << Joined(args);
        EXPECT_NE(error.find(says), std::wstring::npos) << Joined(args) << ": " << kxtest::WideToUtf8(error);
    }
}

Program Tricky() {
    Program p;
    CSoftItem& it = p.item;
    it.Id = 4000000000u;
    it.SoftId = L"{6F1C2A90-3B7E-4D52-9A11-5C0E8B7D2F41}";
    it.Name = L"Quote \" back\\slash \t tab \x01 ctl 微信 \xD83D\xDE00 and a name long enough to be cut in the table";
    it.ExtraText1 = L"lone \xD800 surrogate";
    it.Virtual = 1;
    it.Category = L"聊天通讯";
    it.ExtraValue8 = 0xFFFFFFFFFFFFFFFFull;
    it.ExtraValue10 = 7;
    it.Folder = L"C:\\Program Files\\7-Zip\\";
    it.Time = L"2024-01-15";
    it.Use = 3;
    it.Size = 5LL * 1024 * 1024 * 1024;
    it.Key = L"HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\7-Zip";
    p.facts = {L"Igor Pavlov", L"23.01", L"\"C:\\Program Files\\7-Zip\\Uninstall.exe\""};
    return p;
}

std::vector<Program> Sample() {
    Program chat, blank, msi;
    chat.item.Id = 2001;
    chat.item.SoftId = L"wechat";
    chat.item.Name = L"微信";
    chat.item.Category = L"聊天通讯";
    chat.item.Size = 1536;
    chat.item.Time = L"20230301";
    chat.item.Use = 1;
    chat.facts.version = L"3.9.8.25";
    msi.item.Id = 1200300400;
    msi.item.Name = L"KxSample Calculator";
    msi.item.Category = L"其他";
    msi.item.Key = L"HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{0A1B}";
    msi.facts.uninstallCommand = L"MsiExec.exe /X{0A1B}";
    return {Tricky(), chat, blank, msi};
}

TEST(ListRender, ViewsMatchTheirGoldenFiles) {
    std::vector<Program> programs = Sample();
    std::vector<CCategoryItem> categories(2);
    categories[0].Id = 0;
    categories[0].Name = L"全部软件";
    categories[0].Count = 4;
    categories[1].Id = 13;
    categories[1].Name = L"压缩刻录";
    categories[1].Count = 1;
    const std::pair<const char*, std::string> views[] = {
        {"render-table.txt", SoftTable(programs, false)},
        {"render-table-wide.txt", SoftTable(programs, true)},
        {"render-list.json", SoftJson(programs)},
        {"render-empty.json", SoftJson({})},
        {"render-show.txt", ProgramSheet(programs[0], L"/home/user/.wine/drive_c/Program Files/7-Zip/")},
        {"render-show-blank.txt", ProgramSheet(programs[2], L"")},
        {"render-show.json", ProgramJson(programs[0])},
        {"render-categories.txt", CategoryTable(categories)},
        {"render-categories.json", CategoryJson(categories)},
    };
    for (const auto& [name, text] : views) EXPECT_EQ(GoldenMismatch(name, text), "");

    // The default table fits 100 terminal columns, a Chinese character counting two.
    std::wstring table = kxtest::Utf8ToWide(SoftTable(programs, false));
    for (size_t start = 0, end; (end = table.find(L'\n', start)) != std::wstring::npos; start = end + 1)
        EXPECT_LE(DisplayWidth(table.substr(start, end - start)), 100u)
            << kxtest::WideToUtf8(table.substr(start, end - start));
    EXPECT_EQ(DisplayWidth(L"微信 ab"), 7u);
    EXPECT_EQ(DisplayWidth(L"\xD83D\xDE00"), 1u);
}

TEST(ProgramList, SortsAndFinds) {
    std::vector<Program> programs(4);
    const struct {
        const wchar_t* name;
        long long size;
        const wchar_t* time;
        const wchar_t* category;
        UINT id;
    } rows[] = {
        {L"beta", 10, L"2024-01-02", L"b", 11}, {L"Alpha", 30, L"20230101", L"b", 12},
        {L"gamma", 20, L"", L"a", 13}, {L"alpha pro", 0, L"2025-06-01", L"a", 14}};
    for (size_t i = 0; i < 4; ++i) {
        programs[i].item.Name = rows[i].name;
        programs[i].item.Size = rows[i].size;
        programs[i].item.Time = rows[i].time;
        programs[i].item.Category = rows[i].category;
        programs[i].item.Id = rows[i].id;
    }
    const std::pair<SortKey, std::vector<std::wstring>> orders[] = {
        {SortKey::Name, {L"Alpha", L"alpha pro", L"beta", L"gamma"}},
        {SortKey::Size, {L"Alpha", L"gamma", L"beta", L"alpha pro"}},
        {SortKey::Date, {L"alpha pro", L"beta", L"Alpha", L"gamma"}},
        {SortKey::Category, {L"alpha pro", L"gamma", L"Alpha", L"beta"}},
    };
    for (const auto& [key, names] : orders) {
        std::vector<Program> sorted = programs;
        SortPrograms(sorted, key);
        std::vector<std::wstring> got;
        for (const Program& p : sorted) got.push_back(p.item.Name);
        EXPECT_EQ(got, names) << static_cast<int>(key);
    }
    const std::pair<const wchar_t*, std::vector<UINT>> finds[] = {
        {L"13", {13}}, {L"alpha", {12}}, {L"ALPHA PRO", {14}}, {L"ph", {12, 14}}, {L"99", {}}, {L"delta", {}}};
    for (const auto& [target, ids] : finds) {
        std::vector<UINT> got;
        for (const Program* p : FindPrograms(programs, target)) got.push_back(p->item.Id);
        EXPECT_EQ(got, ids) << kxtest::WideToUtf8(target);
    }
}

TEST(CliCategories, ByNameOrIdElseTheListOfNames) {
    std::vector<CCategoryItem> listed(2);
    listed[0].Id = 0;
    listed[0].Name = L"全部软件";
    listed[1].Id = 13;
    listed[1].Name = L"压缩刻录";
    std::vector<CategoryName> known = KnownCategories(listed, {{0, L"全部软件"}, {2, L"聊天通讯"}, {13, L"压缩刻录"}});
    ASSERT_EQ(known.size(), 3u);
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"压缩刻录", L"压缩刻录"}, {L"13", L"压缩刻录"}, {L"013", L"压缩刻录"}, {L"2", L"聊天通讯"}, {L"0", L"全部软件"},
        {L"99", nullptr}, {L"Games", nullptr}, {L"", nullptr}};
    for (const auto& [arg, expected] : cases) {
        std::wstring name, error;
        EXPECT_EQ(ResolveCategory(arg, known, name, error), expected != nullptr) << kxtest::WideToUtf8(arg);
        if (expected) EXPECT_EQ(name, expected);
        else EXPECT_EQ(error, L"unknown category '" + std::wstring(arg) + L"'; the categories are: 0 全部软件, 2 聊天通讯, 13 压缩刻录");
    }
}

TEST(WinText, ErrorsInWordsAndLinuxPaths) {
    // The system's words ("Path not found." under Wine), then the number.
    const std::wstring text = ErrorText(ERROR_PATH_NOT_FOUND);
    EXPECT_GT(text.size(), 12u) << kxtest::WideToUtf8(text);
    EXPECT_EQ(text.substr(text.size() - 11), L". (error 3)") << kxtest::WideToUtf8(text);
    EXPECT_EQ(ErrorText(0x2BADF00D), L"error 732819469");
    ASSERT_TRUE(RunningUnderWine());
    EXPECT_EQ(LinuxPath(L"Z:\\tmp"), L"/tmp");
    EXPECT_EQ(UserPath(L"Z:\\tmp"), L"/tmp");
    // C: as the folder users know, not through the dosdevices link.
    EXPECT_NE(UserPath(L"C:\\windows").find(L"/drive_c/windows"), std::wstring::npos);
}

// ---- the executable -------------------------------------------------------------------------------------

std::wstring CliPath() { return kxtest::ExeFolder() + L"kxuninst.exe"; }

TEST(CliExe, UsageErrorsExitWithTwoAndHelpGoesToStandardOutput) {
    const std::pair<const wchar_t*, const char*> cases[] = {
        {L"", "no command given"},
        {L"list --timeout never", "--timeout needs a number of seconds"},
        {L"search --category", "--category needs a value"},
    };
    for (const auto& [args, says] : cases) {
        CliResult r = RunCli(CliPath(), args);
        EXPECT_EQ(r.exitCode, 2u) << kxtest::WideToUtf8(args);
        EXPECT_NE(r.err.find(says), std::string::npos) << r.err;
        EXPECT_TRUE(r.out.empty()) << r.out;
    }
    CliResult help = RunCli(CliPath(), L"--help");
    EXPECT_EQ(help.exitCode, 0u);
    EXPECT_EQ(help.out, kCliUsage);
}

TEST(CliExe, MissingPiecesAreNamedWithTheirLinuxPaths) {
    kxtest::TempDir dir;
    std::wstring lonely = dir / L"kxuninst.exe";
    ASSERT_TRUE(CopyFileW(CliPath().c_str(), lonely.c_str(), FALSE));
    const std::pair<std::wstring, std::string> cases[] = {
        {lonely, "kxuninst: component not found: " + kxtest::WideToUtf8(LinuxPath(dir / L"KxUninst.dll"))},
        // This folder holds the CLI and KxUninst.dll but no KxData.dll.
        {CliPath(),
         "kxuninst: data component not found: " + kxtest::WideToUtf8(LinuxPath(kxtest::ExeFolder())) + "KxData.dll"},
    };
    for (const auto& [exe, says] : cases) {
        CliResult r = RunCli(exe, L"list --json");
        EXPECT_EQ(r.exitCode, 3u);
        EXPECT_EQ(r.err, says + "\n");
        EXPECT_TRUE(r.out.empty()) << r.out;
    }
}

}  // namespace
