// kxuninst.exe on its own: the command line, the JSON and table views, and the failures a user meets before
// the component runs (usage errors, a missing component). Needs no installed software.
#include <gtest/gtest.h>

#include "CliArgs.h"
#include "CliRun.h"
#include "JsonCheck.h"
#include "ListRender.h"
#include "kxtest/HostLayout.h"
#include "kxtest/TempDir.h"

namespace {

bool Parse(std::vector<std::wstring> args, CliOptions& opt, std::wstring* error = nullptr) {
    std::wstring e;
    bool ok = ParseCliArgs(args, opt, e);
    if (error) *error = e;
    return ok;
}

TEST(CliArgs, CommandsAndOptions) {
    CliOptions opt;
    ASSERT_TRUE(Parse({L"list", L"--json", L"--cache-dir", L"C:\\c", L"--timeout", L"2.5"}, opt));
    EXPECT_EQ(opt.command, CliCommand::List);
    EXPECT_TRUE(opt.json);
    EXPECT_EQ(opt.cacheDir, L"C:\\c");
    EXPECT_EQ(opt.timeoutMs, 2500u);

    ASSERT_TRUE(Parse({L"--quiet", L"search", L"zip"}, opt));
    EXPECT_EQ(opt.command, CliCommand::Search);
    EXPECT_FALSE(opt.byCategory);
    EXPECT_EQ(opt.searchText, L"zip");
    EXPECT_TRUE(opt.quiet);
    EXPECT_EQ(opt.timeoutMs, 300000u);

    ASSERT_TRUE(Parse({L"search", L"--category", L"其他"}, opt));
    EXPECT_TRUE(opt.byCategory);
    EXPECT_EQ(opt.searchText, L"其他");

    ASSERT_TRUE(Parse({L"list", L"--help"}, opt));
    EXPECT_EQ(opt.command, CliCommand::Help);
}

TEST(CliArgs, UsageErrors) {
    const std::vector<std::vector<std::wstring>> bad = {
        {},
        {L"frobnicate"},
        {L"list", L"--bogus"},
        {L"list", L"extra"},
        {L"search"},
        {L"search", L""},
        {L"search", L"a", L"b"},
        {L"search", L"a", L"--category", L"b"},
        {L"categories", L"--category", L"b"},
        {L"list", L"--timeout"},
        {L"list", L"--timeout", L"0"},
        {L"list", L"--timeout", L"soon"},
        {L"list", L"--cache-dir", L""},
    };
    for (const auto& args : bad) {
        CliOptions opt;
        std::wstring error;
        std::wstring joined;
        for (const auto& a : args) joined += L"[" + a + L"]";
        EXPECT_FALSE(Parse(args, opt, &error)) << kxtest::WideToUtf8(joined);
        EXPECT_FALSE(error.empty()) << kxtest::WideToUtf8(joined);
    }
}

CSoftItem TrickyItem() {
    CSoftItem it;
    it.Id = 4000000000u;
    it.SoftId = L"{6F1C2A90-3B7E-4D52-9A11-5C0E8B7D2F41}";
    it.Name = L"Quote \" back\\slash \t tab \x01 ctl 微信 \xD83D\xDE00";
    it.ExtraText1 = L"lone \xD800 surrogate";
    it.ExtraFlag1 = 1;
    it.Virtual = 1;
    it.Category = L"其他";
    it.ExtraValue8 = 0xFFFFFFFFFFFFFFFFull;
    it.ExtraValue10 = 7;
    it.Folder = L"C:\\Program Files\\7-Zip\\";
    it.Time = L"2024-01-15";
    it.Use = 3;
    it.Size = 5LL * 1024 * 1024 * 1024;
    it.Key = L"HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\7-Zip";
    return it;
}

TEST(SoftJson, EveryFieldInWireOrderAndTextsRoundTrip) {
    std::vector<CSoftItem> items = {TrickyItem(), CSoftItem()};
    JsonValue doc;
    std::string error;
    ASSERT_TRUE(ParseJson(SoftJson(items), doc, error)) << error;
    ASSERT_EQ(doc.kind, JsonValue::Array);
    ASSERT_EQ(doc.items.size(), 2u);

    const std::vector<std::string> wireOrder = {
        "Id", "SoftId", "Name", "ExtraText1", "ExtraFlag1", "Virtual", "ExtraText2", "ExtraText3", "Category",
        "Icon", "Brief", "InfoUrl", "ExtraFlag2", "ExtraText4", "ExtraValue1", "ExtraValue2", "ExtraText5",
        "ExtraText6", "ExtraText7", "ExtraText8", "ExtraFlag3", "ExtraValue3", "ExtraValue4", "ExtraValue5",
        "ExtraFlag4", "ExtraValue6", "ExtraValue7", "ExtraValue8", "ExtraValue9", "ExtraValue10", "Folder",
        "Time", "Use", "Size", "Key"};
    const JsonValue& first = doc.items[0];
    EXPECT_EQ(first.order, wireOrder);
    EXPECT_EQ(first["Id"].Unsigned(), 4000000000u);
    EXPECT_EQ(first["Name"].text, items[0].Name);
    EXPECT_EQ(first["ExtraText1"].text, items[0].ExtraText1);  // the lone surrogate as a \u escape
    EXPECT_EQ(first["Category"].text, L"其他");
    EXPECT_EQ(first["Folder"].text, items[0].Folder);
    EXPECT_EQ(first["Key"].text, items[0].Key);
    EXPECT_EQ(first["ExtraValue8"].number, "18446744073709551615");
    EXPECT_EQ(first["Size"].Signed(), 5LL * 1024 * 1024 * 1024);
    EXPECT_EQ(first["Virtual"].Unsigned(), 1u);

    // A default record: the two flags that default to 1, everything else 0 or empty.
    const JsonValue& blank = doc.items[1];
    for (const std::string& name : wireOrder) {
        const JsonValue& v = blank[name];
        if (v.kind == JsonValue::String) {
            EXPECT_TRUE(v.text.empty()) << name;
        } else {
            ASSERT_EQ(v.kind, JsonValue::Number) << name;
            EXPECT_EQ(v.number, name == "ExtraFlag1" || name == "ExtraFlag3" ? "1" : "0") << name;
        }
    }
}

TEST(SoftJson, EmptyListsAreEmptyArrays) {
    JsonValue doc;
    std::string error;
    ASSERT_TRUE(ParseJson(SoftJson({}), doc, error)) << error;
    EXPECT_EQ(doc.kind, JsonValue::Array);
    EXPECT_TRUE(doc.items.empty());
    ASSERT_TRUE(ParseJson(CategoryJson({}), doc, error)) << error;
    EXPECT_TRUE(doc.items.empty());
}

TEST(JsonCheck, RejectsWhatIsNotJson) {
    JsonValue doc;
    std::string error;
    for (const char* bad : {"[1,]", "[1] [2]", "{\"a\":1,\"a\":2}", "[\"\x01\"]", "[01]", "", "[\"\xff\"]"}) {
        EXPECT_FALSE(ParseJson(bad, doc, error)) << bad;
    }
    EXPECT_TRUE(ParseJson(" {\"a\": [true, false, null, -1.5e3, \"\\u00e9\"]} ", doc, error)) << error;
}

TEST(ListRender, SizesUsesAndWidths) {
    EXPECT_EQ(HumanSize(0), "-");
    EXPECT_EQ(HumanSize(512), "512 B");
    EXPECT_EQ(HumanSize(1536), "1.5 KB");
    EXPECT_EQ(HumanSize(5LL * 1024 * 1024 * 1024), "5.0 GB");
    EXPECT_EQ(UseLabel(3), "this week");
    EXPECT_EQ(UseLabel(0), "-");
    EXPECT_EQ(DisplayWidth(L"微信 ab"), 7u);
    EXPECT_EQ(DisplayWidth(L"\xD83D\xDE00"), 1u);
}

TEST(ListRender, TableColumnsLineUpWithWideNames) {
    CSoftItem wide, narrow;
    wide.Id = 7;
    wide.Name = L"微信";
    wide.Category = L"聊天";
    wide.Key = L"HKEY_LOCAL_MACHINE\\X\\WeChat";
    narrow.Id = 12;
    narrow.Name = L"7-Zip 23.01 (x64)";
    narrow.Size = 2048;
    std::string table = SoftTable({wide, narrow});
    std::vector<std::wstring> lines;
    std::wstring all = kxtest::Utf8ToWide(table);
    for (size_t start = 0, end; (end = all.find(L'\n', start)) != std::wstring::npos; start = end + 1)
        lines.push_back(all.substr(start, end - start));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].substr(0, 8), L"ID  NAME");
    // The category column starts at the same display column on every line.
    auto columnOf = [](const std::wstring& line, const std::wstring& cell) {
        return DisplayWidth(line.substr(0, line.find(cell)));
    };
    EXPECT_EQ(columnOf(lines[0], L"CATEGORY"), columnOf(lines[1], L"聊天"));
    EXPECT_EQ(columnOf(lines[0], L"CATEGORY"), columnOf(lines[2], L"-  "));
    EXPECT_NE(lines[2].find(L"2.0 KB"), std::wstring::npos);
    EXPECT_NE(lines[1].find(L"\\WeChat"), std::wstring::npos);
}

