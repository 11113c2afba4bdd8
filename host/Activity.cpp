#include "Activity.h"

#include <cstdio>

namespace {
const ULONGLONG kConsoleInterval = 100;
const ULONGLONG kPlainInterval = 5000;
}  // namespace

std::string SecondsText(double seconds) {
    char text[32];
    snprintf(text, sizeof(text), "%.1f s", seconds);
    return text;
}

Activity::Activity(Console& console, bool bEnabled)
    : m_console(console), m_bEnabled(bEnabled), m_nStart(GetTickCount64()) {}

void Activity::SetPhase(const std::string& text) {
    m_strPhase = text;
    m_nLastDraw = 0;
}

double Activity::ElapsedSeconds() const { return static_cast<double>(GetTickCount64() - m_nStart) / 1000.0; }

void Activity::Tick() {
    if (!m_bEnabled || m_strPhase.empty()) return;
    ULONGLONG now = GetTickCount64();
    ULONGLONG interval = m_console.IsConsole() ? kConsoleInterval : kPlainInterval;
    if (m_nLastDraw == 0 ? now - m_nStart < interval : now - m_nLastDraw < interval) return;
    m_nLastDraw = now;
    std::string line = "kxuninst: " + m_strPhase + " " + SecondsText(ElapsedSeconds());
    if (m_console.IsConsole()) {
        static const char kFrames[] = "|/-\\";
        line = std::string(1, kFrames[m_nFrame++ % 4]) + " " + line;
    }
    m_console.Activity(line);
}
