// Pinyin matching: does a typed input spell consecutive characters of a name?
//
// The name becomes a row of units: a Chinese character (its readings, and itself), a letter or digit (itself,
// lower case), or a separator that is stepped over. The input must be used up by consecutive units from some
// starting unit on, a Chinese character taking any non-empty leading part of one of its readings. Failed
// (unit, input position) pairs are remembered, so the search stays linear in units times input length.
#include <windows.h>

#include <algorithm>
#include <cwctype>
#include <vector>

#include "Ferro80U.h"

namespace {

#include "PinyinTable.inc"

constexpr unsigned kCharCount = sizeof(kChars) / sizeof(kChars[0]);
static_assert(kCharCount < 0xFFFF, "the BMP index holds entry numbers in 16 bits");

// The generated table is sorted and packed; the index makes a BMP lookup one array read.
class ReadingIndex {
public:
    ReadingIndex() : m_start(kCharCount + 1), m_bmp(0x10000) {
        unsigned offset = 0;
        for (unsigned i = 0; i < kCharCount; ++i) {
            m_start[i] = offset;
            offset += kChars[i] & 0xFF;
            const unsigned cp = kChars[i] >> 8;
            if (cp < 0x10000) m_bmp[cp] = static_cast<unsigned short>(i + 1);
        }
        m_start[kCharCount] = offset;
    }

    // Readings of a code point; count 0 when it has none.
    const unsigned short* Find(char32_t cp, unsigned& count) const {
        unsigned entry;
        if (cp < 0x10000) {
            entry = m_bmp[cp];
            if (entry == 0) return count = 0, nullptr;
            --entry;
        } else {
            const unsigned* end = kChars + kCharCount;
            const unsigned* it = std::lower_bound(kChars, end, static_cast<unsigned>(cp) << 8);
            if (it == end || (*it >> 8) != cp) return count = 0, nullptr;
            entry = static_cast<unsigned>(it - kChars);
        }
        count = kChars[entry] & 0xFF;
        return kReadings + m_start[entry];
    }

private:
    std::vector<unsigned> m_start;
    std::vector<unsigned short> m_bmp;
};

const ReadingIndex& Index() {
    static const ReadingIndex index;
    return index;
}

// A small array on the stack, on the heap only for long texts.
template <class T, size_t N>
class Buffer {
public:
    explicit Buffer(size_t n) : m_p(n <= N ? m_local : (m_heap.resize(n), m_heap.data())) {}
    T& operator[](size_t i) { return m_p[i]; }
    T* data() { return m_p; }

private:
    T m_local[N];
    std::vector<T> m_heap;
    T* m_p;
};

char32_t NextCodePoint(const wchar_t*& p) {
    char32_t c = static_cast<unsigned short>(*p++);
    if (c >= 0xD800 && c < 0xDC00 && *p >= 0xDC00 && *p < 0xE000)
        c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<unsigned short>(*p++) - 0xDC00);
    return c;
}

// Letters and digits compare in ASCII lower case; full-width forms count as their ASCII twins.
char32_t Fold(char32_t c) {
    if (c >= 0xFF01 && c <= 0xFF5E) c -= 0xFEE0;
    if (c >= 'A' && c <= 'Z') c += 'a' - 'A';
    return c;
}

char32_t FoldInput(char32_t c) {
    if (c == 0xFC || c == 0xDC) return 'v';  // u-umlaut, as the readings spell it
    return Fold(c);
}

struct Unit {
    char32_t self;                   // the character itself, folded; 0 for a separator
    const unsigned short* readings;  // syllable indices into kSyllables
    unsigned count;
};

bool IsSeparator(char32_t c) {
    return c < 0x10000 && !std::iswalnum(static_cast<wint_t>(c));
}

class Matcher {
public:
    Matcher(const Unit* units, size_t nUnits, const char32_t* input, size_t nInput)
        : m_units(units), m_nUnits(nUnits), m_input(input), m_nInput(nInput), m_failed((nUnits + 1) * (nInput + 1)) {
        std::fill_n(m_failed.data(), (nUnits + 1) * (nInput + 1), 0);
    }

    bool AnyStart() {
        for (size_t u = 0; u < m_nUnits; ++u)
            if (m_units[u].self != 0 && Reach(u, 0)) return true;
        return false;
    }

private:
    // Can the input from p on be spelled by the units from u on?
    bool Reach(size_t u, size_t p) {
        if (p == m_nInput) return true;
        while (u < m_nUnits && m_units[u].self == 0) ++u;
        if (u == m_nUnits) return false;
        unsigned char& failed = m_failed[u * (m_nInput + 1) + p];
        if (failed) return false;
        const Unit& unit = m_units[u];
        if (unit.self == m_input[p] && Reach(u + 1, p + 1)) return true;
        for (unsigned r = 0; r < unit.count; ++r) {
            const char* syllable = kSyllables[unit.readings[r]];
            size_t len = 0;
            while (syllable[len] && p + len < m_nInput && static_cast<char32_t>(syllable[len]) == m_input[p + len]) ++len;
            for (; len > 0; --len)
                if (Reach(u + 1, p + len)) return true;
        }
        failed = 1;
        return false;
    }

    const Unit* m_units;
    size_t m_nUnits;
    const char32_t* m_input;
    size_t m_nInput;
    Buffer<unsigned char, 4096> m_failed;
};

}  // namespace

namespace FERRO {

long MatchByPY(wchar_t* pszText, wchar_t* pszInput, int* pbMatch) {
    if (pbMatch) *pbMatch = 0;
    if (!pszText || !pszInput || !pbMatch) return E_POINTER;

    const size_t nInputMax = wcslen(pszInput);
    Buffer<char32_t, 128> input(nInputMax);
    size_t nInput = 0;
    for (const wchar_t* p = pszInput; *p;) {
        const char32_t c = NextCodePoint(p);
        if (!std::iswspace(static_cast<wint_t>(c))) input[nInput++] = FoldInput(c);
    }
    if (nInput == 0) return 0;

    const ReadingIndex& index = Index();
    const size_t nTextMax = wcslen(pszText);
    Buffer<Unit, 128> units(nTextMax);
    size_t nUnits = 0;
    for (const wchar_t* p = pszText; *p;) {
        const char32_t c = Fold(NextCodePoint(p));
        Unit& unit = units[nUnits++];
        unit.readings = index.Find(c, unit.count);
        unit.self = (unit.count == 0 && IsSeparator(c)) ? 0 : c;
    }

    Matcher matcher(units.data(), nUnits, input.data(), nInput);
    *pbMatch = matcher.AnyStart() ? 1 : 0;
    return 0;
}

}  // namespace FERRO
