#include <gtest/gtest.h>

#include "WideFormat.h"

// The formats of the log lines and dumps use the Windows meaning of %s and %I64d in wide formats.
TEST(WideFormat, WindowsConversions) {
    EXPECT_EQ(kx::Format(L"%s|%d|%I64d|%x", L"wide", -3, 5120000000LL, 0x1fu), L"wide|-3|5120000000|1f");
    EXPECT_EQ(kx::Format(L"%hs", "narrow"), L"narrow");
    EXPECT_EQ(kx::Format(L"%s", L""), L"");
    EXPECT_EQ(kx::Format(L"%s", std::wstring(5000, L'z').c_str()).size(), 5000u);
}

TEST(WideFormat, FormatIntoCutsAndTerminates) {
    wchar_t buffer[8];
    auto into = [&](size_t room, const wchar_t* fmt, ...) {
        va_list args;
        va_start(args, fmt);
        size_t n = kx::FormatInto(buffer, room, fmt, args);
        va_end(args);
        return n;
    };
    EXPECT_EQ(into(8, L"%s", L"abcdefghij"), 7u);
    EXPECT_STREQ(buffer, L"abcdefg");
    EXPECT_EQ(into(8, L"%s", L"abcdefg"), 7u);
    EXPECT_STREQ(buffer, L"abcdefg");
    EXPECT_EQ(into(8, L"%s", L"abc"), 3u);
    EXPECT_STREQ(buffer, L"abc");
    EXPECT_EQ(into(1, L"%s", L"abc"), 0u);
    EXPECT_STREQ(buffer, L"");
}
