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
#include <winternl.h>

#include <algorithm>
#include <cstdint>
#include <cwchar>
#include <vector>

#include "Ferro80U.h"

namespace {

#include "PinyinTable.inc"

constexpr unsigned kCharCount = sizeof(kChars) / sizeof(kChars[0]);
constexpr unsigned kReadingCount = sizeof(kReadings) / sizeof(kReadings[0]);
static_assert(kReadingCount < (1u << 24), "a class entry holds the first reading in 24 bits");

// What a character is to the matcher, in 32 bits: 0 a separator; kLiteral a letter or digit of any script,
// matched by itself; kChinese | initials a Chinese character, initials having bit (x - 'a') for the first letter
// x of each of its readings. Where its readings are is kept apart: the scan of a name mostly needs the class
// alone, and the smaller table stays in the cache.
constexpr uint32_t kSeparator = 0;
constexpr uint32_t kLiteral = 1u << 30;
constexpr uint32_t kChinese = 1u << 29;
constexpr uint32_t kInitials = (1u << 26) - 1;

uint32_t LetterBit(char c) { return (c >= 'a' && c <= 'z') ? 1u << (c - 'a') : 0; }

// The readings of one character: (first index into kReadings) << 8 | count.
using Readings = uint32_t;

class CharClasses {
public:
    CharClasses() : m_start(kCharCount), m_class(0x10000, kSeparator), m_readings(0x10000, 0) {
        std::vector<WCHAR> all(0x10000);
        std::vector<WORD> types(0x10000);
        for (size_t c = 0; c < all.size(); ++c) all[c] = static_cast<WCHAR>(c);
        GetStringTypeW(CT_CTYPE1, all.data() + 1, 0xFFFF, types.data() + 1);
        for (size_t c = 1; c < all.size(); ++c)
            if (types[c] & (C1_ALPHA | C1_DIGIT)) m_class[c] = kLiteral;
        unsigned offset = 0;
        for (unsigned i = 0; i < kCharCount; ++i) {
            m_start[i] = offset;
            offset += kChars[i] & 0xFF;
        }
        for (unsigned i = 0; i < kCharCount; ++i) {
            const unsigned cp = kChars[i] >> 8;
            if (cp >= 0x10000) continue;
            m_class[cp] = ClassOf(i);
            m_readings[cp] = ReadingsOf(i);
        }
    }

    const uint32_t* Bmp() const { return m_class.data(); }
    Readings BmpReadings(char32_t cp) const { return m_readings[cp]; }

    // Beyond the basic plane only Chinese characters count; emoji and other symbols separate.
    uint32_t Supplementary(char32_t cp, Readings& readings) const {
        const unsigned* end = kChars + kCharCount;
        const unsigned* it = std::lower_bound(kChars, end, static_cast<unsigned>(cp) << 8);
        if (it == end || (*it >> 8) != cp) return kSeparator;
        const unsigned entry = static_cast<unsigned>(it - kChars);
        readings = ReadingsOf(entry);
        return ClassOf(entry);
    }

private:
    Readings ReadingsOf(unsigned entry) const { return m_start[entry] << 8 | (kChars[entry] & 0xFF); }

    uint32_t ClassOf(unsigned entry) const {
        uint32_t initials = 0;
        for (unsigned r = 0; r < (kChars[entry] & 0xFF); ++r)
            initials |= LetterBit(kSyllables[kReadings[m_start[entry] + r]][0]);
        return kChinese | initials;
    }

    std::vector<unsigned> m_start;
    std::vector<uint32_t> m_class;
    std::vector<Readings> m_readings;
};

const CharClasses& Classes() {
    static const CharClasses classes;
    return classes;
}

bool IsBlank(char32_t c) { return c == ' ' || c == '\t' || c == 0x3000; }
bool IsAsciiAlnum(char32_t c) { return (c >= '0' && c <= '9') || ((c | 0x20) >= 'a' && (c | 0x20) <= 'z'); }

// The input, as masks of its positions per character.
class Input {
public:
    static constexpr size_t kMax = 63;  // positions 0..63 fit one 64-bit set

