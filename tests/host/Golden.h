// Golden outputs: what kxuninst prints, compared byte for byte with files in tests/host/golden. With
// KXTEST_UPDATE_GOLDEN=1 the files are written from what was printed instead (review the diff, then commit).
#pragma once

#include <string>
#include <vector>

// KXTEST_GOLDEN_DIR names the folder (a Linux path under Wine is shown under Z:).
// Empty when the output matches; otherwise the first differing line of each side.
std::string GoldenMismatch(const std::string& name, const std::string& actual);

// Lines whose text, after leading blanks, starts with one of the prefixes keep the prefix and lose the rest,
// which becomes "*": for values that differ from machine to machine (install dates, sizes).
std::string MaskLines(const std::string& text, const std::vector<std::string>& prefixes);

// A Linux path as this process under Wine reaches it (Z:), or the path itself when it is a Windows one.
std::wstring WindowsPathOf(const std::wstring& path);
// The folder an environment variable names, as a Windows path with a trailing backslash.
std::wstring FolderFromEnv(const wchar_t* name);
