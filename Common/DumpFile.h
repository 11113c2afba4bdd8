// The common writer of the diagnostic dumps: a new UTF-16 LE file with a byte-order mark and CRLF line ends
// below the host executable's folder, named after the local time. Each entry is formatted whole and then
// written followed by a line feed, so an entry that ends in a line feed leaves an empty line after it.
#pragma once

#include <cstdio>
#include <string>

class CDumpFile {
public:
    // Opens the dump when [Dump] pszSwitch is nonzero. pszNameFormat is a wcsftime format such as
    // "Log\\D_Inside_%Y%m%d_%H%M%S.txt". Returns false (and writes nothing) when off or not openable.
    bool Open(const wchar_t* pszSwitch, const wchar_t* pszNameFormat);
    bool IsOpen() const { return m_pFile != nullptr; }

    void Write(const std::wstring& strEntry);
    // "Dump begin, Total Find: %d\n"
    void WriteHeader(int nCount);
    // "Dump end", then the file is closed.
    void Close();

    CDumpFile() = default;
    ~CDumpFile();
    CDumpFile(const CDumpFile&) = delete;
    CDumpFile& operator=(const CDumpFile&) = delete;

private:
    FILE* m_pFile = nullptr;
};
