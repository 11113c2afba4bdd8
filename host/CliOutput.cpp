#include "CliOutput.h"

#include <cstdio>

#include "ScopedHandle.h"
#include "WinText.h"

TextSink::TextSink(HANDLE h) : m_h(h), m_bConsole(false) {
    DWORD mode = 0;
    m_bConsole = h && h != INVALID_HANDLE_VALUE && GetConsoleMode(h, &mode);
}

void TextSink::Write(const std::string& utf8) const {
    if (!m_h || m_h == INVALID_HANDLE_VALUE || utf8.empty()) return;
    if (m_bConsole) {
        std::wstring wide = FromUtf8(utf8);
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

void Console::ClearLocked() {
    if (m_nDrawn == 0) return;
    m_sink.Write("\r" + std::string(m_nDrawn, ' ') + "\r");
    m_nDrawn = 0;
}

void Console::Say(const std::string& text) { Line("kxuninst: " + text); }

void Console::Line(const std::string& text) {
    std::lock_guard<std::mutex> lock(m_mutex);
    ClearLocked();
    m_sink.Write(text + "\n");
}

void Console::Prompt(const std::string& text) {
    std::lock_guard<std::mutex> lock(m_mutex);
    ClearLocked();
    m_sink.Write(text);
}

void Console::Activity(const std::string& text) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_sink.IsConsole()) {
        m_sink.Write(text + "\n");
        return;
    }
    std::wstring wide = FromUtf8(text);
    size_t width = wide.size();
    std::string pad(m_nDrawn > width ? m_nDrawn - width : 0, ' ');
    m_sink.Write("\r" + text + pad);
    m_nDrawn = width;
}

void Console::ClearActivity() {
    std::lock_guard<std::mutex> lock(m_mutex);
    ClearLocked();
}

void CliLog::Open(const std::wstring& exeFolder) {
    std::wstring folder = exeFolder + L"Log";
    DWORD attributes = GetFileAttributesW(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return;
    SYSTEMTIME now;
    GetLocalTime(&now);
    wchar_t name[40];
    _snwprintf(name, 40, L"\\kxuninst_%04u%02u%02u.log", now.wYear, now.wMonth, now.wDay);
    name[39] = L'\0';
    m_strPath = folder + name;
}

void CliLog::Write(const std::string& text) {
    if (m_strPath.empty()) return;
    SYSTEMTIME now;
    GetLocalTime(&now);
    char stamp[32];
    snprintf(stamp, sizeof(stamp), "%02u:%02u:%02u.%03u ", now.wHour, now.wMinute, now.wSecond, now.wMilliseconds);
    std::string line = stamp + text + "\r\n";
    std::lock_guard<std::mutex> lock(m_mutex);
    kx::unique_hfile file(CreateFileW(m_strPath.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (file) WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}
