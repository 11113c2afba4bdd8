// Pinyin matching: does a typed input spell consecutive characters of a name?
//
// The name is read as a row of units: a Chinese character (matched by a non-empty leading part of one of its
// readings, or by itself), a letter or digit (by itself), or a separator (stepped over). The input must be used
// up by consecutive units from some unit on.
//
// A host filters thousands of names per keystroke, so the name is read once, left to right, carrying the set of
// input positions reached so far as a bit set (bit p: the input's first p characters are spelled by a run ending
// here). A reading advances the set with one AND and one shift per letter, against per-letter masks of the
// input's positions; most characters are done after a single AND that comes out empty.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "Ferro80U.h"

namespace {

#include "PinyinTable.inc"

constexpr unsigned kCharCount = sizeof(kChars) / sizeof(kChars[0]);
constexpr unsigned kReadingCount = sizeof(kReadings) / sizeof(kReadings[0]);
static_assert(kReadingCount < (1u << 24), "a class entry holds the first reading in 24 bits");

// What a character is to the matcher, packed: 0 a separator; kLiteral a letter or digit of any script;
// otherwise (first reading << 8) | number of readings for a Chinese character.
constexpr uint32_t kSeparator = 0;
constexpr uint32_t kLiteral = 0x100;

uint32_t Packed(unsigned entry, const std::vector<unsigned>& start) {
    return start[entry] << 8 | (kChars[entry] & 0xFF);
}

class CharClasses {
public:
    CharClasses() : m_start(kCharCount), m_bmp(0x10000, kSeparator) {
        std::vector<WCHAR> all(0x10000);
        std::vector<WORD> types(0x10000);
        for (size_t c = 0; c < all.size(); ++c) all[c] = static_cast<WCHAR>(c);
        GetStringTypeW(CT_CTYPE1, all.data() + 1, 0xFFFF, types.data() + 1);
        for (size_t c = 1; c < all.size(); ++c)
            if (types[c] & (C1_ALPHA | C1_DIGIT)) m_bmp[c] = kLiteral;
        unsigned offset = 0;
        for (unsigned i = 0; i < kCharCount; ++i) {
            m_start[i] = offset;
            offset += kChars[i] & 0xFF;
        }
        for (unsigned i = 0; i < kCharCount; ++i)
            if ((kChars[i] >> 8) < 0x10000) m_bmp[kChars[i] >> 8] = Packed(i, m_start);
    }

    uint32_t Of(char32_t cp) const {
        if (cp < 0x10000) return m_bmp[cp];
        const unsigned* end = kChars + kCharCount;
        const unsigned* it = std::lower_bound(kChars, end, static_cast<unsigned>(cp) << 8);
        if (it == end || (*it >> 8) != cp) return kSeparator;  // emoji and other symbols
        return Packed(static_cast<unsigned>(it - kChars), m_start);
    }

private:
    std::vector<unsigned> m_start;
    std::vector<uint32_t> m_bmp;
};

const CharClasses& Classes() {
    static const CharClasses classes;
    return classes;
}

char32_t NextCodePoint(const wchar_t*& p) {
    char32_t c = static_cast<unsigned short>(*p++);
    if (c >= 0xD800 && c < 0xDC00 && *p >= 0xDC00 && *p < 0xE000)
        c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<unsigned short>(*p++) - 0xDC00);
    return c;
}

// Letters compare in ASCII lower case; full-width letters and digits count as their ASCII twins.
char32_t Fold(char32_t c) {
    if (c >= 0xFF01 && c <= 0xFF5E) c -= 0xFEE0;
    if (c >= 'A' && c <= 'Z') c += 'a' - 'A';
    return c;
}

bool IsBlank(char32_t c) { return c == ' ' || c == '\t' || c == 0x3000; }

// The input, as masks of its positions per character.
struct Input {
    static constexpr size_t kMax = 63;  // positions 0..63 fit one 64-bit set
    uint64_t pos[128] = {};             // ASCII character -> positions holding it
    char32_t other[kMax];               // the input itself, for the rare non-ASCII characters in it
    size_t length = 0;
    bool hasOther = false;

    bool Read(const wchar_t* p) {
        while (*p) {
            char32_t c = NextCodePoint(p);
            if (IsBlank(c)) continue;
            if (length == kMax) return false;
            c = (c == 0xFC || c == 0xDC) ? 'v' : Fold(c);  // u-umlaut, as the readings spell it
            if (c < 128) pos[c] |= uint64_t{1} << length;
            else hasOther = true;
            other[length++] = c;
        }
        return true;
    }

    uint64_t PositionsOf(char32_t c) const {
        if (c < 128) return pos[c];
        uint64_t mask = 0;
        if (hasOther)
            for (size_t i = 0; i < length; ++i)
                if (other[i] == c) mask |= uint64_t{1} << i;
        return mask;
    }
};

bool Spells(const wchar_t* text, const Input& input) {
    const CharClasses& classes = Classes();
    const uint64_t done = uint64_t{1} << input.length;
    uint64_t reached = 0;
    while (*text) {
        const char32_t c = Fold(NextCodePoint(text));
        const uint32_t cls = c < 128 ? (((c | 0x20) - 'a' < 26u || c - '0' < 10u) ? kLiteral : kSeparator)
                                     : classes.Of(c);
        if (cls == kSeparator) continue;
        const uint64_t from = reached | 1;  // a run may begin at this unit
        uint64_t next = (from & input.PositionsOf(c)) << 1;
        for (uint32_t r = 0, n = cls & 0xFF; r < n; ++r) {
            uint64_t m = from;
            for (const char* s = kSyllables[kReadings[(cls >> 8) + r]]; *s; ++s) {
                m &= input.pos[static_cast<unsigned char>(*s)];
                if (!m) break;
                m <<= 1;
                next |= m;
            }
        }
        if (next & done) return true;
        reached = next;
    }
    return false;
}

}  // namespace

namespace FERRO {

long MatchByPY(wchar_t* pszText, wchar_t* pszInput, int* pbMatch) {
    if (pbMatch) *pbMatch = 0;
    if (!pszText || !pszInput || !pbMatch) return E_POINTER;
    Input input;
    if (!input.Read(pszInput) || input.length == 0) return 0;
    *pbMatch = Spells(pszText, input) ? 1 : 0;
    return 0;
}

}  // namespace FERRO
