// One row per leftover the user can tell apart. The scanner may offer the same path twice in a group (a shortcut
// in a folder that two of its roots both hold); shown twice, unticking one row would not keep the file, since the
// other removes it. So such entries share the row of the first, and its tick chooses them all.
#pragma once

#include <cstddef>
#include <vector>

#include "LeftoverTree.h"

// For each index of the list, the index of the entry whose row shows it: its own, or that of the first entry of
// its group with the same path (ignoring case and trailing backslashes). The root and the heads have their own.
std::vector<size_t> LeftoverRowOf(const std::vector<Leftover>& list);
