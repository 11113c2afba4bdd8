// The sweep's progress on standard error, from the component's percent notifications: a bar redrawn in place on
// a console, a line every tenth elsewhere.
#pragma once

#include <string>

#include "CliOutput.h"

class ProgressBar {
public:
    ProgressBar(Console& console, bool bEnabled) : m_console(console), m_bEnabled(bEnabled) {}
    void Show(unsigned percent);
    // Ends the bar's line.
    void Done();

private:
    Console& m_console;
    bool m_bEnabled;
    int m_nDrawn = -1;
    std::string m_strLast;
};
