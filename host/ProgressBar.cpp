#include "ProgressBar.h"

#include <string>

namespace {
const unsigned kWidth = 30;
}

void ProgressBar::Show(unsigned percent) {
    if (!m_bEnabled) return;
    if (percent > 100) percent = 100;
    if (!m_console.IsConsole() && m_nDrawn >= 0 && percent / 10 == static_cast<unsigned>(m_nDrawn) / 10 &&
        percent != 100)
        return;
    const unsigned filled = percent * kWidth / 100;
    std::string text = "kxuninst: sweeping [" + std::string(filled, '#') + std::string(kWidth - filled, '.') + "] " +
                       std::to_string(percent) + "%";
    m_console.Activity(text);
    m_strLast = text;
    m_nDrawn = static_cast<int>(percent);
}

void ProgressBar::Done() {
    if (m_bEnabled && m_nDrawn >= 0 && m_console.IsConsole()) {
        m_console.ClearActivity();
        m_console.Line(m_strLast);
    }
    m_nDrawn = -1;
}
