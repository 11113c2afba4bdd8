// Where kxuninst writes. The component prints lines of its own to the process's standard output; the CLI keeps
// standard output for its result, so it moves the process's standard output to standard error and writes the
// result to a handle of the original.
#pragma once

#include <windows.h>
#include <string>

// Writes UTF-8 text to a handle: as wide text to a console, as the bytes themselves to a file or a pipe.
class TextSink {
public:
    explicit TextSink(HANDLE h = nullptr);
    void Write(const std::string& utf8) const;
    bool IsConsole() const { return m_bConsole; }
    HANDLE Handle() const { return m_h; }

private:
    HANDLE m_h;
    bool m_bConsole;
};

// Points file descriptor 1 and STD_OUTPUT_HANDLE at standard error and returns a duplicate of the original
// standard output (NULL when the process has none). The process's standard output stays there until it ends.
HANDLE DivertStdout();

std::string ToUtf8(const std::wstring& s);
