#include "CategoryTable.h"

#include <cwchar>
#include <utility>
#include <vector>

#include "IniSection.h"
#include "KxUninstAPI.h"

namespace {

using CategoryList = std::vector<std::pair<UINT, std::wstring>>;

SRWLOCK g_lock = SRWLOCK_INIT;
CategoryList g_table;

const DWORD kSectionChars = 4096;

class SharedLock {
public:
    SharedLock() { AcquireSRWLockShared(&g_lock); }
    ~SharedLock() { ReleaseSRWLockShared(&g_lock); }
    SharedLock(const SharedLock&) = delete;
    SharedLock& operator=(const SharedLock&) = delete;
};

// "<id>.<name>": the id as a decimal number (blanks and a sign allowed, 0 without digits); no "." gives id 0
// and the whole line as name.
std::pair<UINT, std::wstring> ParseLine(const std::wstring& line) {
    size_t dot = line.find(L'.');
    if (dot == std::wstring::npos) return {0, line};
    std::wstring id = line.substr(0, dot);
    return {static_cast<UINT>(wcstol(id.c_str(), nullptr, 10)), line.substr(dot + 1)};
}

}  // namespace

void LoadCategories(LPCWSTR pszIniFile) {
    CategoryList table;
    if (pszIniFile) {
        for (const std::wstring& line : kx::ReadIniSection(pszIniFile, L"List", kSectionChars, false))
            table.push_back(ParseLine(line));
    }
    AcquireSRWLockExclusive(&g_lock);
    g_table.swap(table);
    ReleaseSRWLockExclusive(&g_lock);
}

UINT CategoryIdByName(LPCWSTR pszName) {
    SharedLock lock;
    if (g_table.empty()) return 0;
    for (const auto& entry : g_table)
        if (pszName && entry.second == pszName) return entry.first;
    return g_table.back().first;
}

std::wstring CategoryNameById(UINT nId) {
    SharedLock lock;
    if (g_table.empty()) return std::wstring();
    for (const auto& entry : g_table)
        if (entry.first == nId) return entry.second;
    return g_table.back().second;
}

std::wstring CategoryIniPath() {
    static const std::wstring strConf = GetHostFolder() + L"\\conf";
    return strConf + L"\\category.ini";
}
