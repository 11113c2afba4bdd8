// kxuninst.exe on the sample machine (scripts/sample-machine): the whole chain from the installed programs
// through discovery, the rules and the cache to what the CLI prints. Runs inside the sample machine's prefix
// and starts the CLI of the build's install layout, as a user would.
// A build of the sample machine takes about a second; the CLI is given half a minute.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

#include "CliRun.h"
#include "JsonCheck.h"
#include "kxtest/HostLayout.h"
#include "kxtest/TempDir.h"

namespace {

// The install layout of the build: KXTEST_BIN_DIR holds its Linux path, which Wine shows under Z:.
std::wstring CliPath() {
    wchar_t value[1024] = {0};
    DWORD n = GetEnvironmentVariableW(L"KXTEST_BIN_DIR", value, 1024);
    std::wstring dir = n && n < 1024 ? value : L"";
    if (!dir.empty() && dir[0] == L'/') {
        std::replace(dir.begin(), dir.end(), L'/', L'\\');
        dir = L"Z:" + dir;
    }
    if (!dir.empty() && dir.back() != L'\\') dir += L'\\';
    return dir + L"kxuninst.exe";
}

std::wstring Lower(std::wstring s) {
    for (auto& c : s) c = towlower(c);
    return s;
}

const wchar_t kUninstallKey[] = L"\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

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

    // Runs the CLI with the given arguments and a cache folder of this test, and parses its JSON.
    JsonValue RunJson(const std::wstring& args, CliResult* result = nullptr) {
        CliResult r = RunCli(CliPath(), args + L" --json --quiet --timeout 30 --cache-dir \"" + m_cache.Path() + L"\"");
        EXPECT_EQ(r.exitCode, 0u) << r.err;
        JsonValue doc;
        std::string error;
        EXPECT_TRUE(ParseJson(r.out, doc, error)) << error << "\n" << r.out.substr(0, 2000);
        EXPECT_EQ(doc.kind, JsonValue::Array);
        if (result) *result = r;
        return doc;
    }

    static std::map<std::wstring, const JsonValue*> ByName(const JsonValue& list) {
        std::map<std::wstring, const JsonValue*> out;
        for (const JsonValue& item : list.items) out[item["Name"].text] = &item;
        return out;
    }

    static CliResult s_probe;
    kxtest::TempDir m_cache;
};

CliResult SampleMachine::s_probe;

TEST_F(SampleMachine, ListShowsEverySampleOnceWithItsFacts) {
    JsonValue list = RunJson(L"list");
    auto byName = ByName(list);
    for (const wchar_t* name : {L"7-Zip 23.01 (x64)", L"微信", L"KxSample Notes 2.1", L"KxSample Image Viewer",
                                L"KxSample Calculator", L"Qz Sample Player"}) {
        ASSERT_EQ(byName.count(name), 1u) << kxtest::WideToUtf8(name);
        EXPECT_FALSE((*byName[name])["Category"].text.empty()) << kxtest::WideToUtf8(name);
    }
    // No two items share a registry key.
    std::set<std::wstring> keys;
    for (const JsonValue& item : list.items) {
        if (!item["Key"].text.empty()) {
            EXPECT_TRUE(keys.insert(item["Key"].text).second) << kxtest::WideToUtf8(item["Key"].text);
        }
        EXPECT_EQ(item.order.size(), 35u);
    }

    const JsonValue& archiver = *byName[L"7-Zip 23.01 (x64)"];
    EXPECT_EQ(archiver["Key"].text, std::wstring(L"HKEY_LOCAL_MACHINE") + kUninstallKey + L"7-Zip");
    EXPECT_EQ(archiver["Time"].text, L"2024-01-15");
    EXPECT_EQ(Lower(archiver["Folder"].text).find(L"c:\\program files\\7-zip"), 0u);
    EXPECT_NE(Lower(archiver["Icon"].text).find(L"7zfm.exe"), std::wstring::npos);
    EXPECT_GT(archiver["Size"].Signed(), 0);
    EXPECT_EQ(archiver["Virtual"].Unsigned(), 0u);

    // Joined with the data component's rules: the rule's key, category and texts.
    EXPECT_EQ(archiver["SoftId"].text, L"7zip");
    EXPECT_EQ(archiver["Category"].text, L"压缩刻录");
    EXPECT_EQ(archiver["InfoUrl"].text, L"https://www.7-zip.org/");
    EXPECT_NE(archiver["Id"].Unsigned(), 0u);
    const JsonValue& chat = *byName[L"微信"];
    EXPECT_EQ(chat["SoftId"].text, L"wechat");
    EXPECT_EQ(chat["Category"].text, L"聊天通讯");

    const JsonValue& notes = *byName[L"KxSample Notes 2.1"];
    EXPECT_EQ(notes["Key"].text, std::wstring(L"HKEY_CURRENT_USER") + kUninstallKey + L"KxSampleNotes");
    EXPECT_EQ((*byName[L"微信"])["Key"].text, std::wstring(L"HKEY_LOCAL_MACHINE") + kUninstallKey + L"WeChat");
    // Installed today: the date of the install folder, and a folder used this week.
    EXPECT_EQ(notes["Time"].text.size(), 10u);
    EXPECT_EQ(notes["Use"].Unsigned(), 3u);

    const JsonValue& msi = *byName[L"KxSample Calculator"];
    EXPECT_EQ(msi["Key"].text.rfind(std::wstring(L"HKEY_LOCAL_MACHINE") + kUninstallKey + L"{", 0), 0u)
        << kxtest::WideToUtf8(msi["Key"].text);

    const JsonValue& player = *byName[L"Qz Sample Player"];
    EXPECT_EQ(player["Virtual"].Unsigned(), 1u);
    EXPECT_EQ(Lower(player["Folder"].text), L"c:\\program files\\orvane\\softcenter\\qzplayer");
    EXPECT_NE(Lower(player["Icon"].text).find(L"appdata\\qz\\appicon.ico"), std::wstring::npos);
}

