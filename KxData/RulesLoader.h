// The data component's thread: it reads the rules file once, hands the rules over, and then watches the file
// (every 200 ms, and at once when asked to reload) until it is stopped, handing over each new version.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "RulesFile.h"
#include "ScopedHandle.h"

class CRulesLoader {
public:
    // What the thread hands over: the first reading (ACT_LIST_READY), and each new version of the file that
    // differs from the rules in use (ACT_ITEM_ADDED when it only appends, else ACT_ITEM_CHANGED).
    using CompareFn = std::function<KxRuleChange(const KxRuleSet& fresh)>;
    using PublishFn = std::function<void(KxRuleSet&& rules, UINT nAction)>;

    CRulesLoader(CompareFn compare, PublishFn publish);
    ~CRulesLoader() { Stop(); }
    CRulesLoader(const CRulesLoader&) = delete;
    CRulesLoader& operator=(const CRulesLoader&) = delete;

    // Creates the two events once; false when they cannot be made.
    bool Prepare();
    // Starts the thread on strPath unless it runs; false when it cannot be started.
    bool Start(const std::wstring& strPath);
    bool IsRunning();
    // Asks the running thread to read the file now.
    void Reload();
    // Ends the thread, waits for it and closes the events. Must not be called with a lock the thread takes
    // to hand over.
    void Stop();

private:
    static DWORD WINAPI ThreadProc(void* pThis);
    void Run(const std::wstring& strPath);

    CompareFn m_compare;
    PublishFn m_publish;
    kx::critical_section m_cs;  // guards the three handles
    kx::unique_handle m_hStop;    // manual reset
    kx::unique_handle m_hReload;  // auto reset
    kx::unique_handle m_hThread;
    std::wstring m_strPath;
};

// A missing or unreadable file reads as no rules.
KxRuleSet ReadRules(const std::wstring& strPath);
