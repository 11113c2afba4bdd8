// The record formats byte by byte, round trips with non-ASCII text, and reads of every truncated prefix.
#include <gtest/gtest.h>

#include "CategoryItem.h"
#include "ItemBytes.h"
#include "PowerSweepItem.h"
#include "SoftInfoItem.h"
#include "SoftItem.h"
#include "SoftShortCut.h"
#include "UninstallRuleItem.h"

using namespace itemtest;

namespace {

// ---- populated records and their bytes, written out field by field in wire order ----

CSoftItem MakeSoft() {
    CSoftItem r;
    r.Id = 0x0A0B0C0D;
    r.SoftId = L"A";
    r.DelTick = 0x99;
    r.Name = L"B";
    r.ExtraText1 = L"C";
    r.ExtraFlag1 = 0;
    r.Virtual = 1;
    r.ExtraText2 = L"D";
    r.ExtraText3 = L"E";
    r.Category = L"F";
    r.Icon = L"G";
    r.Brief = L"H";
    r.InfoUrl = L"I";
    r.ExtraFlag2 = 1;
    r.ExtraText4 = L"J";
    r.ExtraValue1 = 0x11;
    r.ExtraValue2 = 0x12;
    r.ExtraText5 = L"K";
    r.ExtraText6 = L"L";
    r.ExtraText7 = L"M";
    r.ExtraText8 = L"N";
    r.ExtraFlag3 = 0;
    r.ExtraValue3 = 0x13;
    r.ExtraValue4 = 0x14;
    r.ExtraValue5 = 0x15;
    r.ExtraFlag4 = 1;
    r.ExtraValue6 = 0x16;
    r.ExtraValue7 = 0x17;
    r.ExtraValue8 = 0x0123456789ABCDEFull;
    r.ExtraValue9 = 0x18;
    r.ExtraValue10 = 0x19;
    r.Folder = L"O";
    r.Time = L"P";
    r.Use = 3;
    r.Size = -2;
    r.Key = L"Q";
    return r;
}

const char* const kSoft =
    "0D0C0B0A|02000000:4100|02000000:4200|02000000:4300|"  // Id, SoftId, Name, ExtraText1
    "00|01|"                                                 // ExtraFlag1, Virtual
    "02000000:4400|02000000:4500|02000000:4600|02000000:4700|02000000:4800|02000000:4900|"  // ExtraText2..InfoUrl
    "01|02000000:4A00|11000000|12000000|"                    // ExtraFlag2, ExtraText4, ExtraValue1, 2
    "02000000:4B00|02000000:4C00|02000000:4D00|02000000:4E00|"  // ExtraText5..8
    "00|13000000|14000000|15000000|01|16000000|17000000|"    // ExtraFlag3, ExtraValue3..5, ExtraFlag4, 6, 7
    "EFCDAB8967452301|18000000|19000000|"                    // ExtraValue8 (low half first), 9, 10
    "02000000:4F00|02000000:5000|03000000|FEFFFFFFFFFFFFFF|02000000:5100";  // Folder, Time, Use, Size, Key

const char* const kSoftDefault =
    "00000000|00000000:|00000000:|00000000:|01|00|"
    "00000000:|00000000:|00000000:|00000000:|00000000:|00000000:|"
    "00|00000000:|00000000|00000000|"
    "00000000:|00000000:|00000000:|00000000:|"
    "01|00000000|00000000|00000000|00|00000000|00000000|"
    "0000000000000000|00000000|00000000|"
    "00000000:|00000000:|00000000|0000000000000000|00000000:";

CSoftShortCut MakeLink(const wchar_t* t1, const wchar_t* t2, const wchar_t* t3, const wchar_t* t4, UINT v) {
    CSoftShortCut l;
    l.LinkText1 = t1;
    l.LinkText2 = t2;
    l.LinkText3 = t3;
    l.LinkText4 = t4;
    l.LinkValue = v;
    return l;
}

CSoftInfoItem MakeInfo() {
    CSoftInfoItem r;
    r.Id = 0x21;
    r.SoftId = L"s";
    r.InfoText1 = L"a";
    r.InfoText2 = L"b";
    r.InfoFlag1 = 1;
    r.InfoText3 = L"c";
    r.InfoValue1 = 0x1122334455667788ull;
    r.InfoText4 = r.InfoText5 = L"X";
    r.InfoText6 = L"d";
    r.Category = L"e";
    r.InfoText7 = L"f";
    r.InfoText8 = L"g";
    r.InfoText9 = L"h";
    r.InfoText10 = L"i";
    r.InfoText11 = L"w";
    r.InfoText12 = L"x";
    r.InfoValue2 = 0x22;
    r.MatchName = L"j";
    r.InfoText13 = L"k";
    r.InfoText14 = L"l";
    r.InfoFlag2 = 2;
    r.InfoText15 = L"X";
    r.InfoFlag3 = 3;
    r.InfoValue3 = 0x33;
    r.InfoValue4 = 0x44;
    r.InfoText16 = L"X";
    r.InfoText17 = L"q";
    r.InfoText18 = L"X";
    r.InfoText19 = L"r";
    r.InfoFlag4 = 4;
    r.InfoText20 = L"m";
    r.InfoText21 = L"n";
    r.InfoText22 = L"o";
    r.InfoText23 = L"p";
    r.InfoText24 = L"u";
    r.InfoFlag5 = 5;
    r.InfoText25 = L"v";
    r.ShortCuts.push_back(MakeLink(L"a", L"b", L"c", L"d", 1));
    r.ShortCuts.push_back(MakeLink(L"\u4E2D", L"", L"", L"", 2));
    r.ShortCuts.push_back(MakeLink(L"1", L"2", L"3", L"4", 0xFFFFFFFF));
    return r;
}

const char* const kInfoFixed =
    "21000000|02000000:7300|02000000:6100|02000000:6200|"  // Id, SoftId, InfoText1, 2
    "01|22000000|02000000:6300|8877665544332211|"           // InfoFlag1, InfoValue2, InfoText3, InfoValue1
    "02000000:6400|02000000:6500|"                          // InfoText6, Category
    "02000000:6600|02000000:6700|02000000:6800|02000000:6900|"  // InfoText7..10
    "02000000:6A00|02000000:6B00|02000000:6C00|"            // MatchName, InfoText13, 14
    "02|03|33000000|44000000|04|"                           // InfoFlag2, 3, InfoValue3, 4, InfoFlag4
    "02000000:6D00|02000000:6E00|02000000:6F00|02000000:7000|02000000:7500|"  // InfoText20..24
    "05|02000000:7600|"                                     // InfoFlag5, InfoText25
    "02000000:7700|02000000:7800|02000000:7200|02000000:7100|";  // InfoText11, 12, 19, 17
const char* const kInfoLinks =
    "03000000:|"
    "02000000:6100|02000000:6300|02000000:6200|02000000:6400|01000000|"  // Link1, 3, 2, 4, value
    "02000000:2D4E|00000000:|00000000:|00000000:|02000000|"
    "02000000:3100|02000000:3300|02000000:3200|02000000:3400|FFFFFFFF";

CUninstallRuleItem MakeRule() {
    CUninstallRuleItem r;
    r.Id = 0x11;
    r.SoftId = L"k";
    r.TypeId = 0x22;
    r.Hide = 1;
    r.MatchType = 3;
    r.SoftLogo = L"L";
    r.Brief = L"B";
    r.InfoUrl = L"U";
    r.UninstallName = L"\u5FAE";
    r.LogoCrc = L"C";
    return r;
}
const char* const kRule =
    "11000000|22000000|02000000:6B00|01000000|03000000|"  // Id, TypeId, SoftId, Hide, MatchType
    "02000000:4C00|02000000:4200|02000000:5500|02000000:AE5F|02000000:4300";

CCategoryItem MakeCategory() {
    CCategoryItem r;
    r.Id = 0x01020304;
    r.SoftId = L"not written";
    r.Name = L"\u5176\u4ED6";  // 其他
    r.Count = 7;
    return r;
}
const char* const kCategory = "04030201|04000000:7651D64E|07000000";

CPowerSweepItem MakeSweep() {
    CPowerSweepItem r;
    r.Kind = 2;
    r.Id = 5;
    r.Level = 1;
    r.SoftId = L"not written";
    r.Path = L"C:\\a";
    return r;
}
const char* const kSweep = "02000000|05000000|01000000|08000000:43003A005C006100";  // Kind, Id, Level, Path

CSoftShortCut MakeShortCut() {
    CSoftShortCut l = MakeLink(L"a", L"b", L"c", L"d", 9);
    l.Id = 77;
    l.SoftId = L"zz";
    return l;
}
const char* const kShortCut = "02000000:6100|02000000:6300|02000000:6200|02000000:6400|09000000";

std::string InfoGolden() { return std::string(kInfoFixed) + kInfoLinks; }

}  // namespace

