#define KX_LOG_SOURCE ".\\LoggerTest"
#include <windows.h>

#include <gtest/gtest.h>

#include <ctime>
#include <cwctype>
#include <map>
#include <regex>
#include <thread>

#include "KxLog.h"
#include "KxUninstStartup.h"
#include "kxtest/HostLayout.h"
#include "kxtest/TempDir.h"

using kxtest::ReadLogLines;

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
    std::vector<std::wstring> LinesWith(const std::wstring& marker) {
        std::vector<std::wstring> hits;
        for (const auto& line : ReadLogLines(path_))
            if (line.find(marker) != std::wstring::npos) hits.push_back(line);
        return hits;
    }
    static std::wstring Marker() {
        static int n = 0;
        return L"marker-" + std::to_wstring(GetTickCount()) + L"-" + std::to_wstring(++n);
    }
    std::wstring path_;
};

void LogAtLevel(int level, const std::wstring& marker) { KXLOG(level, L"level %d %s", level, marker.c_str()); }

}  // namespace

TEST_F(LoggerTest, StartupNamesTodaysFileBelowTheExecutableAndWritesTwoLines) {
    wchar_t szDate[16];
    time_t now = time(nullptr);
    wcsftime(szDate, 16, L"%Y%m%d", localtime(&now));
    EXPECT_EQ(path_, kxtest::ExeFolder() + L"Log\\KxUninst_Log" + szDate + L".log");
    EXPECT_EQ(CKxLog::Instance().Flags(), 0x27u);

    auto lines = ReadLogLines(path_);
    ASSERT_GE(lines.size(), 2u);
    const std::wregex first(LR"(\[\d\d:\d\d:\d\d:\d\d\d\] \[F\.DllMain\(\)\] -{53})");
    const std::wregex second(LR"(\[\d\d:\d\d:\d\d:\d\d\d\] \[F\.DllMain\(\)\] -{11}KxUninst Log Begin-1-{21})");
    EXPECT_TRUE(std::regex_match(lines[lines.size() - 2], first)) << lines[lines.size() - 2];
    EXPECT_TRUE(std::regex_match(lines.back(), second)) << lines.back();
}

TEST_F(LoggerTest, FileIsUtf8WithCrLfLineEnds) {
    std::wstring marker = Marker();
    KXLOG(0, L"中文 %s", marker.c_str());
    std::string bytes = kxtest::ReadFileBytes(path_);
    EXPECT_EQ(bytes.compare(0, 3, "\xEF\xBB\xBF"), 0) << "the runtime's UTF-8 mode starts the file with a BOM";
    std::string expected = "中文 " + kxtest::WideToUtf8(marker) + "\r\n";
    EXPECT_NE(bytes.find(expected), std::string::npos);
    EXPECT_EQ(bytes.find("\xEF\xBB\xBF", 3), std::string::npos) << "only a new file gets the mark";

    KXLOG(0, L"%s first\nsecond", marker.c_str());
    bytes = kxtest::ReadFileBytes(path_);
    EXPECT_NE(bytes.find(kxtest::WideToUtf8(marker) + " first\r\nsecond\r\n"), std::string::npos);
}

TEST_F(LoggerTest, LevelsAboveFourAreNeverWritten) {
    std::wstring marker = Marker();
    for (int level = 0; level <= 5; ++level) LogAtLevel(level, marker);
    auto lines = LinesWith(marker);
    ASSERT_EQ(lines.size(), 5u);
    for (int level = 0; level <= 4; ++level)
        EXPECT_NE(lines[level].find(L"level " + std::to_wstring(level) + L" "), std::wstring::npos);
    EXPECT_FALSE(CKxLog::Instance().IsEnabled(5));
    EXPECT_TRUE(CKxLog::Instance().IsEnabled(4));
}

TEST_F(LoggerTest, StartupFlagsGiveExactlyTimeAndFunctionPrefixes) {
    std::wstring marker = Marker();
    LogAtLevel(1, marker);
    auto lines = LinesWith(marker);
    ASSERT_EQ(lines.size(), 1u);
    const std::wregex pattern(LR"(\[\d\d:\d\d:\d\d:\d\d\d\] \[F\.\{anonymous\}::LogAtLevel\(\)\] level 1 marker-[\d-]+)");
    EXPECT_TRUE(std::regex_match(lines[0], pattern)) << lines[0];
}