TEST_F(SampleMachine, SecondRunShowsTheCachedListFirst) {
    JsonValue first = RunJson(L"list");
    ASSERT_TRUE(kxtest::PathExists(m_cache / L"KxUninstall_32")) << "the cache is saved in the host's folder";

    CliResult r;
    JsonValue second = RunJson(L"list", &r);
    // A cache written under the rules' version must be accepted when the data component reports the same
    // version; a "版本信息失败 ... version=0" line in kxxlog means the cache was read before the version was known.
    EXPECT_NE(r.err.find("from the cache"), std::string::npos) << r.err;
    // The component's own lines went to standard error, not into the JSON.
    EXPECT_NE(r.err.find("protocol version"), std::string::npos) << r.err;
    auto a = ByName(first), b = ByName(second);
    ASSERT_EQ(a.size(), b.size());
    for (const auto& [name, item] : a) {
        ASSERT_EQ(b.count(name), 1u) << kxtest::WideToUtf8(name);
        EXPECT_EQ((*item)["Key"].text, (*b[name])["Key"].text);
        EXPECT_EQ((*item)["Category"].text, (*b[name])["Category"].text);
        EXPECT_EQ((*item)["Id"].number, (*b[name])["Id"].number);
    }

    // The table: the cached list at once, then a word on what discovery found.
    CliResult table = RunCli(CliPath(), L"list --quiet --timeout 30 --cache-dir \"" + m_cache.Path() + L"\"");
    EXPECT_EQ(table.exitCode, 0u) << table.err;
    EXPECT_NE(table.out.find("ID  NAME"), std::string::npos) << table.out;
    EXPECT_NE(table.out.find("7-Zip 23.01 (x64)"), std::string::npos);
    EXPECT_NE(table.out.find(kxtest::WideToUtf8(L"微信")), std::string::npos);
    EXPECT_NE(table.err.find("from the cache"), std::string::npos) << table.err;
}

TEST_F(SampleMachine, CategoriesCountTheList) {
    JsonValue list = RunJson(L"list");
    JsonValue categories = RunJson(L"categories");
    ASSERT_FALSE(categories.items.empty());
    // Each program is counted in the category of all software (id 0) and in its own.
    std::map<std::wstring, unsigned long long> counted;
    std::wstring allName;
    for (const JsonValue& c : categories.items) {
        counted[c["Name"].text] += c["Count"].Unsigned();
        if (c["Id"].Unsigned() == 0 && allName.empty()) allName = c["Name"].text;
    }
    ASSERT_EQ(counted.count(allName), 1u);
    std::map<std::wstring, unsigned long long> expected;
    for (const JsonValue& item : list.items) {
        ++expected[allName];
        ++expected[item["Category"].text];
    }
    for (const auto& [name, count] : expected) EXPECT_EQ(counted[name], count) << kxtest::WideToUtf8(name);
}

TEST_F(SampleMachine, SearchByNameAndByCategory) {
    JsonValue found = RunJson(L"search kxsample");
    auto byName = ByName(found);
    for (const wchar_t* name : {L"KxSample Notes 2.1", L"KxSample Image Viewer", L"KxSample Calculator"})
        EXPECT_EQ(byName.count(name), 1u) << kxtest::WideToUtf8(name);
    EXPECT_EQ(byName.count(L"7-Zip 23.01 (x64)"), 0u);

    JsonValue list = RunJson(L"list");
    std::wstring category = (*ByName(list)[L"7-Zip 23.01 (x64)"])["Category"].text;
    JsonValue inCategory = RunJson(L"search --category \"" + category + L"\"");
    EXPECT_EQ(ByName(inCategory).count(L"7-Zip 23.01 (x64)"), 1u);
    EXPECT_FALSE(inCategory.items.empty());
}

TEST_F(SampleMachine, RefreshRebuildsTheSameList) {
    JsonValue list = RunJson(L"list");
    JsonValue rebuilt = RunJson(L"refresh");
    auto a = ByName(list), b = ByName(rebuilt);
    EXPECT_EQ(a.size(), b.size());
    for (const auto& entry : a) EXPECT_EQ(b.count(entry.first), 1u) << kxtest::WideToUtf8(entry.first);
}

TEST_F(SampleMachine, TimeOutIsAnErrorWithNothingOnStandardOutput) {
    CliResult r = RunCli(CliPath(), L"list --json --timeout 0.001 --cache-dir \"" + m_cache.Path() + L"\"");
    EXPECT_EQ(r.exitCode, 4u) << r.err;
    EXPECT_NE(r.err.find("timed out after"), std::string::npos) << r.err;
    EXPECT_TRUE(r.out.empty()) << r.out;
}

}  // namespace
