// The name search folds every character of every listed name; a table filled once from the platform's own
// lower-casing keeps that to one array read per character.
#include "SearchText.h"

#include <windows.h>

#include <vector>

namespace kx {

namespace {

const wchar_t* FoldTable() {
    static const std::vector<wchar_t> table = [] {
        std::vector<wchar_t> t(0x10000);
        for (size_t c = 0; c < t.size(); ++c) t[c] = static_cast<wchar_t>(c);
        // Surrogates are halves of characters: leave them out of the folding.
        CharLowerBuffW(t.data(), 0xD800);
        CharLowerBuffW(t.data() + 0xE000, 0x2000);
        return t;
    }();
    return table.data();
}

}  // namespace

wchar_t FoldCase(wchar_t c) { return FoldTable()[static_cast<unsigned short>(c)]; }

std::wstring LowerCase(const std::wstring& str) {
    const wchar_t* fold = FoldTable();
    std::wstring out(str);
    for (wchar_t& c : out) c = fold[static_cast<unsigned short>(c)];
    return out;
}

bool ContainsNoCase(const std::wstring& strText, const std::wstring& strLowerNeedle) {
    const size_t n = strText.size(), m = strLowerNeedle.size();
    if (m == 0) return true;
    if (m > n) return false;
    const wchar_t* fold = FoldTable();
    const wchar_t* text = strText.data();
    const wchar_t* needle = strLowerNeedle.data();
    for (size_t i = 0; i + m <= n; ++i) {
        if (fold[static_cast<unsigned short>(text[i])] != needle[0]) continue;
        size_t k = 1;
        while (k < m && fold[static_cast<unsigned short>(text[i + k])] == needle[k]) ++k;
        if (k == m) return true;
    }
    return false;
}

}  // namespace kx
