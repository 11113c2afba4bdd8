// The activity line on standard error while the component works: it sends no percentages, so the CLI shows
// what it waits for and the time spent. On a console the line is redrawn in place; elsewhere (pipes, files) a
// plain line is written every few seconds.
#pragma once

#include <windows.h>

#include <string>

#include "CliOutput.h"

class Activity {
public:
    Activity(Console& console, bool bEnabled);
    void SetPhase(const std::string& text);
    const std::string& Phase() const { return m_strPhase; }
    // Redraws when due; call it often.
    void Tick();
    double ElapsedSeconds() const;

private:
    Console& m_console;
    bool m_bEnabled;
    ULONGLONG m_nStart;
    ULONGLONG m_nLastDraw = 0;
    size_t m_nFrame = 0;
    std::string m_strPhase;
};

// "3.2 s"
std::string SecondsText(double seconds);