    // False when no name can be spelled by it: too long, or holding ASCII that is neither letter nor digit
    // (the name's own punctuation separates, it is never matched).
    bool Read(const wchar_t* p) {
        while (*p) {
            char32_t c = static_cast<unsigned short>(*p++);
            if (c >= 0xD800 && c < 0xDC00 && *p >= 0xDC00 && *p < 0xE000)
                c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<unsigned short>(*p++) - 0xDC00);
            if (IsBlank(c)) continue;
            if (m_length == kMax) return false;
            if (c >= 0xFF01 && c <= 0xFF5E) c -= 0xFEE0;
            if (c == 0xFC || c == 0xDC) c = 'v';  // u-umlaut, as the readings spell it
            if (c < 128) {
                if (!IsAsciiAlnum(c)) return false;
                c |= 0x20;
                m_pos[c - '0'] |= uint64_t{1} << m_length;
                m_letters[m_length] = LetterBit(static_cast<char>(c));
            } else {
                m_letters[m_length] = 0;
                m_hasOther = true;
            }
            m_chars[m_length++] = c;
        }
        return m_length > 0;
    }

    size_t Length() const { return m_length; }
    char32_t First() const { return m_chars[0]; }
    // Positions holding c (a folded ASCII letter or digit).
    uint64_t Ascii(char32_t c) const { return m_pos[c - '0']; }
    // Positions holding c, any character.
    uint64_t Any(char32_t c) const {
        if (c < 128) return IsAsciiAlnum(c) ? Ascii(c) : 0;
        uint64_t mask = 0;
        if (m_hasOther)
            for (size_t i = 0; i < m_length; ++i)
                if (m_chars[i] == c) mask |= uint64_t{1} << i;
        return mask;
    }
    // The letters at the positions of a set, as letter bits.
    uint64_t LettersAt(uint64_t positions) const {
        uint64_t letters = 0;
        for (; positions; positions &= positions - 1) letters |= m_letters[__builtin_ctzll(positions)];
        return letters;
    }

private:
    uint64_t m_pos['z' - '0' + 1] = {};
    uint64_t m_letters[kMax];
    char32_t m_chars[kMax];
    size_t m_length = 0;
    bool m_hasOther = false;
};

// The positions reached through a Chinese character from the positions `from`.
uint64_t Advance(Readings readings, uint64_t from, const Input& input) {
    uint64_t next = 0;
    const unsigned first = readings >> 8;
    for (unsigned r = 0, n = readings & 0xFF; r < n; ++r) {
        uint64_t m = from;
        for (const char* s = kSyllables[kReadings[first + r]]; *s; ++s) {
            m &= input.Ascii(static_cast<unsigned char>(*s));
            if (!m) break;
            m <<= 1;
            next |= m;
        }
    }
    return next;
}

bool Spells(const wchar_t* text, const Input& input) {
    const CharClasses& classes = Classes();
    const uint32_t* bmp = classes.Bmp();
    const uint64_t done = uint64_t{1} << input.Length();
    const uint32_t firstLetters = static_cast<uint32_t>(input.LettersAt(1));
    const char32_t first = input.First();
    uint64_t reached = 0;
    for (;;) {
        char32_t c = static_cast<unsigned short>(*text++);
        if (reached == 0) {
            // Nothing under way: skip to a character that may begin a run, one test each. (An ASCII control
            // character may pass the first test; the full test below rejects it.)
            const uint32_t starts = kLiteral | firstLetters;
            if (first < 128) {  // the usual typed input: no character beyond ASCII can be the first itself
                while (c < 128 ? (c | 0x20) != first && c != 0 : !(bmp[c] & starts) && c - 0xD800u >= 0x400u)
                    c = static_cast<unsigned short>(*text++);
            } else {
                while (c < 128 ? (c | 0x20) != first && c != 0
                               : !(bmp[c] & starts) && c != first && c - 0xD800u >= 0x400u)
                    c = static_cast<unsigned short>(*text++);
            }
        }
        if (c == 0) return false;
        const uint64_t from = reached | 1;  // a run may begin at this unit
        uint64_t next;
        if (c < 128) {
            if (!IsAsciiAlnum(c)) continue;
            next = (from & input.Ascii(c | 0x20)) << 1;
        } else {
            uint32_t cls;
            Readings readings = 0;
            if (c >= 0xD800 && c < 0xDC00 && *text >= 0xDC00 && *text < 0xE000) {
                c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<unsigned short>(*text++) - 0xDC00);
                cls = classes.Supplementary(c, readings);
            } else {
                cls = bmp[c];
                if (cls & kChinese) readings = classes.BmpReadings(c);
            }
            if (cls == kSeparator) continue;
            const char32_t self = (c >= 0xFF01 && c <= 0xFF5E) ? (c - 0xFEE0) | 0x20 : c;  // full-width ASCII
            next = (from & input.Any(self)) << 1;
            if (cls & kChinese) {
                const uint32_t letters = reached ? static_cast<uint32_t>(input.LettersAt(from)) : firstLetters;
                if (cls & kInitials & letters) next |= Advance(readings, from, input);
            }
        }
        if (next & done) return true;
        reached = next;
    }
}

