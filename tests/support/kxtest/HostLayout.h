// The test binary's own install layout (Log\, conf\ beside it) and readers for what the component wrote there.
#pragma once

#include <string>
#include <vector>

namespace kxtest {

// Folder of this executable, with trailing backslash.
std::wstring ExeFolder();
std::wstring LogFolder();   // ExeFolder() + "Log\"
std::wstring ConfFolder();  // ExeFolder() + "conf\"

std::string ReadFileBytes(const std::wstring& path);
std::wstring Utf8ToWide(const std::string& s);
std::string WideToUtf8(const std::wstring& s);

// A log file's lines (UTF-8, byte-order mark dropped, CRLF split).
std::vector<std::wstring> ReadLogLines(const std::wstring& path);
// Today's component log file.
std::wstring ComponentLogPath();

// A shell folder of the prefix (SHGetFolderPath), the text lower-cased, today's date as "YYYY-MM-DD".
std::wstring KnownFolder(int nCsidl);
std::wstring Lower(std::wstring s);
std::wstring Today();

// Writes Log\KxUnConfig.ini with one [section] key=value (empties it when key is null).
void SetDiagConfig(const wchar_t* section, const wchar_t* key, int value);

}  // namespace kxtest
