// The CLI's views of the lists: aligned text tables and a record sheet for people, JSON for programs.
#pragma once

#include <string>
#include <vector>

#include "CategoryItem.h"
#include "EntryFacts.h"
#include "SoftItem.h"

// A program as the CLI shows it: the component's record and what its registry entry says.
struct Program {
    CSoftItem item;
    EntryFacts facts;
};

// Names in the order people expect: case-insensitive, then exact; -1, 0 or 1.
int CompareNames(const std::wstring& a, const std::wstring& b);
// Install dates come as "2024-01-15" or "20240115": their digits order them.
std::wstring DateDigits(const std::wstring& date);

// Bytes in binary units with one decimal: "512 B", "1.5 KB", "23.4 MB".
std::string HumanSize(long long bytes);
// The table's SIZE, and its ACCESSED (the newest access time of a file in the program's folder: "< 7 days" ...);
// "no folder" when the registry entry names no install folder, so neither can be known.
std::string SizeCell(const CSoftItem& item);
std::string AccessCell(const CSoftItem& item);
// Terminal columns of a text: East Asian wide and full-width characters take two.
size_t DisplayWidth(const std::wstring& s);
// A JSON string literal (quotes included) in UTF-8.
std::string JsonString(const std::wstring& s);

// The table fits maxWidth terminal columns (long cells are cut with "…"); wide adds publisher and registry key
// and cuts nothing.
std::string SoftTable(const std::vector<Program>& programs, bool wide, size_t maxWidth = 100);
// The readable fields first, the fields the component only carries grouped under "reserved".
std::string SoftJson(const std::vector<Program>& programs);
std::string ProgramJson(const Program& program);
// One program's whole record; folderForUser: the folder as the user reaches it (the Linux path under Wine),
// shown under the Windows one when it differs.
std::string ProgramSheet(const Program& program, const std::wstring& folderForUser);

std::string CategoryTable(const std::vector<CCategoryItem>& items);
std::string CategoryJson(const std::vector<CCategoryItem>& items);
