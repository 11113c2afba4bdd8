#define KX_LOG_SOURCE "Common/ExecutetTime"
#include "ExecutetTime.h"

#include <mmsystem.h>

#include <cstdarg>

#include "KxLog.h"
#include "kxxlog.h"

CExecuteTime::CExecuteTime(const wchar_t* pszName) : m_strName(pszName ? pszName : L""), m_dwStart(timeGetTime()) {}

CExecuteTime::~CExecuteTime() {
    int nElapsed = static_cast<int>(timeGetTime() - m_dwStart);
    KXLOG_AS(1, "CExecuteTime::~CExecuteTime", L"%s execute %d ms", m_strName.c_str(), nElapsed);
}

void KxXLog(const wchar_t* pszFormat, ...) {
    va_list args;
    va_start(args, pszFormat);
    XLogV(LOG_CLASS_FUNCTION, L"", pszFormat, args);
    va_end(args);
}

CFunctionTracer::CFunctionTracer(const wchar_t* pszFunction)
    : m_dwStart(GetTickCount()), m_strFunction(pszFunction ? pszFunction : L"") {
    KxXLog(L"进入函数:%s", m_strFunction.c_str());
}

CFunctionTracer::~CFunctionTracer() {
    KxXLog(L"离开函数:%s 执行耗时:%d", m_strFunction.c_str(), static_cast<int>(GetTickCount() - m_dwStart));
}
