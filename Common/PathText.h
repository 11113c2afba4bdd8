// Trailing backslashes off a path text, the one way every layer drops them.
#pragma once

#include <string>

namespace kx {

// Every trailing backslash off: the form folder texts are compared in.
inline std::wstring TrimSlashes(std::wstring s) {
    while (!s.empty() && s.back() == L'\\') s.pop_back();
    return s;
}

// The same, except that a drive's root keeps its own ("C:\"): without it "C:" names the drive's current folder.
inline std::wstring TrimSlashesKeepRoot(std::wstring s) {
    while (s.size() > 3 && s.back() == L'\\') s.pop_back();
    return s;
}

}  // namespace kx