TEST(Records, GoldenBytesOfEveryClass) {
    auto soft = MakeSoft();
    EXPECT_EQ(Hex(Serialized(soft)), Hex(ParseGolden(kSoft).bytes));
    auto info = MakeInfo();
    EXPECT_EQ(Hex(Serialized(info)), Hex(ParseGolden(InfoGolden().c_str()).bytes));
    auto rule = MakeRule();
    EXPECT_EQ(Hex(Serialized(rule)), Hex(ParseGolden(kRule).bytes));
    auto cat = MakeCategory();
    EXPECT_EQ(Hex(Serialized(cat)), Hex(ParseGolden(kCategory).bytes));
    auto sweep = MakeSweep();
    EXPECT_EQ(Hex(Serialized(sweep)), Hex(ParseGolden(kSweep).bytes));
    auto link = MakeShortCut();
    EXPECT_EQ(Hex(Serialized(link)), Hex(ParseGolden(kShortCut).bytes));
}

TEST(Records, DefaultsOnTheWire) {
    CSoftItem soft;
    Bytes b = Serialized(soft);
    ASSERT_EQ(b.size(), 133u);
    EXPECT_EQ(Hex(b), Hex(ParseGolden(kSoftDefault).bytes));
    for (size_t i = 0; i < b.size(); ++i) EXPECT_EQ(b[i], (i == 16 || i == 71) ? 1 : 0) << "offset " << i;

    // No shortcuts: the fixed part, then a count of 0.
    CSoftInfoItem info;
    Bytes bi = Serialized(info);
    ASSERT_EQ(bi.size(), 125u);
    EXPECT_EQ(Hex(bi), std::string(250, '0'));

    CSoftShortCut link;
    EXPECT_EQ(Hex(Serialized(link)), std::string(40, '0'));
    CUninstallRuleItem rule;
    EXPECT_EQ(Serialized(rule).size(), 40u);
    CCategoryItem cat;
    EXPECT_EQ(Hex(Serialized(cat)), std::string(24, '0'));
    CPowerSweepItem sweep;
    EXPECT_EQ(Hex(Serialized(sweep)), std::string(32, '0'));
    EXPECT_EQ(sweep.Id, 0u);
    EXPECT_EQ(soft.DelTick, 0u);
}

