#include "CliOutput.h"

#include <cstdio>
#include <io.h>

TextSink::TextSink(HANDLE h) : m_h(h), m_bConsole(false) {
    DWORD mode = 0;
    m_bConsole = h && h != INVALID_HANDLE_VALUE && GetConsoleMode(h, &mode);
}

void TextSink::Write(const std::string& utf8) const {
    if (!m_h || m_h == INVALID_HANDLE_VALUE || utf8.empty()) return;
    if (m_bConsole) {
        int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
        std::wstring wide(n, L'\0');
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &wide[0], n);
        DWORD written = 0;
        WriteConsoleW(m_h, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
        return;
    }
    const char* p = utf8.data();
    size_t left = utf8.size();
    while (left > 0) {
        DWORD written = 0;
        if (!WriteFile(m_h, p, static_cast<DWORD>(left), &written, nullptr) || written == 0) return;
        p += written;
        left -= written;
    }
}

HANDLE DivertStdout() {
    fflush(stdout);
    HANDLE original = GetStdHandle(STD_OUTPUT_HANDLE);
    HANDLE saved = nullptr;
    if (original && original != INVALID_HANDLE_VALUE &&
        !DuplicateHandle(GetCurrentProcess(), original, GetCurrentProcess(), &saved, 0, FALSE,
                         DUPLICATE_SAME_ACCESS)) {
        saved = nullptr;
    }
    // The runtime's descriptor 1 first (printf, std::cout), then the handle behind WriteFile callers.
    _dup2(_fileno(stderr), 1);
    SetStdHandle(STD_OUTPUT_HANDLE, GetStdHandle(STD_ERROR_HANDLE));
    return saved;
}

std::string ToUtf8(const std::wstring& s) {
    if (s.empty()) return std::string();
    int n = WideCharToMultiByte(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0, nullptr, nullptr);
    std::string out(n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), &out[0], n, nullptr, nullptr);
    return out;
}
