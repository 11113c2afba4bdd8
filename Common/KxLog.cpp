#include "KxLog.h"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <cwchar>
#include <new>

#include "HostExe.h"
#include "ScopedHandle.h"
#include "WideFormat.h"

CKxLog& CKxLog::Instance() {
    static CKxLog log;
    return log;
}

// Two characters beyond the capacity: room for the line feed the debugger output gets after a full line.
CKxLog::CKxLog() : m_pBuffer(new wchar_t[kLineCapacity + 2]), m_nCapacity(kLineCapacity) { m_pBuffer[0] = L'\0'; }

CKxLog::~CKxLog() { delete[] m_pBuffer; }

void CKxLog::SetFilePath(const std::wstring& strPath) {
    if (strPath.size() >= MAX_PATH) {
        m_szFilePath[0] = L'\0';
        return;
    }
    wcscpy(m_szFilePath, strPath.c_str());
}

void CKxLog::Append(const wchar_t* pszFormat, ...) {
    va_list args;
    va_start(args, pszFormat);
    m_nLength += kx::FormatInto(m_pBuffer + m_nLength, m_nCapacity - m_nLength, pszFormat, args);
    va_end(args);
}

void CKxLog::AppendPrefixes(const char* pszFile, int nLine, const char* pszFunction) {
    if (m_dwFlags & KXLOG_TIME) {
        SYSTEMTIME st;
        GetLocalTime(&st);
        Append(L"[%02d:%02d:%02d:%03d] ", st.wHour, st.wMinute, st.wSecond, st.wMilliseconds);
    }
    if (m_dwFlags & KXLOG_PROCESS) Append(L"[P.%d] ", static_cast<int>(GetCurrentProcessId()));
    if (m_dwFlags & KXLOG_LEVEL) Append(L"[L.%d] ", m_nLevel);
    if (m_dwFlags & KXLOG_SOURCE) Append(L"[A.%hs:%d] ", pszFile ? pszFile : "", nLine);
    if (m_dwFlags & KXLOG_FUNCTION) Append(L"[F.%hs()] ", pszFunction ? pszFunction : "");
}

void CKxLog::Write(int, const char* pszFile, int nLine, const char* pszFunction, const wchar_t* pszFormat, ...) {
    kx::CritSecLock lock(m_cs);
    m_nLength = 0;
    m_pBuffer[0] = L'\0';
    AppendPrefixes(pszFile, nLine, pszFunction);
    va_list args;
    va_start(args, pszFormat);
    m_nLength += kx::FormatInto(m_pBuffer + m_nLength, m_nCapacity - m_nLength, pszFormat, args);
    va_end(args);
    Emit();
}

void CKxLog::Emit() {
    // The line and its line feed in one call: under Wine each call raises two exceptions and asks the server
    // for a debug monitor's buffer, so a second call for the line feed alone would double that cost.
    if (m_dwFlags & KXLOG_DEBUGGER) {
        m_pBuffer[m_nLength] = L'\n';
        m_pBuffer[m_nLength + 1] = L'\0';
        OutputDebugStringW(m_pBuffer);
        m_pBuffer[m_nLength] = L'\0';
    }
    if ((m_dwFlags & KXLOG_FILE) && m_szFilePath[0]) AppendToFile();
}

// The bytes are those of the runtime's "a, ccs=UTF-8" text mode: a new file starts with the UTF-8 byte-order
// mark and every line feed is written as CR LF. Writing them straight through the file API costs half of
// what the runtime's stream does per line, and the file is still opened and closed for every line, so no
// handle stays open and each line is on disk when the call returns.
void CKxLog::AppendToFile() {
    kx::unique_hfile file(CreateFileW(m_szFilePath, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return;
    // Worst case per character: 3 bytes of UTF-8, or 2 for a line feed that becomes CR LF.
    char bytes[3 + kLineCapacity * 3 + 2];
    DWORD n = 0;
    LARGE_INTEGER size = {};
    if (GetFileSizeEx(file.get(), &size) && size.QuadPart == 0) {
        memcpy(bytes, "\xEF\xBB\xBF", 3);
        n = 3;
    }
    const wchar_t* p = m_pBuffer;
    while (*p) {
        const wchar_t* end = wcschr(p, L'\n');
        int len = static_cast<int>(end ? end - p : wcslen(p));
        if (len > 0) n += WideCharToMultiByte(CP_UTF8, 0, p, len, bytes + n, sizeof(bytes) - 2 - n, nullptr, nullptr);
        if (!end) break;
        bytes[n++] = '\r';
        bytes[n++] = '\n';
        p = end + 1;
    }
    bytes[n++] = '\r';
    bytes[n++] = '\n';
    DWORD written = 0;
    WriteFile(file.get(), bytes, n, &written, nullptr);
}

void CKxLog::Open() {
    wchar_t szName[128] = {};
    time_t now = time(nullptr);
    if (const tm* local = localtime(&now)) {
        if (wcsftime(szName, 128, L"Log\\KxUninst_Log%Y%m%d.log", local) == 0) szName[0] = L'\0';
    }
    SetFilePath(GetHostExeFolder() + szName);
    m_dwFlags = kStartupFlags;
    KXLOG_AS(0, "DllMain", L"-----------------------------------------------------");
    KXLOG_AS(0, "DllMain", L"-----------KxUninst Log Begin-%x---------------------", 1);
}

std::string KxQualifiedName(const char* pszPrettyFunction) {
    std::string s = pszPrettyFunction ? pszPrettyFunction : "";
    size_t paren = s.find('(');
    if (paren != std::string::npos) s.erase(paren);
    size_t space = s.rfind(' ');
    if (space != std::string::npos) s.erase(0, space + 1);
    if (!s.empty() && (s[0] == '*' || s[0] == '&')) s.erase(0, s.find_first_not_of("*&"));
    return s;
}
