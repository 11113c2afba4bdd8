#define KX_LOG_SOURCE ".\\LoggerTest"
#include <windows.h>

#include <gtest/gtest.h>

#include <ctime>
#include <map>
#include <regex>
#include <thread>

#include "KxLog.h"
#include "KxUninstStartup.h"
#include "kxtest/HostLayout.h"
#include "kxtest/Log.h"
#include "kxtest/TempDir.h"

namespace {

// Restores the start-up state of the process-wide logger after each test.
class LoggerTest : public ::testing::Test {
protected:
    void SetUp() override {
        KxUninstStartup(nullptr);
        path_ = CKxLog::Instance().FilePath();
    }
    void TearDown() override {
        CKxLog::Instance().SetFlags(CKxLog::kStartupFlags);
        CKxLog::Instance().SetFilePath(path_);
    }
    static std::wstring Marker() {
        static int n = 0;
        return L"marker-" + std::to_wstring(GetTickCount()) + L"-" + std::to_wstring(++n);
    }
    std::wstring path_;
    kxtest::LogMark log_;
};

}  // namespace

namespace probe {
struct CThing {
    long Method(int level) { KXLOG(level, L"level %d %s", level, marker.c_str()); return 0; }
    std::wstring marker;
};
}  // namespace probe

TEST_F(LoggerTest, StartupNamesTodaysFileBelowTheExecutableAndWritesTwoLines) {
    wchar_t szDate[16];
    time_t now = time(nullptr);
    wcsftime(szDate, 16, L"%Y%m%d", localtime(&now));
    EXPECT_EQ(path_, kxtest::ExeFolder() + L"Log\\KxUninst_Log" + szDate + L".log");
    EXPECT_EQ(CKxLog::Instance().Flags(), 0x27u);
    auto lines = kxtest::ReadLogLines(path_);
    ASSERT_GE(lines.size(), 2u);
    EXPECT_TRUE(std::regex_match(lines[lines.size() - 2], std::wregex(LR"(\[\d\d:\d\d:\d\d:\d\d\d\] \[F\.DllMain\(\)\] -{53})")))
        << lines[lines.size() - 2];
    EXPECT_TRUE(std::regex_match(lines.back(), std::wregex(LR"(\[\d\d:\d\d:\d\d:\d\d\d\] \[F\.DllMain\(\)\] -{11}KxUninst Log Begin-1-{21})")))
        << lines.back();
}

TEST_F(LoggerTest, FileIsUtf8WithCrLfLineEnds) {
    std::wstring marker = Marker();
    KXLOG(0, L"中文 %s", marker.c_str());
    KXLOG(0, L"%s first\nsecond", marker.c_str());
    std::string bytes = kxtest::ReadFileBytes(path_);
    EXPECT_EQ(bytes.compare(0, 3, "\xEF\xBB\xBF"), 0) << "the runtime's UTF-8 mode starts the file with a BOM";
    EXPECT_EQ(bytes.find("\xEF\xBB\xBF", 3), std::string::npos) << "only a new file gets the mark";
    EXPECT_NE(bytes.find("中文 " + kxtest::WideToUtf8(marker) + "\r\n"), std::string::npos);
    EXPECT_NE(bytes.find(kxtest::WideToUtf8(marker) + " first\r\nsecond\r\n"), std::string::npos);
}

