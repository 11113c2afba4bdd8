// The window's texts: both string tables complete and interchangeable, the language chosen, and the texts built
// from them byte for byte.
#include <gtest/gtest.h>

#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "CategoryView.h"
#include "IconLocation.h"
#include "KxUninstIf.h"
#include "RowStates.h"
#include "ScopedHandle.h"
#include "StatusText.h"
#include "UiText.h"
#include "WinHostRes.h"

namespace {

const LANGID kEnglish = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
const LANGID kChinese = MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED);

// Every string of the module's table in one language, by id.
std::map<UINT, std::wstring> StringTable(LANGID language) {
    std::map<UINT, std::wstring> table;
    HMODULE module = GetModuleHandleW(nullptr);
    std::vector<UINT> blocks;
    EnumResourceNamesW(
        module, MAKEINTRESOURCEW(6),
        [](HMODULE, LPCWSTR, LPWSTR name, LONG_PTR param) -> BOOL {
            reinterpret_cast<std::vector<UINT>*>(param)->push_back(static_cast<UINT>(reinterpret_cast<ULONG_PTR>(name)));
            return TRUE;
        },
        reinterpret_cast<LONG_PTR>(&blocks));
    for (UINT block : blocks)
        for (UINT id = (block - 1) * 16; id < block * 16; ++id) {
            std::wstring text = UiStringIn(module, id, language);
            if (!text.empty()) table[id] = text;
        }
    return table;
}

// The printf conversions of a text, in order ("%u", "%s", "%.1f"), and its accelerator after a tab.
std::wstring Shape(const std::wstring& text) {
    std::wstring shape;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != L'%') continue;
        size_t end = text.find_first_of(L"sudfx%", i + 1);
        shape += text.substr(i, end == std::wstring::npos ? 1 : end - i + 1) + L" ";
        i = end == std::wstring::npos ? i : end;
    }
    const size_t tab = text.find(L'\t');
    return shape + (tab == std::wstring::npos ? L"" : text.substr(tab));
}

}  // namespace

TEST(WinHostStrings, BothLanguagesHaveEveryStringWithTheSameConversionsAndKeys) {
    const auto english = StringTable(kEnglish), chinese = StringTable(kChinese);
    ASSERT_GT(english.size(), 40u);
    for (const auto& e : english) {
        auto zh = chinese.find(e.first);
        ASSERT_NE(zh, chinese.end()) << "no Chinese text for string " << e.first;
        EXPECT_EQ(Shape(e.second), Shape(zh->second)) << "string " << e.first;
    }
    for (const auto& zh : chinese) EXPECT_TRUE(english.count(zh.first)) << "no English text for string " << zh.first;
}

TEST(WinHostStrings, ChineseTextsAreReadAsUtf8) {
    EXPECT_EQ(UiStringIn(GetModuleHandleW(nullptr), IDS_COL_NAME, kChinese), L"\x540D\x79F0");  // 名称
    EXPECT_EQ(UiStringIn(GetModuleHandleW(nullptr), IDS_COL_NAME, kEnglish), L"Name");
}

TEST(WinHostStrings, LanguageFollowsTheUserUnlessForced) {
    const struct {
        LANGID user;
        const wchar_t* forced;
        UiLanguage expected;
    } cases[] = {
        {MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED), L"", UiLanguage::Chinese},
        {MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_TRADITIONAL), L"", UiLanguage::Chinese},
        {MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_UK), L"", UiLanguage::English},
        {MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN), L"", UiLanguage::English},
        {MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED), L"en", UiLanguage::English},
        {MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN), L"zh", UiLanguage::Chinese},
        {MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED), L"fr", UiLanguage::Chinese},
    };
    for (const auto& c : cases) EXPECT_EQ(ChooseUiLanguage(c.user, c.forced), c.expected) << c.user << " " << c.forced;
}

TEST(WinHostStrings, ButtonsShowMenuTextsWithoutKeys) {
    const struct {
        const wchar_t* menu;
        const wchar_t* button;
    } cases[] = {
        {L"&Refresh\tF5", L"Refresh"},
        {L"&Uninstall\x2026\tDel", L"Uninstall\x2026"},
        {L"\x5378\x8F7D(&U)\x2026\tDel", L"\x5378\x8F7D\x2026"},
        {L"E&xit", L"Exit"},
        {L"Save && quit", L"Save & quit"},
        {L"Plain", L"Plain"},
    };
    for (const auto& c : cases) EXPECT_EQ(ButtonText(c.menu), c.button);
}

TEST(WinHostStrings, StatusTextsInBothLanguages) {
    SetUiLanguage(UiLanguage::English);
    EXPECT_EQ(CountText(7, 7, 740966), L"7 programs, 723.6 KB");
    EXPECT_EQ(CountText(1, 7, 142029), L"1 of 7 programs, 138.7 KB");
    EXPECT_EQ(PhaseText(ListPhase::Read, 0.126), L"Read from this machine in 0.1 s");
    EXPECT_EQ(PhaseText(ListPhase::CacheChecking, 2.45), L"List from the cache; checking the machine\x2026 2.5 s");
    SetUiLanguage(UiLanguage::Chinese);
    EXPECT_EQ(CountText(1, 7, 512), L"\x663E\x793A 1 \x4E2A\xFF0C\x5171 7 \x4E2A\x8F6F\x4EF6\xFF0C" L"512 B");
    CCategoryItem all;
    all.Name = L"\x5168\x90E8\x8F6F\x4EF6";
    all.Count = 7;
    EXPECT_EQ(CategoryLabel(all), L"\x5168\x90E8\x8F6F\x4EF6 (7)");
    SetUiLanguage(UiLanguage::English);
}