TEST(Records, ThreeCharacterText) {
    CCategoryItem cat;
    cat.Name = L"abc";
    EXPECT_EQ(Hex(Serialized(cat)), "00000000" "06000000" "610062006300" "00000000");
}

TEST(Records, ReadBackEveryClass) {
    CSoftItem soft;
    ASSERT_EQ(ReadInto(soft, ParseGolden(kSoft).bytes, ParseGolden(kSoft).bytes.size()), 1);
    auto src = MakeSoft();
    EXPECT_EQ(soft.Id, src.Id);
    EXPECT_EQ(soft.Key, L"Q");
    EXPECT_EQ(soft.Size, -2);
    EXPECT_EQ(soft.ExtraValue8, 0x0123456789ABCDEFull);
    EXPECT_EQ(soft.DelTick, 0u);  // never on the wire
    EXPECT_EQ(Hex(Serialized(soft)), Hex(Serialized(src)));

    // Shortcuts are appended to what the list holds.
    CSoftInfoItem info;
    info.ShortCuts.push_back(MakeLink(L"old", L"", L"", L"", 42));
    info.InfoText4 = L"kept";
    Golden gi = ParseGolden(InfoGolden().c_str());
    ASSERT_EQ(ReadInto(info, gi.bytes, gi.bytes.size()), 1);
    ASSERT_EQ(info.ShortCuts.size(), 4u);
    EXPECT_EQ(info.ShortCuts[0].LinkText1, L"old");
    EXPECT_EQ(info.ShortCuts[1].LinkText2, L"b");
    EXPECT_EQ(info.ShortCuts[1].LinkText3, L"c");
    EXPECT_EQ(info.ShortCuts[2].LinkText1, L"\u4E2D");
    EXPECT_EQ(info.ShortCuts[3].LinkValue, 0xFFFFFFFFu);
    EXPECT_EQ(info.InfoText4, L"kept");
    EXPECT_EQ(info.InfoValue2, 0x22u);
    EXPECT_EQ(info.InfoText17, L"q");
    EXPECT_EQ(info.InfoText19, L"r");
    EXPECT_EQ(info.MatchName, L"j");

    CUninstallRuleItem rule;
    ASSERT_EQ(ReadInto(rule, ParseGolden(kRule).bytes, ParseGolden(kRule).bytes.size()), 1);
    EXPECT_EQ(rule.TypeId, 0x22u);
    EXPECT_EQ(rule.SoftId, L"k");
    EXPECT_EQ(rule.UninstallName, L"\u5FAE");

    CPowerSweepItem sweep;
    ASSERT_EQ(ReadInto(sweep, ParseGolden(kSweep).bytes, ParseGolden(kSweep).bytes.size()), 1);
    EXPECT_EQ(sweep.Kind, 2u);
    EXPECT_EQ(sweep.Id, 5u);
    EXPECT_EQ(sweep.Level, 1u);
    EXPECT_EQ(sweep.Path, L"C:\\a");

    CCategoryItem cat;
    ASSERT_EQ(ReadInto(cat, ParseGolden(kCategory).bytes, ParseGolden(kCategory).bytes.size()), 1);
    EXPECT_EQ(cat.Name, L"\u5176\u4ED6");
    EXPECT_EQ(cat.Count, 7u);
    EXPECT_TRUE(cat.SoftId.empty());
}

