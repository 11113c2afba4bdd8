// Counting the listed programs by category (list type 0x100).
#pragma once

#include "SoftLists.h"

// One program more (bAdd) or less in the category named pszCategory (the entry with id 0 for an empty name).
// A category that reaches 0 leaves the list unless it is the one of all software. Changes are posted only once
// the list is ready, so a build posts none. The caller holds m_csList.
void StatCategory(SoftLists& lists, BOOL bAdd, LPCWSTR pszCategory);
