// Hand-written byte vectors for the record tests. Notation: hex digits, spaces ignored, '|' ends a field, ':'
// ends the part of a field that stays as it is when a look-alike record is made (a text's count, the shortcut
// count), e.g. "0D0C0B0A|02000000:4100|00000000:".
#pragma once

#include <windows.h>

#include <cctype>
#include <string>
#include <vector>

#include "Serializer.h"

namespace itemtest {

using Bytes = std::vector<BYTE>;

struct Golden {
    Bytes bytes;
    std::vector<size_t> bounds;  // offset after each field
    std::vector<bool> fixed;     // per byte: part of a count
};

inline Golden ParseGolden(const char* text) {
    Golden g;
    bool inFixed = true;
    size_t fieldStart = 0;
    int hi = -1;
    auto digit = [](char c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; };
    for (const char* p = text;; ++p) {
        if (*p == '|' || *p == 0) {
            if (g.bytes.size() > fieldStart) g.bounds.push_back(g.bytes.size());
            if (inFixed)  // a field without ':' has no fixed part
                for (size_t i = fieldStart; i < g.bytes.size(); ++i) g.fixed[i] = false;
            fieldStart = g.bytes.size();
            inFixed = true;
            if (*p == 0) break;
        } else if (*p == ':') {
            inFixed = false;
        } else if (isxdigit(static_cast<unsigned char>(*p))) {
            if (hi < 0) {
                hi = digit(*p);
            } else {
                g.bytes.push_back(static_cast<BYTE>(hi * 16 + digit(*p)));
                g.fixed.push_back(inFixed);
                hi = -1;
            }
        }
    }
    return g;
}

template <class T>
Bytes Serialized(T& item) {
    CSerializer w;
    if (!item.Serialize(w)) return Bytes();
    return Bytes(w.Buffer(), w.Buffer() + w.Length());
}

// Reads one T from the first n bytes; the Deserialize result.
template <class T>
int ReadInto(T& item, const Bytes& bytes, size_t n) {
    CSerializer r(bytes.data(), static_cast<UINT>(n));
    return item.Deserialize(r);
}

// The golden bytes with every byte outside the counts changed: the same layout, other values.
inline Bytes LookAlike(const Golden& g) {
    Bytes b = g.bytes;
    for (size_t i = 0; i < b.size(); ++i)
        if (!g.fixed[i]) b[i] ^= 0xA5;
    return b;
}

inline std::string Hex(const Bytes& b) {
    static const char* d = "0123456789ABCDEF";
    std::string s;
    for (BYTE x : b) s += {d[x >> 4], d[x & 15]};
    return s;
}

}  // namespace itemtest
