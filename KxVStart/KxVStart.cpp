// KxVStart.exe: the software centre's starter. "/u NAME" uninstalls the software-centre program NAME: its folder
// (the one of conf\soft.ini, beside the starter, whose last component is NAME and whose qz.ini is initialised)
// goes to the Recycle Bin and its line leaves soft.ini. Nothing changes when anything is not as expected.
#include <windows.h>
#include <shlwapi.h>

#include <string>
#include <vector>

#include "DustGuard.h"
#include "Dustman.h"
#include "IniSection.h"
#include "KxUninstAPI.h"

namespace {

enum ExitCode { kRemoved = 0, kFailed = 1, kUsage = 2, kUnknown = 3, kAmbiguous = 4, kRefused = 5 };

const wchar_t kSection[] = L"Vinst";

int Say(int nCode, const std::wstring& strText) {
    std::wstring line = L"KxVStart: " + strText + L"\n";
    int n = WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()), &bytes[0], n, nullptr, nullptr);
    DWORD dwWritten = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), bytes.data(), static_cast<DWORD>(bytes.size()), &dwWritten, nullptr);
    return nCode;
}

// The text after "/u " on the command line (the program's own name skipped): a name may hold spaces.
bool NameFromCommandLine(const wchar_t* pszLine, std::wstring& strName) {
    const wchar_t* p = pszLine;
    if (*p == L'"') {
        p = wcschr(p + 1, L'"');
        if (!p) return false;
        ++p;
    } else {
        while (*p && *p != L' ' && *p != L'\t') ++p;
    }
    while (*p == L' ' || *p == L'\t') ++p;
    if (_wcsnicmp(p, L"/u", 2) != 0 || (p[2] != L' ' && p[2] != L'\t')) return false;
    strName = p + 3;
    while (!strName.empty() && (strName.front() == L' ' || strName.front() == L'\t')) strName.erase(0, 1);
    while (!strName.empty() && (strName.back() == L' ' || strName.back() == L'\t')) strName.pop_back();
    return !strName.empty();
}

struct Entry {
    std::wstring strLine;
    std::wstring strId;
    std::wstring strFolder;
};

Entry ParseLine(const std::wstring& strLine) {
    Entry e{strLine, std::wstring(), strLine};
    size_t equals = strLine.find(L'=');
    if (equals != std::wstring::npos) {
        e.strId = strLine.substr(0, equals);
        e.strFolder = strLine.substr(equals + 1);
    }
    while (!e.strFolder.empty() && e.strFolder.back() == L'\\') e.strFolder.pop_back();
    return e;
}

// soft.ini without the program's line; false when it cannot be written.
bool DropLine(const std::wstring& strIni, const std::vector<Entry>& entries, const Entry& gone) {
    std::wstring section;
    for (const Entry& e : entries)
        if (&e != &gone) section += e.strLine + L'\0';
    section += L'\0';
    return WritePrivateProfileSectionW(kSection, section.c_str(), strIni.c_str()) != FALSE;
}

int Run() {
    std::wstring strName;
    if (!NameFromCommandLine(GetCommandLineW(), strName)) return Say(kUsage, L"usage: KxVStart.exe /u NAME");
    const std::wstring strIni = GetSoftIniPath();
    std::vector<Entry> entries;
    for (const std::wstring& line : kx::ReadIniSection(strIni, kSection, 2048, true)) entries.push_back(ParseLine(line));
    const Entry* pFound = nullptr;
    int nFound = 0;
    for (const Entry& e : entries) {
        if (_wcsicmp(LastPathComponent(e.strFolder).c_str(), strName.c_str()) != 0) continue;
        if (!IsQZSoftInitialized(e.strFolder)) continue;
        pFound = &e;
        ++nFound;
    }
    if (nFound == 0) return Say(kUnknown, L"no software-centre program named \"" + strName + L"\" in " + strIni);
    if (nFound > 1) return Say(kAmbiguous, L"more than one software-centre program is named \"" + strName + L"\"");

    const DustGuardContext ctx = MakeDustGuardContext(pFound->strId.c_str(), pFound->strFolder.c_str(), nullptr);
    if (const wchar_t* pszReason = DustGuardRefusal(pFound->strFolder, DustKind::Folder, ctx))
        return Say(kRefused, L"refused to remove " + pFound->strFolder + L" (" + pszReason + L")");
    if (CDustman::HoldsFolderLink(pFound->strFolder))
        return Say(kRefused, L"refused to remove " + pFound->strFolder + L" (a link to a folder lies below it)");
    if (!CDustman::ShellDelete(pFound->strFolder.c_str()) || PathFileExistsW(pFound->strFolder.c_str()))
        return Say(kFailed, L"could not move " + pFound->strFolder + L" to the Recycle Bin");
    if (!DropLine(strIni, entries, *pFound)) return Say(kFailed, L"could not update " + strIni);
    return kRemoved;
}

}  // namespace

int wmain() {
    try {
        return Run();
    } catch (...) {
        return Say(kFailed, L"unexpected failure");
    }
}
