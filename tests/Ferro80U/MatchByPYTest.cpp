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

TEST(MatchByPY, Table) {
    const struct {
        const wchar_t* text;
        std::wstring input;
        bool match;
    } cases[] = {
        // Full spellings, initials, mixed, any case.
        {L"微信", L"weixin", true}, {L"微信", L"wx", true}, {L"微信", L"weix", true}, {L"微信", L"wxin", true},
        {L"微信", L"wexin", true}, {L"微信", L"WeiXin", true}, {L"微信", L"WX", true}, {L"微信", L"w", true},
        {L"微信", L"xin", true}, {L"微信", L"x", true},
        // Every reading of a polyphonic character.
        {L"网易云音乐", L"wangyiyunyinyue", true}, {L"网易云音乐", L"wyyyy", true}, {L"网易云音乐", L"wangyiyunyinle", true},
        {L"重装系统", L"zhongzhuang", true}, {L"重装系统", L"chongzhuang", true}, {L"重装系统", L"czxt", true},
        {L"银行助手", L"yinhang", true}, {L"银行助手", L"yinxing", true},
        // Letters and digits match themselves.
        {L"腾讯QQ", L"txqq", true}, {L"腾讯QQ", L"tengxunqq", true}, {L"腾讯QQ", L"qq", true},
        {L"360安全卫士", L"360aq", true}, {L"360安全卫士", L"anquanweishi", true}, {L"WPS Office 2019", L"office2019", true},
        {L"腾讯QQ", L"txq2", false}, {L"360安全卫士", L"350", false},
        // From any syllable; separators stepped over, blanks in the input ignored, at most 63 letters.
        {L"网易云音乐", L"yinyue", true}, {L"网易云音乐", L"yyy", true}, {L"网易云音乐", L"yue", true}, {L"搜狗输入法", L"srf", true},
        {L"QQ 音乐", L"qqyy", true}, {L"爱奇艺·万能播放器", L"aqywn", true}, {L"微信", L"wei xin", true},
        {L"微信", std::wstring(200, L' ') + L"wx", true}, {L"微信", std::wstring(64, L'w'), false},
        // Tones ignored, ü typed as v (or as itself).
        {L"绿色浏览器", L"lvse", true}, {L"女娲", L"nvwa", true}, {L"女娲", L"n\u00fcwa", true}, {L"绿色浏览器", L"lise", false},
        // Chinese in the input matches itself.
        {L"微信", L"微x", true}, {L"微信", L"信w", false},
        // Names lacking the syllables typed, or input spanning a syllable wrongly.
        {L"微信", L"weibo", false}, {L"微博", L"weixin", false}, {L"网易云音乐", L"qq", false},
        {L"网易云音乐", L"wangyiyunyinyuex", false}, {L"Photoshop", L"ps", false}, {L"", L"w", false},
        {L"微信", L"eixin", false}, {L"微信", L"wein", false}, {L"微信", L"wix", false}, {L"微信", L"weixinn", false},
        {L"网易云音乐", L"wyyy y y", false}, {L"网易云音乐", L"wangiyun", false}, {L"网易云音乐", L"wyy yuan", false},
        {L"西安", L"xian", true},
        // U+20000 (an extension-B character) reads he: the pair is decoded, not taken as two separators.
        {L"\U00020000\u4E2D", L"hez", true},
    };
    for (const auto& c : cases) EXPECT_EQ(Match(c.text, c.input), c.match) << c.text << " " << c.input;
}

TEST(MatchByPY, NullArgumentsAndAnEmptyInput) {
    wchar_t text[] = L"微信", input[] = L"wx", empty[] = L"";
    int bMatch = 7;
    EXPECT_EQ(static_cast<long>(E_POINTER), FERRO::MatchByPY(nullptr, input, &bMatch));
    EXPECT_EQ(0, bMatch);
    EXPECT_EQ(static_cast<long>(E_POINTER), FERRO::MatchByPY(text, nullptr, &bMatch));
    EXPECT_EQ(static_cast<long>(E_POINTER), FERRO::MatchByPY(text, input, nullptr));
    bMatch = 7;
    EXPECT_EQ(0, FERRO::MatchByPY(text, empty, &bMatch));
    EXPECT_EQ(0, bMatch);
}

// The library keeps each thread's last input; a changed input must never be answered from the old one.
TEST(MatchByPY, AlternatingInputsAndThreads) {
    for (auto [input, match] : std::initializer_list<std::pair<const wchar_t*, bool>>{
             {L"wx", true}, {L"wb", false}, {L"c++", false}, {L"c++", false}, {L"wx", true}})
        EXPECT_EQ(Match(L"微信", input), match) << input;
    struct Job {
        const wchar_t* input;
        int matches = 0;
    } jobs[2] = {{L"wx"}, {L"wb"}};
    auto run = [](void* p) -> DWORD {
        auto* job = static_cast<Job*>(p);
        for (int i = 0; i < 2000; ++i) {
            wchar_t text[] = L"微博 and 微信", input[8];
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

TEST(MatchByPY, BoundAtLoadTimeAndExportedUnderItsDecoratedName) {
    HMODULE hDll = GetModuleHandleW(L"Ferro80U.DLL");
    ASSERT_NE(nullptr, hDll);
    using MatchFn = long (*)(wchar_t*, wchar_t*, int*);
    auto pfn = reinterpret_cast<MatchFn>(reinterpret_cast<void*>(GetProcAddress(hDll, "_ZN5FERRO9MatchByPYEPwS0_Pi")));
    ASSERT_NE(nullptr, pfn);
    wchar_t text[] = L"微信", input[] = L"wx";
    int bMatch = 0;
    EXPECT_EQ(0, pfn(text, input, &bMatch));
    EXPECT_EQ(1, bMatch);
}

}  // namespace
