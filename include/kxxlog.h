// The outside log library kxxlog.dll. One call: a log class, a text, a format and its arguments.
#pragma once

#include <cstdarg>

enum LogClass {
    LOG_CLASS_FUNCTION = 64,  // function entry and exit lines, and the list cache's load failures
};

#ifdef KXXLOG_BUILD
#define KXXLOG_API __declspec(dllexport)
#else
#define KXXLOG_API __declspec(dllimport)
#endif

// Exported with its C++ decoration. Never fails its caller.
KXXLOG_API void XLogV(LogClass nClass, const wchar_t* pszText, const wchar_t* pszFormat, va_list args);