TEST(Records, RoundTripWithChineseAndSurrogatePairs) {
    const std::wstring chinese = L"\u5FAE\u4FE1\uFF08\u7535\u8111\u7248\uFF09";  // 微信（电脑版）
    const std::wstring astral = L"\U0001F600 \U00020000x";                        // two surrogate pairs
    ASSERT_EQ(astral.size(), 6u);

    CSoftItem src = MakeSoft();
    src.Name = chinese;
    src.Key = L"HKEY_LOCAL_MACHINE\\Software\\" + astral;
    src.Category = L"\u5176\u4ED6";
    CSoftItem back;
    Bytes b = Serialized(src);
    ASSERT_EQ(ReadInto(back, b, b.size()), 1);
    EXPECT_EQ(back.Name, chinese);
    EXPECT_EQ(back.Key, src.Key);
    EXPECT_EQ(Hex(Serialized(back)), Hex(b));

    // The surrogate pair travels as two code units, high first.
    CPowerSweepItem sweep;
    sweep.Path = L"\U0001F600";
    EXPECT_EQ(Hex(Serialized(sweep)), "00000000" "00000000" "00000000" "04000000" "3DD800DE");

    CSoftInfoItem info = MakeInfo();
    info.Category = chinese;
    info.ShortCuts[0].LinkText4 = astral;
    Bytes bi = Serialized(info);
    CSoftInfoItem infoBack;
    ASSERT_EQ(ReadInto(infoBack, bi, bi.size()), 1);
    EXPECT_EQ(infoBack.Category, chinese);
    EXPECT_EQ(infoBack.ShortCuts[0].LinkText4, astral);
    EXPECT_EQ(Hex(Serialized(infoBack)), Hex(bi));

    // A lone surrogate is carried as it is.
    CCategoryItem cat;
    cat.Name = std::wstring(1, static_cast<wchar_t>(0xD800));
    Bytes bc = Serialized(cat);
    CCategoryItem catBack;
    ASSERT_EQ(ReadInto(catBack, bc, bc.size()), 1);
    EXPECT_EQ(catBack.Name, cat.Name);
}

