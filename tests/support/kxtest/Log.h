// What the component, the log library and the dumps wrote beside this binary: the component log from a mark on,
// the log library's file, the dump files; and the UTF-16 text files the component reads.
#pragma once

#include <string>
#include <vector>

namespace kxtest {

// A place in today's component log, and what was written after it.
class LogMark {
public:
    LogMark();
    // Whole lines containing needle.
    std::vector<std::wstring> Lines(const std::wstring& needle) const;
    bool Has(const std::wstring& needle) const { return !Lines(needle).empty(); }
    // The messages logged under function ("Class::Method"), prefixes stripped; every function's when empty.
    std::vector<std::wstring> Messages(const std::wstring& function = L"") const;

private:
    size_t m_from;
};

// Lines of today's log-library file (Log\kxxlog_YYYYMMDD.log) from line index from on.
std::vector<std::wstring> XLogLines(size_t from = 0);

// The dump files in Log\ whose names begin with prefix; RemoveDumps deletes them.
std::vector<std::wstring> DumpFiles(const std::wstring& prefix);
void RemoveDumps(const std::wstring& prefix);

// Text as UTF-16LE bytes; WriteUtf16File puts the byte-order mark first (the form of category.ini and soft.ini).
std::string Utf16Bytes(const std::wstring& text);
void WriteUtf16File(const std::wstring& path, const std::wstring& text);

bool EndsWith(const std::wstring& text, const std::wstring& tail);

}  // namespace kxtest
