#include "ComponentLog.h"

#include <windows.h>

#include "ScopedHandle.h"
#include "PathText.h"
#include "WinText.h"

namespace {

unsigned long long FileSize(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

}  // namespace

ComponentLog::ComponentLog(const std::wstring& hostFolder) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    wchar_t name[48];
    _snwprintf(name, 48, L"Log\\KxUninst_Log%04u%02u%02u.log", now.wYear, now.wMonth, now.wDay);
    name[47] = L'\0';
    m_strPath = hostFolder + name;
}

void ComponentLog::Mark() { m_nMark = FileSize(m_strPath); }

std::vector<std::wstring> ComponentLog::LinesSinceMark() const {
    std::vector<std::wstring> lines;
    kx::unique_hfile file(CreateFileW(m_strPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return lines;
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(m_nMark);
    if (!SetFilePointerEx(file.get(), at, nullptr, FILE_BEGIN)) return lines;
    std::string bytes;
    char buffer[65536];
    DWORD read = 0;
    while (ReadFile(file.get(), buffer, sizeof(buffer), &read, nullptr) && read > 0) bytes.append(buffer, read);
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find('\n', start);
        if (end == std::string::npos) end = bytes.size();
        std::string line = bytes.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(FromUtf8(line));
        start = end + 1;
    }
    return lines;
}

std::wstring GuardRefusal(const std::vector<std::wstring>& lines, const std::wstring& path) {
    const std::wstring wanted = kx::TrimSlashesKeepRoot(path);
    const std::wstring needle = L"guard: refused [";
    for (const std::wstring& line : lines) {
        size_t at = line.find(needle);
        if (at == std::wstring::npos) continue;
        at += needle.size();
        const size_t close = line.find(L"] (", at);
        if (close == std::wstring::npos || close - at != wanted.size()) continue;
        if (_wcsnicmp(line.c_str() + at, wanted.c_str(), wanted.size()) != 0) continue;
        const size_t end = line.find(L')', close + 3);
        return line.substr(close + 3, end == std::wstring::npos ? std::wstring::npos : end - close - 3);
    }
    return L"";
}
