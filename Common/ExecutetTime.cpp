#define KX_LOG_SOURCE "Common/ExecutetTime"
#include "ExecutetTime.h"

#include <cstdarg>

#include "KxLog.h"
#include "kxxlog.h"

namespace {

// The multimedia timer, from winmm.dll loaded at the first timing rather than imported: under Wine winmm
// brings the audio-codec manager along, and loading both costs every process that loads the component about
// 5 ms at start-up, before anything is timed. The library then stays loaded for the life of the process: the
// component's unloading runs under the loader lock, where no library may be freed.
DWORD MultimediaTime() {
    using TimeGetTimeFn = DWORD(WINAPI*)();
    static const TimeGetTimeFn pfnTimeGetTime = [] {
        HMODULE hWinmm = LoadLibraryW(L"winmm.dll");
        return hWinmm ? reinterpret_cast<TimeGetTimeFn>(reinterpret_cast<void*>(GetProcAddress(hWinmm, "timeGetTime")))
                      : nullptr;
    }();
    return pfnTimeGetTime ? pfnTimeGetTime() : GetTickCount();
}

}  // namespace

CExecuteTime::CExecuteTime(const wchar_t* pszName) : m_strName(pszName ? pszName : L""), m_dwStart(MultimediaTime()) {}

CExecuteTime::~CExecuteTime() {
    int nElapsed = static_cast<int>(MultimediaTime() - m_dwStart);
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
