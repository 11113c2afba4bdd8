#include "kxtest/Log.h"

#include <windows.h>

#include <ctime>

#include "ScopedHandle.h"
#include "kxtest/HostLayout.h"
#include "kxtest/TempDir.h"

namespace kxtest {

LogMark::LogMark() : m_from(ReadLogLines(ComponentLogPath()).size()) {}

std::vector<std::wstring> LogMark::Lines(const std::wstring& needle) const {
    std::vector<std::wstring> all = ReadLogLines(ComponentLogPath()), hits;
    for (size_t i = m_from; i < all.size(); ++i)
        if (all[i].find(needle) != std::wstring::npos) hits.push_back(all[i]);
    return hits;
}

std::vector<std::wstring> LogMark::Messages(const std::wstring& function) const {
    std::vector<std::wstring> messages;
    for (const std::wstring& line : Lines(L"[F.")) {
        size_t at = line.find(L"[F."), end = line.find(L"()] ", at);
        if (end == std::wstring::npos) continue;
        if (function.empty() || (line.compare(at + 3, end - at - 3, function) == 0 && end - at - 3 == function.size()))
            messages.push_back(line.substr(end + 4));
    }
    return messages;
}

std::vector<std::wstring> XLogLines(size_t from) {
    wchar_t szDate[16];
    time_t now = time(nullptr);
    wcsftime(szDate, 16, L"%Y%m%d", localtime(&now));
    auto lines = ReadLogLines(LogFolder() + L"kxxlog_" + szDate + L".log");
    if (from >= lines.size()) return {};
    return std::vector<std::wstring>(lines.begin() + static_cast<std::ptrdiff_t>(from), lines.end());
}

std::vector<std::wstring> DumpFiles(const std::wstring& prefix) {
    std::vector<std::wstring> files;
    WIN32_FIND_DATAW fd;
    kx::unique_hfind find(FindFirstFileW((LogFolder() + prefix + L"*").c_str(), &fd));
    if (find)
        do files.push_back(LogFolder() + fd.cFileName);
        while (FindNextFileW(find.get(), &fd));
    return files;
}

void RemoveDumps(const std::wstring& prefix) {
    for (const auto& f : DumpFiles(prefix)) DeleteFileW(f.c_str());
}

std::string Utf16Bytes(const std::wstring& text) {
    return std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
}

void WriteUtf16File(const std::wstring& path, const std::wstring& text) { WriteFileBytes(path, "\xFF\xFE" + Utf16Bytes(text)); }

bool EndsWith(const std::wstring& text, const std::wstring& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace kxtest
