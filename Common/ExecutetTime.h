// Timing of lengthy operations: CExecuteTime writes "<name> execute <n> ms" to the component log when it goes
// out of scope; CFunctionTracer writes entry and exit lines with the elapsed time to kxxlog.dll.
#pragma once

#include <windows.h>
#include <string>

class CExecuteTime {
public:
    explicit CExecuteTime(const wchar_t* pszName);
    ~CExecuteTime();
    CExecuteTime(const CExecuteTime&) = delete;
    CExecuteTime& operator=(const CExecuteTime&) = delete;

private:
    std::wstring m_strName;
    DWORD m_dwStart;
};

class CFunctionTracer {
public:
    explicit CFunctionTracer(const wchar_t* pszFunction);
    ~CFunctionTracer();
    CFunctionTracer(const CFunctionTracer&) = delete;
    CFunctionTracer& operator=(const CFunctionTracer&) = delete;

private:
    DWORD m_dwStart;
    std::wstring m_strFunction;
};

// One line through kxxlog.dll with the function class and an empty text.
void KxXLog(const wchar_t* pszFormat, ...);
