#include "IconLocation.h"

#include <cwchar>

namespace {

std::wstring Trim(const std::wstring& s) {
    const size_t first = s.find_first_not_of(L" \t");
    if (first == std::wstring::npos) return L"";
    return s.substr(first, s.find_last_not_of(L" \t") - first + 1);
}

// The text is a whole decimal number, with an optional sign, that fits an int.
bool ParseIndex(const std::wstring& text, int& index) {
    const std::wstring t = Trim(text);
    size_t i = (!t.empty() && (t[0] == L'-' || t[0] == L'+')) ? 1 : 0;
    if (i >= t.size() || t.size() - i > 9 || t.find_first_not_of(L"0123456789", i) != std::wstring::npos)
        return false;
    index = static_cast<int>(wcstol(t.c_str(), nullptr, 10));
    return true;
}

}  // namespace

IconLocation ParseIconLocation(const std::wstring& text) {
    IconLocation loc;
    const std::wstring t = Trim(text);
    if (!t.empty() && t[0] == L'"') {
        const size_t close = t.find(L'"', 1);
        if (close == std::wstring::npos) {
            loc.path = Trim(t.substr(1));
            return loc;
        }
        loc.path = Trim(t.substr(1, close - 1));
        std::wstring rest = Trim(t.substr(close + 1));
        if (!rest.empty() && rest[0] == L',') ParseIndex(rest.substr(1), loc.index);
        return loc;
    }
    const size_t comma = t.rfind(L',');
    if (comma != std::wstring::npos && ParseIndex(t.substr(comma + 1), loc.index)) {
        loc.path = Trim(t.substr(0, comma));
        return loc;
    }
    loc.path = t;
    return loc;
}
