// The process-wide category table read from category.ini: (id, name) pairs in file order, shared by every
// instance of the component.
//
// Two instances in one process: each Init that starts a worker reloads the table while the other instance's
// worker may be reading it. The table is therefore guarded by a process-wide reader/writer lock: a reload
// builds the new table aside and swaps it in under the exclusive lock, and every lookup holds the shared lock
// and returns a copy, so a reader sees either the old table or the new one, never a half-filled one.
#pragma once

#include <windows.h>

#include <string>

// Fills the table from section "List" of pszIniFile; NULL leaves it empty.
void LoadCategories(LPCWSTR pszIniFile);
// The id of the first entry named pszName (exact); else the id of the last entry; 0 for an empty table.
UINT CategoryIdByName(LPCWSTR pszName);
// The name of the first entry with id nId; else the name of the last entry; empty for an empty table.
std::wstring CategoryNameById(UINT nId);
// GetHostFolder() + "\conf\category.ini", computed once per process.
std::wstring CategoryIniPath();