// Each flag set gives exactly its prefixes, in their order; levels above 4 are never written.
TEST_F(LoggerTest, PrefixesByFlagsAndLevels) {
    const struct {
        DWORD flags;
        const wchar_t* line;  // regex of the line at level 1; nullptr: nothing reaches the file
    } cases[] = {
        {0x27, LR"(\[\d\d:\d\d:\d\d:\d\d\d\] \[F\.probe::CThing::Method\(\)\] level 1 marker-[\d-]+)"},
        {0x7E, LR"(\[\d\d:\d\d:\d\d:\d\d\d\] \[P\.\d+\] \[L\.4\] \[A\.\.\\LoggerTest:\d+\] \[F\.probe::CThing::Method\(\)\] level 1 marker-[\d-]+)"},
        {KXLOG_FILE | KXLOG_LEVEL, LR"(\[L\.4\] level 1 marker-[\d-]+)"},
        {KXLOG_LEVEL, nullptr},
    };
    for (const auto& c : cases) {
        CKxLog::Instance().SetFlags(c.flags);
        probe::CThing thing{Marker()};
        thing.Method(1);
        auto lines = log_.Lines(thing.marker);
        ASSERT_EQ(lines.size(), c.line ? 1u : 0u) << c.flags;
        if (c.line) {
            EXPECT_TRUE(std::regex_match(lines[0], std::wregex(c.line))) << lines[0];
        }
    }
    CKxLog::Instance().SetFlags(CKxLog::kStartupFlags);
    probe::CThing thing{Marker()};
    for (int level = 0; level <= 5; ++level) thing.Method(level);
    EXPECT_EQ(log_.Lines(thing.marker).size(), 5u);
    EXPECT_TRUE(CKxLog::Instance().IsEnabled(4));
    EXPECT_FALSE(CKxLog::Instance().IsEnabled(5));
}

TEST_F(LoggerTest, LongLineKeepsPrefixesAndTheStartOfTheMessage) {
    CKxLog::Instance().SetFlags(KXLOG_FILE | KXLOG_FUNCTION);
    std::wstring marker = Marker();
    std::wstring message = marker + std::wstring(600 - marker.size(), L'x');
    KXLOG_AS(0, "F", L"%s", message.c_str());
    auto lines = log_.Lines(marker);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], L"[F.F()] " + message.substr(0, 511 - 8));
}

TEST_F(LoggerTest, TwoThreadsNeverMixTheirLines) {
    CKxLog::Instance().SetFlags(0x27 & ~KXLOG_DEBUGGER);
    std::wstring marker = Marker();
    const int kPerThread = 2000;
    auto writer = [&](int id) {
        for (int i = 0; i < kPerThread; ++i) KXLOG_AS(0, "T", L"%s t%d n%d end", marker.c_str(), id, i);
    };
    std::thread a(writer, 1), b(writer, 2);
    a.join();
    b.join();
    const std::wregex pattern(LR"(\[\d\d:\d\d:\d\d:\d\d\d\] \[F\.T\(\)\] marker-[\d-]+ t([12]) n(\d+) end)");
    std::map<int, int> next;
    int total = 0;
    for (const auto& line : log_.Lines(marker)) {
        std::wsmatch m;
        ASSERT_TRUE(std::regex_match(line, m, pattern)) << line;
        EXPECT_EQ(std::stoi(m[2].str()), next[std::stoi(m[1].str())]++) << "lines of one thread keep their order";
        ++total;
    }
    EXPECT_EQ(total, 2 * kPerThread);
}

TEST_F(LoggerTest, AMissingFolderIsNotCreatedAndAPathThatDoesNotFitDisablesTheFile) {
    kxtest::TempDir temp;
    CKxLog::Instance().SetFilePath(temp / L"Log\\KxUninst_Log20260101.log");
    KXLOG(0, L"nowhere");
    EXPECT_FALSE(kxtest::PathExists(temp / L"Log"));
    CKxLog::Instance().SetFilePath(std::wstring(260, L'a'));
    EXPECT_TRUE(CKxLog::Instance().FilePath().empty());
    CKxLog::Instance().SetFilePath(std::wstring(259, L'a'));
    EXPECT_EQ(CKxLog::Instance().FilePath().size(), 259u);
}

TEST(QualifiedName, StripsReturnTypeAndParameters) {
    const std::pair<const char*, const char*> cases[] = {
        {"void CKxUninstMgr::TaskAdd(UINT)", "CKxUninstMgr::TaskAdd"},
        {"virtual long int CKxUninstMgr::Init()", "CKxUninstMgr::Init"},
        {"void UNINST_API::EnumRegUnInstallKey(HKEY, InsideMap&, HANDLE)", "UNINST_API::EnumRegUnInstallKey"},
        {"BOOL DllMain(HINSTANCE, DWORD, LPVOID)", "DllMain"}, {"CSerializer* Make()", "Make"}};
    for (const auto& [pretty, name] : cases) EXPECT_EQ(KxQualifiedName(pretty), name);
}
