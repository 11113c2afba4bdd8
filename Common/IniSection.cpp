#include "IniSection.h"

#include <cwchar>

namespace kx {

std::vector<std::wstring> ReadIniSection(const std::wstring& strPath, const wchar_t* pszSection, DWORD cchFirst,
                                         bool bGrow) {
    std::vector<wchar_t> buffer(cchFirst, L'\0');
    DWORD n = 0;
    for (;;) {
        n = GetPrivateProfileSectionW(pszSection, buffer.data(), static_cast<DWORD>(buffer.size()), strPath.c_str());
        if (!bGrow || n != buffer.size() - 2) break;
        buffer.assign(buffer.size() * 2, L'\0');
    }
    std::vector<std::wstring> lines;
    for (DWORD i = 0; i < n && buffer[i];) {
        std::wstring line(&buffer[i], wcsnlen(&buffer[i], n - i));
        i += static_cast<DWORD>(line.size()) + 1;
        lines.push_back(std::move(line));
    }
    return lines;
}

}  // namespace kx
