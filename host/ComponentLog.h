// The component's own log, Log\KxUninst_LogYYYYMMDD.log beside the host (only when the Log folder exists): the
// lines it writes from a mark on, to say why something was not done (the guard's refusals).
#pragma once

#include <string>
#include <vector>

class ComponentLog {
public:
    explicit ComponentLog(const std::wstring& hostFolder);
    // Remembers where the log ends now.
    void Mark();
    // The lines written since Mark.
    std::vector<std::wstring> LinesSinceMark() const;
    const std::wstring& Path() const { return m_strPath; }

private:
    std::wstring m_strPath;
    unsigned long long m_nMark = 0;
};

// The reason the guard gave for refusing path, from log lines "guard: refused [PATH] (REASON)"; empty when none.
std::wstring GuardRefusal(const std::vector<std::wstring>& lines, const std::wstring& path);
