// Ferro80U.DLL as its importers see it: bound at load time through the import library, and exported under
// its GCC-decorated name.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "Ferro80U.h"

namespace {

bool Match(const std::wstring& text, const std::wstring& input) {
    std::wstring t = text, i = input;
    int bMatch = -1;
    EXPECT_EQ(0, FERRO::MatchByPY(&t[0], &i[0], &bMatch));
    EXPECT_EQ(text, t) << "the text must not change";
    EXPECT_EQ(input, i) << "the input must not change";
    return bMatch == 1;
}

TEST(MatchByPY, FullInitialsAndMixedSpellings) {
    for (const wchar_t* input : {L"weixin", L"wx", L"weix", L"wxin", L"wexin", L"WeiXin", L"WX", L"w", L"xin", L"x"})
        EXPECT_TRUE(Match(L"微信", input)) << input;
}

TEST(MatchByPY, EveryReadingOfAPolyphonicCharacter) {
    EXPECT_TRUE(Match(L"网易云音乐", L"wangyiyunyinyue"));
    EXPECT_TRUE(Match(L"网易云音乐", L"wyyyy"));
    EXPECT_TRUE(Match(L"网易云音乐", L"wangyiyunyinle"));
    EXPECT_TRUE(Match(L"重装系统", L"zhongzhuang"));
    EXPECT_TRUE(Match(L"重装系统", L"chongzhuang"));
    EXPECT_TRUE(Match(L"重装系统", L"czxt"));
    EXPECT_TRUE(Match(L"银行助手", L"yinhang"));
    EXPECT_TRUE(Match(L"银行助手", L"yinxing"));
}

TEST(MatchByPY, LettersAndDigitsMatchThemselves) {
    EXPECT_TRUE(Match(L"腾讯QQ", L"txqq"));
    EXPECT_TRUE(Match(L"腾讯QQ", L"tengxunqq"));
    EXPECT_TRUE(Match(L"腾讯QQ", L"qq"));
    EXPECT_TRUE(Match(L"360安全卫士", L"360aq"));
    EXPECT_TRUE(Match(L"360安全卫士", L"anquanweishi"));
    EXPECT_TRUE(Match(L"WPS Office 2019", L"office2019"));
    EXPECT_FALSE(Match(L"腾讯QQ", L"txq2"));
    EXPECT_FALSE(Match(L"360安全卫士", L"350"));
}

TEST(MatchByPY, StartsAtAnySyllable) {
    EXPECT_TRUE(Match(L"网易云音乐", L"yinyue"));
    EXPECT_TRUE(Match(L"网易云音乐", L"yyy"));
    EXPECT_TRUE(Match(L"网易云音乐", L"yue"));
    EXPECT_TRUE(Match(L"搜狗输入法", L"srf"));
}

TEST(MatchByPY, SeparatorsAreSteppedOverAndBlanksInTheInputIgnored) {
    EXPECT_TRUE(Match(L"QQ 音乐", L"qqyy"));
    EXPECT_TRUE(Match(L"爱奇艺·万能播放器", L"aqywn"));
    EXPECT_TRUE(Match(L"微信", L"wei xin"));
    EXPECT_TRUE(Match(L"微信", std::wstring(200, L' ') + L"wx")) << "a long input of few letters";
    EXPECT_FALSE(Match(L"微信", std::wstring(64, L'w'))) << "more than 63 letters";
}

TEST(MatchByPY, TonesIgnoredAndUmlautTypedAsV) {
    EXPECT_TRUE(Match(L"绿色浏览器", L"lvse"));
    EXPECT_TRUE(Match(L"女娲", L"nvwa"));
    EXPECT_TRUE(Match(L"女娲", L"n\u00fcwa"));
    EXPECT_FALSE(Match(L"绿色浏览器", L"lise"));
}

TEST(MatchByPY, ChineseInTheInputMatchesItself) {
    EXPECT_TRUE(Match(L"微信", L"微x"));
    EXPECT_FALSE(Match(L"微信", L"信w"));
}

TEST(MatchByPY, NamesLackingTheTypedSyllablesDoNotMatch) {
    EXPECT_FALSE(Match(L"微信", L"weibo"));
    EXPECT_FALSE(Match(L"微博", L"weixin"));
    EXPECT_FALSE(Match(L"网易云音乐", L"qq"));
    EXPECT_FALSE(Match(L"网易云音乐", L"wangyiyunyinyuex"));
    EXPECT_FALSE(Match(L"Photoshop", L"ps"));
    EXPECT_FALSE(Match(L"", L"w"));
}

TEST(MatchByPY, InputSpanningASyllableWronglyDoesNotMatch) {
    EXPECT_FALSE(Match(L"微信", L"eixin"));  // starts inside a syllable
    EXPECT_FALSE(Match(L"微信", L"wein"));   // n does not begin xin
    EXPECT_FALSE(Match(L"微信", L"wix"));    // wi is not a leading part of wei
    EXPECT_FALSE(Match(L"微信", L"weixinn"));
    EXPECT_FALSE(Match(L"网易云音乐", L"wyyy y y"));
    EXPECT_FALSE(Match(L"网易云音乐", L"wangiyun"));  // i begins no reading of 易
    EXPECT_FALSE(Match(L"网易云音乐", L"wyy yuan"));
    EXPECT_TRUE(Match(L"西安", L"xian"));  // xi + an
}

TEST(MatchByPY, CharactersOutsideTheBasicPlane) {
    // U+20000 (an extension-B character) reads he; the pair must be decoded, not taken as two separators.
    EXPECT_TRUE(Match(L"\U00020000\u4E2D", L"hez"));
}

TEST(MatchByPY, NullArgumentsAndAnEmptyInput) {
    wchar_t text[] = L"微信";
    wchar_t input[] = L"wx";
    wchar_t empty[] = L"";
    int bMatch = 7;
    EXPECT_EQ(static_cast<long>(E_POINTER), FERRO::MatchByPY(nullptr, input, &bMatch));
    EXPECT_EQ(0, bMatch);
    EXPECT_EQ(static_cast<long>(E_POINTER), FERRO::MatchByPY(text, nullptr, &bMatch));
    EXPECT_EQ(static_cast<long>(E_POINTER), FERRO::MatchByPY(text, input, nullptr));
    bMatch = 7;
    EXPECT_EQ(0, FERRO::MatchByPY(text, empty, &bMatch));
    EXPECT_EQ(0, bMatch);
}

TEST(MatchByPY, AlternatingInputsAndThreads) {
    // The library keeps each thread's last input; a changed input must never be answered from the old one.
    EXPECT_TRUE(Match(L"微信", L"wx"));
    EXPECT_FALSE(Match(L"微信", L"wb"));
    EXPECT_FALSE(Match(L"微信", L"c++"));
    EXPECT_FALSE(Match(L"微信", L"c++"));
    EXPECT_TRUE(Match(L"微信", L"wx"));
    struct Job {
        const wchar_t* input;
        int matches = 0;
    } jobs[2] = {{L"wx"}, {L"wb"}};
    auto run = [](void* p) -> DWORD {
        auto* job = static_cast<Job*>(p);
        for (int i = 0; i < 2000; ++i) {
            wchar_t text[] = L"微博 and 微信";
            wchar_t input[8];
            wcscpy(input, i % 2 ? job->input : L"qq");
            int bMatch = 0;
            FERRO::MatchByPY(text, input, &bMatch);
            job->matches += bMatch;
        }
        return 0;
    };
    HANDLE threads[2];
    for (int t = 0; t < 2; ++t) threads[t] = CreateThread(nullptr, 0, run, &jobs[t], 0, nullptr);
    WaitForMultipleObjects(2, threads, TRUE, INFINITE);
    for (HANDLE h : threads) CloseHandle(h);
    EXPECT_EQ(1000, jobs[0].matches);
    EXPECT_EQ(1000, jobs[1].matches);
}

TEST(MatchByPY, ExportedUnderItsDecoratedName) {
    HMODULE hDll = GetModuleHandleW(L"Ferro80U.DLL");
    ASSERT_NE(nullptr, hDll) << "bound at load time";
    using MatchFn = long (*)(wchar_t*, wchar_t*, int*);
    auto pfn = reinterpret_cast<MatchFn>(reinterpret_cast<void*>(GetProcAddress(hDll, "_ZN5FERRO9MatchByPYEPwS0_Pi")));
    ASSERT_NE(nullptr, pfn);
    wchar_t text[] = L"微信";
    wchar_t input[] = L"wx";
    int bMatch = 0;
    EXPECT_EQ(0, pfn(text, input, &bMatch));
    EXPECT_EQ(1, bMatch);
}

}  // namespace
