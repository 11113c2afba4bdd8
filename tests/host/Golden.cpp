#include "Golden.h"

#include <windows.h>

#include <algorithm>

#include "kxtest/HostLayout.h"
#include "kxtest/TempDir.h"

namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

}  // namespace

std::wstring WindowsPathOf(const std::wstring& path) {
    std::wstring out = path;
    if (!out.empty() && out[0] == L'/') {
        std::replace(out.begin(), out.end(), L'/', L'\\');
        out = L"Z:" + out;
    }
    return out;
}

std::wstring FolderFromEnv(const wchar_t* name) {
    wchar_t value[1024] = {0};
    DWORD n = GetEnvironmentVariableW(name, value, 1024);
    std::wstring dir = WindowsPathOf(n && n < 1024 ? value : L"");
    if (!dir.empty() && dir.back() != L'\\') dir += L'\\';
    return dir;
}

std::string GoldenMismatch(const std::string& name, const std::string& actual) {
    std::wstring dir = FolderFromEnv(L"KXTEST_GOLDEN_DIR");
    if (dir.empty()) return "KXTEST_GOLDEN_DIR is not set";
    std::wstring path = dir + kxtest::Utf8ToWide(name);
    if (GetEnvironmentVariableW(L"KXTEST_UPDATE_GOLDEN", nullptr, 0) > 0) {
        kxtest::WriteFileBytes(path, actual);
        return "";
    }
    if (!kxtest::PathExists(path)) return name + " is missing (KXTEST_UPDATE_GOLDEN=1 writes it)";
    std::string expected = kxtest::ReadFileBytes(path);
    if (expected == actual) return "";
    std::vector<std::string> a = Lines(expected), b = Lines(actual);
    size_t i = 0;
    while (i < a.size() && i < b.size() && a[i] == b[i]) ++i;
    return name + " differs at line " + std::to_string(i + 1) + ":\n  golden:  " + (i < a.size() ? a[i] : "(end)") +
           "\n  printed: " + (i < b.size() ? b[i] : "(end)");
}

std::string MaskLines(const std::string& text, const std::vector<std::string>& prefixes) {
    std::string out;
    for (const std::string& line : Lines(text)) {
        size_t start = line.find_first_not_of(' ');
        std::string masked = line;
        for (const std::string& p : prefixes) {
            if (start != std::string::npos && line.compare(start, p.size(), p) == 0) {
                masked = line.substr(0, start + p.size()) + "*";
                break;
            }
        }
        out += masked + "\n";
    }
    return out;
}
