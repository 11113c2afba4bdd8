#include "DumpFile.h"

#include <ctime>
#include <cwchar>

#include "HostExe.h"
#include "KxUnConfig.h"
#include "WideFormat.h"

bool CDumpFile::Open(const wchar_t* pszSwitch, const wchar_t* pszNameFormat) {
    if (!IsDumpOn(pszSwitch)) return false;
    wchar_t szName[128] = {};
    time_t now = time(nullptr);
    const tm* local = localtime(&now);
    if (!local || wcsftime(szName, 128, pszNameFormat, local) == 0) szName[0] = L'\0';
    std::wstring path = GetHostExeFolder() + szName;
    m_pFile = _wfopen(path.c_str(), L"w, ccs=UNICODE");
    return m_pFile != nullptr;
}

void CDumpFile::Write(const std::wstring& strEntry) {
    if (!m_pFile) return;
    fputws(strEntry.c_str(), m_pFile);
    fputws(L"\n", m_pFile);
}

void CDumpFile::WriteHeader(int nCount) { Write(kx::Format(L"Dump begin, Total Find: %d\n", nCount)); }

void CDumpFile::Close() {
    if (!m_pFile) return;
    Write(L"Dump end");
    fclose(m_pFile);
    m_pFile = nullptr;
}

CDumpFile::~CDumpFile() {
    if (m_pFile) fclose(m_pFile);
}
