// The activity indicator on standard error while the component builds a list: it sends no percentages, so
// the CLI shows what it waits for and the time spent. On a console the line is redrawn in place; elsewhere
// (pipes, files) a plain line is written every few seconds.
#pragma once

#include <windows.h>
#include <string>

#include "CliOutput.h"

class Activity {
public:
    Activity(const TextSink& sink, bool bEnabled);
    void SetPhase(const std::string& text);
    // Redraws when due; call it often.
    void Tick();
    // Removes the indicator line before other text is written.
    void Clear();
    double ElapsedSeconds() const;

private:
    void Draw();

    const TextSink& m_sink;
    bool m_bEnabled;
    ULONGLONG m_nStart;
    ULONGLONG m_nLastDraw = 0;
    size_t m_nFrame = 0;
    size_t m_nDrawnWidth = 0;
    std::string m_strPhase;
};

// "3.2 s"
std::string SecondsText(double seconds);
