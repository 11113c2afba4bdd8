// The process-wide file logger. A line is formatted and written by one call that holds the logger's lock from
// the prefixes to the file append, so a line is never mixed with another thread's, and the message's
// arguments are evaluated before the lock is taken. Use the KXLOG macros; they test IsEnabled first and build
// nothing for a level that is not written, nor when the line would go nowhere.
#pragma once

#include <windows.h>
#include <cstdarg>
#include <string>

#include "ScopedHandle.h"

enum KxLogFlag : DWORD {
    KXLOG_DEBUGGER = 0x01,
    KXLOG_FILE = 0x02,
    KXLOG_TIME = 0x04,
    KXLOG_LEVEL = 0x08,
    KXLOG_SOURCE = 0x10,
    KXLOG_FUNCTION = 0x20,
    KXLOG_PROCESS = 0x40,
};

class CKxLog {
public:
    static constexpr DWORD kCreatedFlags = 0x66;
    static constexpr DWORD kStartupFlags = 0x27;
    static constexpr DWORD kLineCapacity = 512;

    static CKxLog& Instance();

    bool IsEnabled(int nLevel) const { return nLevel <= m_nLevel; }
    // Whether a line would reach the debugger output or a file: without either, composing it is wasted (the
    // flags of a logger that no module has opened yet name a file, but it has no path).
    bool HasOutput() const { return (m_dwFlags & KXLOG_DEBUGGER) || ((m_dwFlags & KXLOG_FILE) && m_szFilePath[0]); }
    // One line: the prefixes the flags ask for, then the message.
    void Write(int nLevel, const char* pszFile, int nLine, const char* pszFunction, const wchar_t* pszFormat, ...);

    // Start-up of the component: the dated file below the host executable's folder, flags 0x27, two lines.
    void Open();

    DWORD Flags() const { return m_dwFlags; }
    void SetFlags(DWORD dwFlags) { m_dwFlags = dwFlags; }
    std::wstring FilePath() const { return m_szFilePath; }
    // A path that does not fit in 260 characters leaves the path empty, which disables file output.
    void SetFilePath(const std::wstring& strPath);

    CKxLog(const CKxLog&) = delete;
    CKxLog& operator=(const CKxLog&) = delete;

private:
    CKxLog();
    ~CKxLog();
    void Append(const wchar_t* pszFormat, ...);
    void AppendPrefixes(const char* pszFile, int nLine, const char* pszFunction);
    void Emit();
    void AppendToFile();

    wchar_t* m_pBuffer;
    DWORD m_nCapacity;
    DWORD m_nLength = 0;
    int m_nLevel = 4;
    wchar_t m_szFilePath[MAX_PATH] = {};
    DWORD m_dwFlags = kCreatedFlags;
    kx::critical_section m_cs;
};

// "void CKxUninstMgr::TaskAdd(UINT)" -> "CKxUninstMgr::TaskAdd": the qualified name the log lines carry.
std::string KxQualifiedName(const char* pszPrettyFunction);

// The source name each file logs under; a file defines KX_LOG_SOURCE before including this header.
#ifndef KX_LOG_SOURCE
#define KX_LOG_SOURCE ".\\KxUninst"
#endif

#define KXLOG_AS(level, function, ...)                                                          \
    do {                                                                                        \
        CKxLog& kxLog_ = CKxLog::Instance();                                                    \
        if (kxLog_.IsEnabled(level) && kxLog_.HasOutput())                                    \
            kxLog_.Write((level), KX_LOG_SOURCE, __LINE__, (function), __VA_ARGS__);           \
    } while (0)

#define KXLOG(level, ...) KXLOG_AS(level, KxQualifiedName(__PRETTY_FUNCTION__).c_str(), __VA_ARGS__)
