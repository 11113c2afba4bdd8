// One run of kxuninst: the component started on this thread, the list waited for, the answer printed once.
#pragma once

#include <string>
#include <vector>

#include "Activity.h"
#include "CliArgs.h"
#include "CliOutput.h"
#include "ComponentHost.h"
#include "ListRender.h"

enum CliExit {
    kExitOk = 0,
    kExitNotFound = 1,     // show: no such program
    kExitUsage = 2,        // usage errors, unknown categories, a NAME of several programs, a refused uninstall
    kExitComponent = 3,    // the component is missing, cannot load, or cannot work here (no window)
    kExitTimeout = 4,
    kExitStillInstalled = 5,  // uninstall: the program is still installed after its uninstaller
    kExitInterrupted = 130,
};

struct CliContext {
    CliOptions opt;
    Console& err;
    TextSink out;
    std::wstring folder;  // the executable's folder, with trailing backslash
};

class CliSession {
public:
    explicit CliSession(CliContext& cli);
    int Run();

private:
    int Fail(int code, const std::wstring& text);
    int Start();
    int Register();
    // Pumps messages until the soft list of a full build is ready (a list from the cache only updates the
    // activity line); fails fast when no list can come.
    int WaitForList();
    int NoWindow(DWORD dwError);
    int TimedOut();
    int Interrupted();
    int Report();
    int ReportSearch();
    int ReportShow();
    void Note(const std::string& text);
    std::vector<Program> Programs(const std::vector<SoftRecord>& records) const;

    CliContext& m_cli;
    Activity m_activity;
    ComponentHost m_host;
    std::wstring m_strCachePath;
    bool m_bExpectCache = false;
    bool m_bSawCache = false;
    bool m_bNotified = false;  // any notification since Init
    ULONGLONG m_nStarted = 0;
    ULONGLONG m_nDeadline = 0;
    std::vector<SoftRecord> m_vecRecords;
};