TEST(WinHostStates, RowWordsOfEachState) {
    UninstallEnd none, cancelled, softCentre, ran, cancelledSoftCentre;
    cancelled.bCancelled = true;
    softCentre.bSoftCentreRemoved = true;
    ran.bSawUninstaller = true;
    cancelledSoftCentre.bCancelled = cancelledSoftCentre.bSoftCentreRemoved = true;
    const struct {
        UINT state;
        bool after;
        UninstallEnd end;
        UINT expected;
    } cases[] = {
        {SOFT_STATE_UNINSTALL_REQUESTED, false, none, IDS_STATE_REQUESTED},
        {SOFT_STATE_TASK_WORKING, false, none, IDS_STATE_PREPARING},
        {SOFT_STATE_UNINSTALLER_RUNNING, false, none, IDS_STATE_RUNNING},
        {SOFT_STATE_TASK_WORKING, true, ran, IDS_STATE_ANALYSING},
        {SOFT_STATE_LEFTOVERS_OFFERED, true, ran, IDS_STATE_LEFTOVERS},
        {SOFT_STATE_REMOVED, true, ran, IDS_STATE_REMOVED},
        {SOFT_STATE_NOT_UNINSTALLED, false, none, IDS_STATE_NOT_UNINSTALLED},
        {SOFT_STATE_NOT_UNINSTALLED, true, ran, IDS_STATE_STILL_INSTALLED},
        {SOFT_STATE_NOT_UNINSTALLED, true, cancelled, IDS_STATE_CANCELLED},
        {SOFT_STATE_NOT_UNINSTALLED, true, softCentre, IDS_STATE_SOFTCENTRE_REMOVED},
        {SOFT_STATE_NOT_UNINSTALLED, true, cancelledSoftCentre, IDS_STATE_CANCELLED},
        {SOFT_STATE_INSTALLED_A, false, none, 0u},
    };
    for (const auto& c : cases) EXPECT_EQ(StateTextId(c.state, c.after, c.end), c.expected) << c.state;
}

TEST(WinHostIcons, IconLocationsAsUninstallEntriesWriteThem) {
    const struct {
        const wchar_t* text;
        const wchar_t* path;
        int index;
    } cases[] = {
        {L"C:\\Program Files\\A\\a.exe", L"C:\\Program Files\\A\\a.exe", 0},
        {L"C:\\A\\a.exe,0", L"C:\\A\\a.exe", 0},
        {L"C:\\A\\a.dll,-101", L"C:\\A\\a.dll", -101},
        {L"\"C:\\Program Files\\A\\a.exe\",2", L"C:\\Program Files\\A\\a.exe", 2},
        {L"\"C:\\Program Files\\A\\a.exe\"", L"C:\\Program Files\\A\\a.exe", 0},
        {L"  C:\\A\\app.ico , 3 ", L"C:\\A\\app.ico", 3},
        {L"C:\\A,B\\a.exe", L"C:\\A,B\\a.exe", 0},
        {L"C:\\A\\a.exe,", L"C:\\A\\a.exe,", 0},
        {L"\"C:\\A\\unterminated.exe", L"C:\\A\\unterminated.exe", 0},
        {L"", L"", 0},
    };
    for (const auto& c : cases) {
        IconLocation loc = ParseIconLocation(c.text);
        EXPECT_EQ(loc.path, c.path) << c.text;
        EXPECT_EQ(loc.index, c.index) << c.text;
    }
}

// The program's own icon has an image drawn for each size the title bar, the task switcher and the shell ask for,
// with clear corners (its alpha is kept) and an opaque middle.
TEST(WinHostIcons, OwnIconHasEverySizeWithItsAlpha) {
    for (int size : {16, 24, 32, 48}) {
        kx::unique_hicon icon(static_cast<HICON>(
            LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_KXUNINSTW), IMAGE_ICON, size, size, 0)));
        ASSERT_TRUE(icon) << size;
        ICONINFO info = {};
        ASSERT_TRUE(GetIconInfo(icon.get(), &info)) << size;
        const kx::unique_hbitmap color(info.hbmColor), mask(info.hbmMask);
        BITMAP bm = {};
        GetObjectW(color.get(), sizeof(bm), &bm);
        EXPECT_EQ(bm.bmWidth, size);
        EXPECT_EQ(bm.bmBitsPixel, 32) << size;
        std::vector<DWORD> pixels(static_cast<size_t>(size) * size);
        BITMAPINFO bi = {};
        bi.bmiHeader = {sizeof(BITMAPINFOHEADER), size, -size, 1, 32, BI_RGB};
        const kx::unique_hdc dc(CreateCompatibleDC(nullptr));
        EXPECT_EQ(GetDIBits(dc.get(), color.get(), 0, size, pixels.data(), &bi, DIB_RGB_COLORS), size);
        EXPECT_EQ(pixels.front() >> 24, 0u) << size;
        EXPECT_EQ(pixels[static_cast<size_t>(size / 3) * size + size / 3] >> 24, 255u) << size;
    }
}