// A host filters its whole list with one input: each thread keeps the last input it read. The slot is a
// plain TLS index (the runtime's emulated thread_local costs as much as a short match).
struct LastInput {
    wchar_t text[Input::kMax * 2 + 1] = {};  // the raw input, when it fits
    bool usable = false;
    Input input;
};

DWORD g_dwTls = TLS_OUT_OF_INDEXES;

// The first 64 slots are read from the thread's environment block, as TlsGetValue reads them, without the call
// (and its last-error write): a host asks once per name.
// (GCC takes the segment read inside NtCurrentTeb for an access to a zero-length array.)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Warray-bounds"
void* ThreadSlot() {
    return g_dwTls < 64 ? NtCurrentTeb()->TlsSlots[g_dwTls] : TlsGetValue(g_dwTls);
}
#pragma GCC diagnostic pop

LastInput& ThreadLastInput() {
    auto* last = static_cast<LastInput*>(ThreadSlot());
    if (!last) {
        last = new LastInput();
        TlsSetValue(g_dwTls, last);
    }
    return *last;
}

void FreeThreadLastInput() {
    if (g_dwTls == TLS_OUT_OF_INDEXES) return;
    delete static_cast<LastInput*>(TlsGetValue(g_dwTls));
    TlsSetValue(g_dwTls, nullptr);
}

}  // namespace

// The C++ runtime is linked in statically; its emergency exception pool (about 73 KB) is freed when a host
// unloads the library, which hosts do again and again.
namespace __gnu_cxx {
void __freeres() noexcept;
}

BOOL WINAPI DllMain(HINSTANCE, DWORD dwReason, LPVOID pReserved) {
    switch (dwReason) {
    case DLL_PROCESS_ATTACH:
        g_dwTls = TlsAlloc();
        return g_dwTls != TLS_OUT_OF_INDEXES;
    case DLL_THREAD_DETACH:
        FreeThreadLastInput();
        break;
    case DLL_PROCESS_DETACH:
        FreeThreadLastInput();
        TlsFree(g_dwTls);
        if (!pReserved) __gnu_cxx::__freeres();  // FreeLibrary, not process exit
        break;
    }
    return TRUE;
}

namespace FERRO {

// True when the kept input is the same text; the comparison stops at the first difference, so a host's
// unchanged input costs one pass over it and no library calls.
bool SameInput(const LastInput& last, const wchar_t* pszInput, bool& bFits) {
    const size_t kRoom = sizeof(last.text) / sizeof(last.text[0]);
    size_t i = 0;
    for (; i < kRoom; ++i) {
        if (last.text[i] != pszInput[i]) break;
        if (pszInput[i] == L'\0') return bFits = true, last.usable;
    }
    while (i < kRoom && pszInput[i]) ++i;
    bFits = i < kRoom;
    return false;
}

long MatchByPY(wchar_t* pszText, wchar_t* pszInput, int* pbMatch) {
    if (pbMatch) *pbMatch = 0;
    if (!pszText || !pszInput || !pbMatch) return E_POINTER;
    LastInput& last = ThreadLastInput();
    bool fits = false;
    if (!SameInput(last, pszInput, fits)) {
        last.input = Input();
        const bool readable = last.input.Read(pszInput);
        last.usable = readable && fits;
        if (fits) wcscpy(last.text, pszInput);
        if (!readable) return 0;
    }
    *pbMatch = Spells(pszText, last.input) ? 1 : 0;
    return 0;
}

}  // namespace FERRO
