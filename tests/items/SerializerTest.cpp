// The serializer: little-endian primitives without padding, texts as a byte count and UTF-16 units, its growth
// rule, and reads that fail without moving.
#include <gtest/gtest.h>

#include <cstring>

#include "ItemBytes.h"
#include "Serializer.h"

using namespace itemtest;

TEST(Serializer, WritesAndGrowsByDoublingPlusEightOrToWhatIsNeeded) {
    CSerializer w;
    EXPECT_EQ(w.Capacity(), 50u);
    const int written[] = {w.WriteU8(0xAB), w.WriteU32(0x01020304), w.WriteU64(0x1122334455667788ull), w.WriteText(L"abc"),
                           w.WriteText(L"")};  // in this order
    EXPECT_EQ(std::vector<int>(written, written + 5), std::vector<int>(5, 1));
    EXPECT_EQ(Hex(Bytes(w.Buffer(), w.Buffer() + w.Length())),
              "AB" "04030201" "8877665544332211" "06000000610062006300" "00000000");
    EXPECT_EQ(w.Capacity(), 50u);
    // Growth doubles plus eight, or takes what is needed, and keeps what was written.
    EXPECT_EQ(w.WriteText(std::wstring(98, L'x')), 1);
    EXPECT_EQ(w.Capacity(), 227u);
    EXPECT_EQ(Hex(Bytes(w.Buffer(), w.Buffer() + 31)),
              "AB" "04030201" "8877665544332211" "06000000610062006300" "00000000" "C4000000");
    CSerializer exact;
    exact.WriteText(std::wstring(23, L'y'));
    EXPECT_EQ(exact.Capacity(), 50u) << "filled exactly: no growth";
    exact.WriteU8(1);
    EXPECT_EQ(exact.Capacity(), 108u);
}

TEST(Serializer, ReadsFailWithoutMovingAndOwnTheirCopy) {
    BYTE ten[10] = {1, 0, 0, 0, 2, 0, 0, 0, 3, 0};
    CSerializer r(ten, 10);
    ten[0] = 9;
    EXPECT_EQ(r.Capacity(), 10u);
    UINT a = 0, b = 0, c = 77;
    ULONGLONG q = 5;
    BYTE x = 0;
    EXPECT_EQ(r.ReadU32(a), 1);
    EXPECT_EQ(r.ReadU32(b), 1);
    EXPECT_EQ(r.ReadU32(c) + r.ReadU64(q), 0);
    EXPECT_EQ(std::make_tuple(a, b, c, q, r.Length()), std::make_tuple(1u, 2u, 77u, 5ull, 8u));
    EXPECT_EQ(r.ReadU8(x) + r.ReadU8(x), 2);
    EXPECT_TRUE(r.AtEnd());
    EXPECT_EQ(r.ReadU8(x), 0);

    const struct {
        const char* label;
        std::vector<BYTE> bytes;
        int result;
        std::wstring text;  // "kept" when the read fails
        UINT length;        // where the reader is afterwards
    } texts[] = {
        {"count beyond the rest: the count is consumed, nothing allocated", {0xFE, 0xFF, 0xFF, 0xFF, 'a', 0, 'b', 0}, 0, L"kept", 4},
        {"count cut short: no movement", {0xFE, 0xFF, 0xFF}, 0, L"kept", 0},
        {"odd count: whole characters, the odd byte skipped", {5, 0, 0, 0, 'A', 0, 'B', 0, 'X', 7}, 1, L"AB", 9},
        {"empty", {0, 0, 0, 0, 1}, 1, L"", 4},
        {"exactly the rest", {4, 0, 0, 0, 0x2D, 0x4E, 0x87, 0x65}, 1, L"\u4E2D\u6587", 8},
    };
    for (const auto& t : texts) {
        CSerializer reader(t.bytes.data(), static_cast<UINT>(t.bytes.size()));
        std::wstring s = L"kept";
        EXPECT_EQ(reader.ReadText(s), t.result) << t.label;
        EXPECT_EQ(s, t.text) << t.label;
        EXPECT_EQ(reader.Length(), t.length) << t.label;
    }
}

TEST(Serializer, ReaderOverNothing) {
    const BYTE x = 'x';
    for (auto args : {std::make_pair(static_cast<const BYTE*>(nullptr), 0u), std::make_pair(static_cast<const BYTE*>(nullptr), 8u),
                      std::make_pair(&x, 0u)}) {
        CSerializer r(args.first, args.second);
        EXPECT_TRUE(r.AtEnd());
        EXPECT_EQ(r.Capacity() + r.Length(), 0u);
        EXPECT_EQ(r.Buffer(), nullptr);
        BYTE b;
        std::wstring s;
        EXPECT_EQ(r.ReadU8(b) + r.ReadText(s), 0);
        r.WriteU32(1);  // it can still be written to: it grows from nothing
        EXPECT_EQ(r.Capacity(), 8u);
    }
}
