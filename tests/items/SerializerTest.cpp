#include <gtest/gtest.h>

#include <cstring>

#include "ItemBytes.h"
#include "Serializer.h"

using namespace itemtest;

namespace {
Bytes Written(const CSerializer& s) { return Bytes(s.Buffer(), s.Buffer() + s.Length()); }
}  // namespace

TEST(Serializer, PrimitivesAreLittleEndianWithoutPadding) {
    CSerializer w;
    EXPECT_EQ(w.Capacity(), 50u);
    EXPECT_EQ(w.Length(), 0u);
    EXPECT_EQ(w.WriteU8(0xAB), 1);
    EXPECT_EQ(w.WriteU32(0x01020304), 1);
    EXPECT_EQ(w.WriteU64(0x1122334455667788ull), 1);
    EXPECT_EQ(w.WriteText(L"abc"), 1);
    EXPECT_EQ(w.WriteText(L""), 1);
    EXPECT_EQ(Hex(Written(w)), "AB" "04030201" "8877665544332211" "06000000610062006300" "00000000");
    EXPECT_EQ(w.Length(), 27u);
    EXPECT_EQ(w.Capacity(), 50u);
}

TEST(Serializer, GrowthDoublesPlusEightOrTakesWhatIsNeeded) {
    // 60 bytes of texts: the second text does not fit in 50.
    CSerializer w;
    w.WriteText(std::wstring(10, L'a'));   // 24 bytes
    EXPECT_EQ(w.Capacity(), 50u);
    w.WriteText(std::wstring(16, L'b'));   // 36 more: 60 in all
    EXPECT_EQ(w.Capacity(), 108u);
    EXPECT_EQ(w.Length(), 60u);
    Bytes b = Written(w);
    EXPECT_EQ(b[0], 20);
    EXPECT_EQ(b[4], 'a');
    EXPECT_EQ(b[22], 'a');
    EXPECT_EQ(b[24], 32);
    EXPECT_EQ(b[58], 'b');

    // 200 bytes at once: straight to what is needed.
    CSerializer big;
    big.WriteText(std::wstring(98, L'x'));
    EXPECT_EQ(big.Capacity(), 200u);
    EXPECT_EQ(big.Length(), 200u);
    EXPECT_TRUE(big.AtEnd());

    // Growth keeps the bytes and the cursor: 108, then 2 x 108 + 8.
    CSerializer many;
    for (UINT i = 0; i < 40; ++i) many.WriteU32(i);
    EXPECT_EQ(many.Capacity(), 224u);
    for (UINT i = 0; i < 40; ++i) {
        UINT v = 0;
        memcpy(&v, many.Buffer() + 4 * i, 4);
        EXPECT_EQ(v, i);
    }
    // The 50-byte writer filled exactly does not grow.
    CSerializer exact;
    exact.WriteText(std::wstring(23, L'y'));
    EXPECT_EQ(exact.Capacity(), 50u);
    exact.WriteU8(1);
    EXPECT_EQ(exact.Capacity(), 108u);
}

TEST(Serializer, ReadsFailWithoutMoving) {
    const BYTE ten[10] = {1, 0, 0, 0, 2, 0, 0, 0, 3, 0};
    CSerializer r(ten, 10);
    EXPECT_EQ(r.Capacity(), 10u);
    UINT a = 0, b = 0, c = 77;
    EXPECT_EQ(r.ReadU32(a), 1);
    EXPECT_EQ(r.ReadU32(b), 1);
    EXPECT_EQ(r.ReadU32(c), 0);
    EXPECT_EQ(r.Length(), 8u);
    EXPECT_EQ(a, 1u);
    EXPECT_EQ(b, 2u);
    EXPECT_EQ(c, 77u);
    ULONGLONG q = 5;
    EXPECT_EQ(r.ReadU64(q), 0);
    EXPECT_EQ(q, 5u);
    BYTE x = 0;
    EXPECT_EQ(r.ReadU8(x), 1);
    EXPECT_EQ(r.ReadU8(x), 1);
    EXPECT_TRUE(r.AtEnd());
    EXPECT_EQ(r.ReadU8(x), 0);
    EXPECT_EQ(r.Length(), 10u);
}

TEST(Serializer, TextReads) {
    // A count beyond what remains fails after consuming the count, and allocates nothing first.
    const BYTE huge[] = {0xFE, 0xFF, 0xFF, 0xFF, 'a', 0, 'b', 0};
    CSerializer r(huge, sizeof huge);
    std::wstring s = L"kept";
    EXPECT_EQ(r.ReadText(s), 0);
    EXPECT_EQ(s, L"kept");
    EXPECT_EQ(r.Length(), 4u);
    // The count alone cannot be read: no movement.
    CSerializer three(huge, 3);
    EXPECT_EQ(three.ReadText(s), 0);
    EXPECT_EQ(three.Length(), 0u);
    // An odd count reads whole characters and skips the odd byte.
    const BYTE odd[] = {5, 0, 0, 0, 'A', 0, 'B', 0, 'X', 7};
    CSerializer o(odd, sizeof odd);
    EXPECT_EQ(o.ReadText(s), 1);
    EXPECT_EQ(s, L"AB");
    EXPECT_EQ(o.Length(), 9u);
    BYTE last = 0;
    EXPECT_EQ(o.ReadU8(last), 1);
    EXPECT_EQ(last, 7);
    // Empty text, and a text exactly filling the rest.
    const BYTE two[] = {0, 0, 0, 0, 4, 0, 0, 0, 0x2D, 0x4E, 0x87, 0x65};
    CSerializer t(two, sizeof two);
    EXPECT_EQ(t.ReadText(s), 1);
    EXPECT_EQ(s, L"");
    EXPECT_EQ(t.ReadText(s), 1);
    EXPECT_EQ(s, L"\u4E2D\u6587");
    EXPECT_TRUE(t.AtEnd());
}

TEST(Serializer, ReaderOwnsACopy) {
    BYTE data[] = {9, 0, 0, 0};
    CSerializer r(data, 4);
    data[0] = 1;
    UINT v = 0;
    ASSERT_EQ(r.ReadU32(v), 1);
    EXPECT_EQ(v, 9u);
    EXPECT_NE(r.Buffer(), data);
}

TEST(Serializer, ReaderOverNothing) {
    for (CSerializer* r : {new CSerializer(nullptr, 0), new CSerializer(nullptr, 8),
                           new CSerializer(reinterpret_cast<const BYTE*>("x"), 0)}) {
        EXPECT_TRUE(r->AtEnd());
        EXPECT_EQ(r->Capacity(), 0u);
        EXPECT_EQ(r->Length(), 0u);
        EXPECT_EQ(r->Buffer(), nullptr);
        BYTE b;
        std::wstring s;
        EXPECT_EQ(r->ReadU8(b), 0);
        EXPECT_EQ(r->ReadText(s), 0);
        delete r;
    }
    // A reader can still be written to: it grows from nothing.
    CSerializer r(nullptr, 0);
    r.WriteU32(1);
    EXPECT_EQ(r.Capacity(), 8u);
}
