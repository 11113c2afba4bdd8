// The record formats byte by byte: each class populated field by field and as constructed, with non-ASCII and
// surrogate text; each read back and written again, and read from every truncated prefix.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "CategoryItem.h"
#include "ItemBytes.h"
#include "PowerSweepItem.h"
#include "SoftInfoItem.h"
#include "SoftItem.h"
#include "SoftShortCut.h"
#include "UninstallRuleItem.h"

using namespace itemtest;

namespace {

CSoftItem MakeSoft() {
    CSoftItem r;
    r.Id = 0x0A0B0C0D; r.SoftId = L"A"; r.DelTick = 0x99; r.Name = L"B"; r.ExtraText1 = L"C"; r.ExtraFlag1 = 0;
    r.Virtual = 1; r.ExtraText2 = L"D"; r.ExtraText3 = L"E"; r.Category = L"F"; r.Icon = L"G"; r.Brief = L"H";
    r.InfoUrl = L"I"; r.ExtraFlag2 = 1; r.ExtraText4 = L"J"; r.ExtraValue1 = 0x11; r.ExtraValue2 = 0x12;
    r.ExtraText5 = L"K"; r.ExtraText6 = L"L"; r.ExtraText7 = L"M"; r.ExtraText8 = L"N"; r.ExtraFlag3 = 0;
    r.ExtraValue3 = 0x13; r.ExtraValue4 = 0x14; r.ExtraValue5 = 0x15; r.ExtraFlag4 = 1; r.ExtraValue6 = 0x16;
    r.ExtraValue7 = 0x17; r.ExtraValue8 = 0x0123456789ABCDEFull; r.ExtraValue9 = 0x18; r.ExtraValue10 = 0x19;
    r.Folder = L"O"; r.Time = L"P"; r.Use = 3; r.Size = -2; r.Key = L"\u5FAE\U0001F600";
    return r;
}
const char kSoft[] =
    "0D0C0B0A|02000000:4100|02000000:4200|02000000:4300|"  // Id, SoftId, Name, ExtraText1 (DelTick is not sent)
    "00|01|"                                                 // ExtraFlag1, Virtual
    "02000000:4400|02000000:4500|02000000:4600|02000000:4700|02000000:4800|02000000:4900|"  // ExtraText2..InfoUrl
    "01|02000000:4A00|11000000|12000000|"                    // ExtraFlag2, ExtraText4, ExtraValue1, 2
    "02000000:4B00|02000000:4C00|02000000:4D00|02000000:4E00|"  // ExtraText5..8
    "00|13000000|14000000|15000000|01|16000000|17000000|"    // ExtraFlag3, ExtraValue3..5, ExtraFlag4, 6, 7
    "EFCDAB8967452301|18000000|19000000|"                    // ExtraValue8 (low half first), 9, 10
    "02000000:4F00|02000000:5000|03000000|FEFFFFFFFFFFFFFF|06000000:AE5F3DD800DE";  // Folder, Time, Use, Size, Key
const char kSoftDefault[] =
    "00000000|00000000:|00000000:|00000000:|01|00|00000000:|00000000:|00000000:|00000000:|00000000:|00000000:|"
    "00|00000000:|00000000|00000000|00000000:|00000000:|00000000:|00000000:|01|00000000|00000000|00000000|00|"
    "00000000|00000000|0000000000000000|00000000|00000000|00000000:|00000000:|00000000|0000000000000000|00000000:";

CSoftShortCut MakeLink(const wchar_t* t1, const wchar_t* t2, const wchar_t* t3, const wchar_t* t4, UINT v) {
    CSoftShortCut l;
    l.LinkText1 = t1; l.LinkText2 = t2; l.LinkText3 = t3; l.LinkText4 = t4; l.LinkValue = v;
    l.Id = 77; l.SoftId = L"not written";
    return l;
}

// Without shortcuts here: a read appends them, which the case of its own below checks.
CSoftInfoItem MakeInfo() {
    CSoftInfoItem r;
    r.Id = 0x21; r.SoftId = L"s"; r.InfoText1 = L"a"; r.InfoText2 = L"b"; r.InfoFlag1 = 1; r.InfoText3 = L"c";
    r.InfoValue1 = 0x1122334455667788ull; r.InfoText4 = r.InfoText5 = L"X"; r.InfoText6 = L"d";
    r.Category = L"\u5176\u4ED6"; r.InfoText7 = L"f"; r.InfoText8 = L"g"; r.InfoText9 = L"h"; r.InfoText10 = L"i";
    r.InfoText11 = L"w"; r.InfoText12 = L"x"; r.InfoValue2 = 0x22; r.MatchName = L"j"; r.InfoText13 = L"k";
    r.InfoText14 = L"l"; r.InfoFlag2 = 2; r.InfoText15 = L"X"; r.InfoFlag3 = 3; r.InfoValue3 = 0x33;
    r.InfoValue4 = 0x44; r.InfoText16 = L"X"; r.InfoText17 = L"q"; r.InfoText18 = L"X"; r.InfoText19 = L"r";
    r.InfoFlag4 = 4; r.InfoText20 = L"m"; r.InfoText21 = L"n"; r.InfoText22 = L"o"; r.InfoText23 = L"p";
    r.InfoText24 = L"u"; r.InfoFlag5 = 5; r.InfoText25 = L"v";
    return r;
}
const char kInfo[] =
    "21000000|02000000:7300|02000000:6100|02000000:6200|"  // Id, SoftId, InfoText1, 2
    "01|22000000|02000000:6300|8877665544332211|"           // InfoFlag1, InfoValue2, InfoText3, InfoValue1
    "02000000:6400|04000000:7651D64E|"                      // InfoText6, Category
    "02000000:6600|02000000:6700|02000000:6800|02000000:6900|"  // InfoText7..10
    "02000000:6A00|02000000:6B00|02000000:6C00|"            // MatchName, InfoText13, 14
    "02|03|33000000|44000000|04|"                           // InfoFlag2, 3, InfoValue3, 4, InfoFlag4
    "02000000:6D00|02000000:6E00|02000000:6F00|02000000:7000|02000000:7500|"  // InfoText20..24
    "05|02000000:7600|"                                     // InfoFlag5, InfoText25
    "02000000:7700|02000000:7800|02000000:7200|02000000:7100|"  // InfoText11, 12, 19, 17
    "00000000:";                                            // no shortcuts
const char kLinks[] =  // three shortcuts: the count, then LinkText1, 3, 2, 4 and the value of each
    "03000000:|02000000:6100|02000000:6300|02000000:6200|02000000:6400|01000000|"
    "02000000:2D4E|00000000:|00000000:|00000000:|02000000|"
    "02000000:3100|02000000:3300|02000000:3200|02000000:3400|FFFFFFFF";

CUninstallRuleItem MakeRule() {
    CUninstallRuleItem r;
    r.Id = 0x11; r.SoftId = L"k"; r.TypeId = 0x22; r.Hide = 1; r.MatchType = 3; r.SoftLogo = L"L"; r.Brief = L"B";
    r.InfoUrl = L"U"; r.UninstallName = L"\u5FAE"; r.LogoCrc = L"C";
    return r;
}

CCategoryItem MakeCategory(const std::wstring& name) {
    CCategoryItem r;
    r.Id = 0x01020304; r.SoftId = L"not written"; r.Name = name; r.Count = 7;
    return r;
}

CPowerSweepItem MakeSweep(const std::wstring& path) {
    CPowerSweepItem r;
    r.Kind = 2; r.Id = 5; r.Level = 1; r.SoftId = L"not written"; r.Path = path;
    return r;
}

// One row: a record's bytes, and the bytes of a record of its class after reading n of `from` into it, when it
// held `start` (nothing when empty).
struct Row {
    const char* name;
    const char* golden;
    std::function<Bytes()> written;
    std::function<std::pair<int, Bytes>(const Bytes& from, size_t n, const Bytes& start)> reread;
};

template <class T>
Row MakeRow(const char* name, const char* golden, T record) {
    return {name, golden, [record]() mutable { return Serialized(record); },
            [](const Bytes& from, size_t n, const Bytes& start) {
                T t;
                if (!start.empty()) {
                    EXPECT_EQ(ReadInto(t, start, start.size()), 1);
                }
                int result = ReadInto(t, from, n);
                return std::make_pair(result, Serialized(t));
            }};
}

const Row kRows[] = {
    MakeRow("soft", kSoft, MakeSoft()),
    MakeRow("soft as constructed", kSoftDefault, CSoftItem()),
    MakeRow("info", kInfo, MakeInfo()),
    MakeRow("info as constructed", "00000000|00000000:|00000000:|00000000:|00|00000000|00000000:|0000000000000000|"
            "00000000:|00000000:|00000000:|00000000:|00000000:|00000000:|00000000:|00000000:|00000000:|00|00|"
            "00000000|00000000|00|00000000:|00000000:|00000000:|00000000:|00000000:|00|00000000:|00000000:|"
            "00000000:|00000000:|00000000:|00000000:", CSoftInfoItem()),
    MakeRow("shortcut", "02000000:6100|02000000:6300|02000000:6200|02000000:6400|09000000",
            MakeLink(L"a", L"b", L"c", L"d", 9)),
    MakeRow("shortcut as constructed", "00000000:|00000000:|00000000:|00000000:|00000000", CSoftShortCut()),
    MakeRow("rule", "11000000|22000000|02000000:6B00|01000000|03000000|"  // Id, TypeId, SoftId, Hide, MatchType
            "02000000:4C00|02000000:4200|02000000:5500|02000000:AE5F|02000000:4300", MakeRule()),
    MakeRow("rule as constructed", "00000000|00000000|00000000:|00000000|00000000|00000000:|00000000:|00000000:|"
            "00000000:|00000000:", CUninstallRuleItem()),
    MakeRow("category", "04030201|04000000:7651D64E|07000000", MakeCategory(L"\u5176\u4ED6")),  // 其他
    MakeRow("category, lone surrogate", "04030201|02000000:00D8|07000000", MakeCategory(std::wstring(1, wchar_t(0xD800)))),
    MakeRow("category as constructed", "00000000|00000000:|00000000", CCategoryItem()),
    MakeRow("sweep", "02000000|05000000|01000000|08000000:43003A005C006100", MakeSweep(L"C:\\a")),  // Kind, Id, Level
    MakeRow("sweep, surrogate pair high first", "02000000|05000000|01000000|04000000:3DD800DE", MakeSweep(L"\U0001F600")),
    MakeRow("sweep as constructed", "00000000|00000000|00000000|00000000:", CPowerSweepItem()),
};

}  // namespace