namespace probe {
struct CThing {
    long Method(unsigned) { KXLOG(0, L"%s", marker.c_str()); return 0; }
    std::wstring marker;
};
}  // namespace probe

TEST_F(LoggerTest, EveryPrefixInItsOrder) {
    CKxLog::Instance().SetFlags(0x7E);  // all prefixes, file, no debugger
    probe::CThing thing{Marker()};
    thing.Method(1);
    auto lines = LinesWith(thing.marker);
    ASSERT_EQ(lines.size(), 1u);
    std::wstring expectedTail = L"[P." + std::to_wstring(GetCurrentProcessId()) +
                                L"] [L.4] [A..\\LoggerTest:" ;
    EXPECT_NE(lines[0].find(expectedTail), std::wstring::npos) << lines[0];
    const std::wregex pattern(LR"(\[\d\d:\d\d:\d\d:\d\d\d\] \[P\.\d+\] \[L\.4\] \[A\.\.\\LoggerTest:\d+\] \[F\.probe::CThing::Method\(\)\] marker-[\d-]+)");
    EXPECT_TRUE(std::regex_match(lines[0], pattern)) << lines[0];
}

TEST_F(LoggerTest, OtherFlagSetsLeaveOutTheirPrefixes) {
    CKxLog::Instance().SetFlags(KXLOG_FILE | KXLOG_LEVEL);
    std::wstring marker = Marker();
    KXLOG_AS(2, "Any::Name", L"%s", marker.c_str());
    auto lines = LinesWith(marker);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], L"[L.4] " + marker);

    CKxLog::Instance().SetFlags(KXLOG_LEVEL);  // no file bit: nothing reaches the file
    std::wstring hidden = Marker();
    KXLOG(0, L"%s", hidden.c_str());
    EXPECT_TRUE(LinesWith(hidden).empty());
}

TEST_F(LoggerTest, LongLineKeepsPrefixesAndTheStartOfTheMessage) {
    CKxLog::Instance().SetFlags(KXLOG_FILE | KXLOG_FUNCTION);
    std::wstring marker = Marker();
    std::wstring message = marker + std::wstring(600 - marker.size(), L'x');
    KXLOG_AS(0, "F", L"%s", message.c_str());
    auto lines = LinesWith(marker);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].size(), 511u);
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
    for (const auto& line : LinesWith(marker)) {
        std::wsmatch m;
        ASSERT_TRUE(std::regex_match(line, m, pattern)) << line;
        int id = std::stoi(m[1].str()), n = std::stoi(m[2].str());
        EXPECT_EQ(n, next[id]++) << "lines of one thread keep their order";
        ++total;
    }
    EXPECT_EQ(total, 2 * kPerThread);
}

TEST_F(LoggerTest, MissingLogFolderCostsNothingAndCreatesNothing) {
    kxtest::TempDir temp;
    std::wstring folder = temp / L"Log";
    CKxLog::Instance().SetFilePath(folder + L"\\KxUninst_Log20260101.log");
    KXLOG(0, L"nowhere");
    EXPECT_FALSE(kxtest::PathExists(folder));
}

TEST_F(LoggerTest, PathThatDoesNotFitDisablesFileOutput) {
    CKxLog::Instance().SetFilePath(std::wstring(260, L'a'));
    EXPECT_TRUE(CKxLog::Instance().FilePath().empty());
    CKxLog::Instance().SetFilePath(std::wstring(259, L'a'));
    EXPECT_EQ(CKxLog::Instance().FilePath().size(), 259u);
}

TEST(QualifiedName, StripsReturnTypeAndParameters) {
    EXPECT_EQ(KxQualifiedName("void CKxUninstMgr::TaskAdd(UINT)"), "CKxUninstMgr::TaskAdd");
    EXPECT_EQ(KxQualifiedName("virtual long int CKxUninstMgr::Init()"), "CKxUninstMgr::Init");
    EXPECT_EQ(KxQualifiedName("void UNINST_API::EnumRegUnInstallKey(HKEY, InsideMap&, HANDLE)"),
              "UNINST_API::EnumRegUnInstallKey");
    EXPECT_EQ(KxQualifiedName("BOOL DllMain(HINSTANCE, DWORD, LPVOID)"), "DllMain");
    EXPECT_EQ(KxQualifiedName("CSerializer* Make()"), "Make");
}
