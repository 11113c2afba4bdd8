#include <windows.h>

#include <gtest/gtest.h>

#include <ctime>
#include <regex>

#include "ExecutetTime.h"
#include "KxLog.h"
#include "KxUninstStartup.h"
#include "kxtest/HostLayout.h"

TEST(ExecuteTime, WritesNameAndElapsedMillisecondsAtLevelOne) {
    KxUninstStartup(nullptr);
    std::wstring name = L"Timed::Work-" + std::to_wstring(GetTickCount());
    {
        CExecuteTime timer(name.c_str());
        Sleep(30);
    }
    auto lines = kxtest::LogLinesContaining(name);
    ASSERT_EQ(lines.size(), 1u);
    std::wsmatch m;
    const std::wregex pattern(LR"(\[\d\d:\d\d:\d\d:\d\d\d\] \[F\.CExecuteTime::~CExecuteTime\(\)\] (.*) execute (\d+) ms)");
    ASSERT_TRUE(std::regex_match(lines[0], m, pattern)) << lines[0];
    EXPECT_EQ(m[1].str(), name);
    EXPECT_GE(std::stoi(m[2].str()), 25);
}

TEST(FunctionTracer, EntryAndExitLinesReachTheLogLibrary) {
    std::wstring name = L"CKxListMgr::Probe" + std::to_wstring(GetTickCount());
    {
        CFunctionTracer trace(name.c_str());
        Sleep(20);
    }
    wchar_t szDate[16];
    time_t now = time(nullptr);
    wcsftime(szDate, 16, L"%Y%m%d", localtime(&now));
    auto lines = kxtest::ReadLogLines(kxtest::LogFolder() + L"kxxlog_" + szDate + L".log");
    std::vector<std::wstring> ours;
    for (const auto& l : lines)
        if (l.find(name) != std::wstring::npos) ours.push_back(l);
    ASSERT_EQ(ours.size(), 2u);
    EXPECT_TRUE(std::regex_match(ours[0], std::wregex(LR"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} \[64\] 进入函数:)" + name)))
        << ours[0];
    std::wsmatch m;
    ASSERT_TRUE(std::regex_match(ours[1], m, std::wregex(LR"(.* \[64\] 离开函数:)" + name + LR"( 执行耗时:(\d+))")))
        << ours[1];
    EXPECT_GE(std::stoi(m[1].str()), 0);
}