TEST(Records, GoldenBytesRoundTripAndEveryTruncatedPrefix) {
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.name);
        const Golden g = ParseGolden(row.golden);
        ASSERT_EQ(Hex(row.written()), Hex(g.bytes));
        auto back = row.reread(g.bytes, g.bytes.size(), {});
        EXPECT_EQ(back.first, 1);
        EXPECT_EQ(Hex(back.second), Hex(g.bytes));
        // Into a record holding other values of the same layout: a prefix fails, the fields complete in it hold
        // the golden values, the others keep theirs.
        const Bytes look = LookAlike(g);
        ASSERT_EQ(Hex(row.reread(look, look.size(), {}).second), Hex(look));
        for (size_t n = 0; n < g.bytes.size(); ++n) {
            size_t done = 0;
            for (size_t b : g.bounds)
                if (b <= n) done = b;
            Bytes expected(g.bytes.begin(), g.bytes.begin() + done);
            expected.insert(expected.end(), look.begin() + done, look.end());
            auto got = row.reread(g.bytes, n, look);
            ASSERT_EQ(got.first, 0) << "prefix " << n;
            ASSERT_EQ(Hex(got.second), Hex(expected)) << "prefix " << n;
        }
    }
}

// Counts beyond the input fail the read without allocating for them.
TEST(Records, HugeCountsFail) {
    for (const char* hostile : {"04030201|FFFFFFFF:41", "04030201|FEFFFF7F:41"}) {
        CCategoryItem cat;
        EXPECT_EQ(ReadInto(cat, ParseGolden(hostile).bytes, ParseGolden(hostile).bytes.size()), 0) << hostile;
    }
    Bytes info = ParseGolden(kInfo).bytes;
    std::fill(info.end() - 4, info.end(), 0xFF);  // 4 294 967 295 shortcuts, none there
    CSoftInfoItem target;
    EXPECT_EQ(ReadInto(target, info, info.size()), 0);
    EXPECT_TRUE(target.ShortCuts.empty());
}