// ---- the executable -------------------------------------------------------------------------------------

std::wstring CliPath() { return kxtest::ExeFolder() + L"kxuninst.exe"; }

TEST(CliExe, UsageErrorsExitWithTwoAndSayWhy) {
    struct Case { const wchar_t* args; const char* says; };
    const Case cases[] = {
        {L"", "no command given"},
        {L"frobnicate", "unknown command 'frobnicate'"},
        {L"list --timeout never", "--timeout needs a number of seconds"},
        {L"search", "search needs TEXT or --category NAME"},
    };
    for (const Case& c : cases) {
        CliResult r = RunCli(CliPath(), c.args);
        EXPECT_EQ(r.exitCode, 2u) << kxtest::WideToUtf8(c.args);
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
        EXPECT_TRUE(r.out.empty()) << r.out;
    }
}

TEST(CliExe, HelpGoesToStandardOutput) {
    CliResult r = RunCli(CliPath(), L"--help");
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_EQ(r.out.rfind("usage: kxuninst", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("search --category NAME"), std::string::npos);
}

TEST(CliExe, MissingComponentIsReported) {
    kxtest::TempDir dir;
    std::wstring lonely = dir / L"kxuninst.exe";
    ASSERT_TRUE(CopyFileW(CliPath().c_str(), lonely.c_str(), FALSE));
    CliResult r = RunCli(lonely, L"list --json");
    EXPECT_EQ(r.exitCode, 3u);
    EXPECT_NE(r.err.find("component not found: "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("KxUninst.dll"), std::string::npos) << r.err;
    EXPECT_TRUE(r.out.empty()) << r.out;
}

TEST(CliExe, MissingDataComponentIsReported) {
    // This folder holds the CLI and KxUninst.dll but no KxData.dll.
    CliResult r = RunCli(CliPath(), L"list");
    EXPECT_EQ(r.exitCode, 3u);
    EXPECT_NE(r.err.find("data component not found: "), std::string::npos) << r.err;
}

}  // namespace