namespace {

// Reads every proper prefix of the golden bytes into a record holding other values of the same layout: the
// read fails, the fields complete in the prefix hold the golden values, the others keep theirs.
template <class T>
void CheckTruncation(const char* golden) {
    Golden g = ParseGolden(golden);
    T other;
    Bytes look = LookAlike(g);
    ASSERT_EQ(ReadInto(other, look, look.size()), 1);
    const Bytes otherBytes = Serialized(other);
    ASSERT_EQ(otherBytes, look);
    for (size_t n = 0; n < g.bytes.size(); ++n) {
        T target = other;
        ASSERT_EQ(ReadInto(target, g.bytes, n), 0) << "prefix " << n;
        size_t done = 0;
        for (size_t b : g.bounds)
            if (b <= n) done = b;
        Bytes expected(g.bytes.begin(), g.bytes.begin() + done);
        expected.insert(expected.end(), otherBytes.begin() + done, otherBytes.end());
        ASSERT_EQ(Hex(Serialized(target)), Hex(expected)) << "prefix " << n;
    }
}

}  // namespace

TEST(Records, EveryTruncatedPrefixFailsAndKeepsWhatWasRead) {
    CheckTruncation<CSoftItem>(kSoft);
    CheckTruncation<CUninstallRuleItem>(kRule);
    CheckTruncation<CCategoryItem>(kCategory);
    CheckTruncation<CPowerSweepItem>(kSweep);
    CheckTruncation<CSoftShortCut>(kShortCut);
}

TEST(Records, SoftInfoTruncationKeepsTheWholeShortcutsOnly) {
    Golden fixed = ParseGolden((std::string(kInfoFixed) + "00000000:").c_str());
    Golden g = ParseGolden(InfoGolden().c_str());
    CSoftInfoItem other;
    Bytes look = LookAlike(fixed);
    ASSERT_EQ(ReadInto(other, look, look.size()), 1);
    ASSERT_TRUE(other.ShortCuts.empty());
    const size_t countAt = fixed.bytes.size() - 4;
    const size_t linkEnds[] = {countAt + 4 + 28, countAt + 4 + 28 + 22, countAt + 4 + 28 + 22 + 28};
    ASSERT_EQ(linkEnds[2], g.bytes.size());
    const CSoftInfoItem src = MakeInfo();
    for (size_t n = 0; n < g.bytes.size(); ++n) {
        CSoftInfoItem target = other;
        ASSERT_EQ(ReadInto(target, g.bytes, n), 0) << "prefix " << n;
        size_t whole = 0;
        for (size_t e : linkEnds)
            if (e <= n) ++whole;
        ASSERT_EQ(target.ShortCuts.size(), whole) << "prefix " << n;
        for (size_t i = 0; i < whole; ++i) {
            CSoftShortCut a = target.ShortCuts[i], b = src.ShortCuts[i];
            EXPECT_EQ(Hex(Serialized(a)), Hex(Serialized(b)));
        }
        size_t done = 0;
        for (size_t b : fixed.bounds)
            if (b <= n && b <= countAt) done = b;
        target.ShortCuts.clear();
        Bytes expected(g.bytes.begin(), g.bytes.begin() + done);
        expected.insert(expected.end(), look.begin() + done, look.end());
        ASSERT_EQ(Hex(Serialized(target)), Hex(expected)) << "prefix " << n;
    }
}
