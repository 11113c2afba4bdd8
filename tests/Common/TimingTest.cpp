#include <windows.h>

#include <gtest/gtest.h>

#include <regex>

#include "ExecutetTime.h"
#include "KxUninstStartup.h"
#include "kxtest/Log.h"

TEST(ExecuteTime, WritesNameAndElapsedMillisecondsAtLevelOne) {
    KxUninstStartup(nullptr);
    std::wstring name = L"Timed::Work-" + std::to_wstring(GetTickCount());
    kxtest::LogMark log;
    {
        CExecuteTime timer(name.c_str());
        Sleep(30);
    }
    auto lines = log.Lines(name);
    ASSERT_EQ(lines.size(), 1u);
    std::wsmatch m;
    ASSERT_TRUE(std::regex_match(lines[0], m, std::wregex(LR"(\[\d\d:\d\d:\d\d:\d\d\d\] \[F\.CExecuteTime::~CExecuteTime\(\)\] (.*) execute (\d+) ms)")))
        << lines[0];
    EXPECT_EQ(m[1].str(), name);
    EXPECT_GE(std::stoi(m[2].str()), 25);
}

TEST(FunctionTracer, EntryAndExitLinesReachTheLogLibrary) {
    std::wstring name = L"CKxListMgr::Probe" + std::to_wstring(GetTickCount());
    size_t from = kxtest::XLogLines().size();
    {
        CFunctionTracer trace(name.c_str());
        Sleep(20);
    }
    auto lines = kxtest::XLogLines(from);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(std::regex_match(lines[0], std::wregex(LR"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} \[64\] 进入函数:)" + name)))
        << lines[0];
    EXPECT_TRUE(std::regex_match(lines[1], std::wregex(LR"(.* \[64\] 离开函数:)" + name + LR"( 执行耗时:\d+)"))) << lines[1];
}
