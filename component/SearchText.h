// Case folding and the case-blind substring test of the name search.
#pragma once

#include <string>

namespace kx {

// The character as the platform lower-cases it (one UTF-16 unit; surrogates stay as they are).
wchar_t FoldCase(wchar_t c);
std::wstring LowerCase(const std::wstring& str);
// Does strText contain strLowerNeedle (already lower case), compared without regard to case?
bool ContainsNoCase(const std::wstring& strText, const std::wstring& strLowerNeedle);

}  // namespace kx
