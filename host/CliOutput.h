// Where kxuninst writes: the result to standard output, everything for people to standard error, where an
// activity line may be drawn in place; the component's own output lines to the CLI's log.
#pragma once

#include <windows.h>

#include <mutex>
#include <string>

// Writes UTF-8 text to a handle: as wide text to a console, as the bytes themselves to a file or a pipe.
class TextSink {
public:
    explicit TextSink(HANDLE h = nullptr);
    void Write(const std::string& utf8) const;
    bool IsConsole() const { return m_bConsole; }

private:
    HANDLE m_h;
    bool m_bConsole;
};

// Standard error shared by the host thread (messages, the activity line) and the thread that forwards the
// component's lines: whole lines never mix with a half-drawn activity line.
class Console {
public:
    explicit Console(HANDLE hErr = nullptr) : m_sink(hErr) {}
    // "kxuninst: " + text, on a line of its own (the activity line is removed first and drawn again later).
    void Say(const std::string& text);
    // A line as it is.
    void Line(const std::string& text);
    // A question, the answer typed after it on the same line.
    void Prompt(const std::string& text);
    // Replaces the activity line (on a console: in place; elsewhere: as a line of its own).
    void Activity(const std::string& text);
    void ClearActivity();
    bool IsConsole() const { return m_sink.IsConsole(); }

private:
    void ClearLocked();

    TextSink m_sink;
    std::mutex m_mutex;
    size_t m_nDrawn = 0;  // width of the activity line on the console, 0 when none
};

// The CLI's log, Log\kxuninst_YYYYMMDD.log beside the executable: only when the Log folder exists, as with the
// component's log. Lines are UTF-8, each with the time of day.
class CliLog {
public:
    void Open(const std::wstring& exeFolder);
    void Write(const std::string& text);

private:
    std::wstring m_strPath;
    std::mutex m_mutex;
};
