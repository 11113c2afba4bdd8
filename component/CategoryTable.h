// The process-wide category table read from category.ini: (id, name) pairs in file order.
#pragma once

#include <windows.h>

#include <string>

// Fills the table from section "List" of pszIniFile; NULL leaves it empty.
void LoadCategories(LPCWSTR pszIniFile);
// The id of the first entry named pszName (exact); else the id of the last entry; 0 for an empty table.
UINT CategoryIdByName(LPCWSTR pszName);
// The name of the first entry with id nId; else the name of the last entry; empty for an empty table.
std::wstring CategoryNameById(UINT nId);