// Shortcuts are appended to what the record holds, only whole ones, in the order LinkText1, 3, 2, 4 on the wire.
TEST(Records, InformationShortcutsAppendWholeOnes) {
    const Bytes fixed = ParseGolden(kInfo).bytes;
    const Golden links = ParseGolden(kLinks);
    Bytes all(fixed.begin(), fixed.end() - 4);
    all.insert(all.end(), links.bytes.begin(), links.bytes.end());
    CSoftInfoItem withLinks = MakeInfo();
    for (auto l : {MakeLink(L"a", L"b", L"c", L"d", 1), MakeLink(L"\u4E2D", L"", L"", L"", 2),
                   MakeLink(L"1", L"2", L"3", L"4", 0xFFFFFFFF)})
        withLinks.ShortCuts.push_back(l);
    EXPECT_EQ(Hex(Serialized(withLinks)), Hex(all));

    const size_t linkEnds[] = {links.bounds[5], links.bounds[10], links.bounds[15]};
    for (size_t n = fixed.size() - 4; n <= all.size(); ++n) {
        CSoftInfoItem target;
        target.ShortCuts.push_back(MakeLink(L"old", L"", L"", L"", 42));
        target.InfoText4 = L"kept";  // not on the wire
        EXPECT_EQ(ReadInto(target, all, n), n == all.size() ? 1 : 0) << n;
        size_t whole = 0;
        for (size_t end : linkEnds) whole += fixed.size() - 4 + end <= n;
        ASSERT_EQ(target.ShortCuts.size(), 1 + whole) << n;
        EXPECT_EQ(target.ShortCuts[0].LinkText1, L"old");
        for (size_t i = 0; i < whole; ++i)
            EXPECT_EQ(Hex(Serialized(target.ShortCuts[1 + i])), Hex(Serialized(withLinks.ShortCuts[i])));
        EXPECT_EQ(target.InfoText4, L"kept");
    }
}
