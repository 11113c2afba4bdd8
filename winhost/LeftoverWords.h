// The leftover dialog's words: the labels of the tree's root and groups, and the summary of a sweep, from the
// string table in the language the window chose.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "SweepOutcome.h"

// The text of a string id (UiString, or one language's table for a test).
using TextOf = std::function<std::wstring(UINT nId)>;

// The root's (kind 0) or a group's label with its number of entries: "全部 (7)", "Files (2)".
std::wstring GroupLabel(UINT nKind, size_t nEntries, const TextOf& text);

// One line per outcome that occurred (to the Recycle Bin, deleted elsewhere, at restart, from the registry, not
// removed with up to three of those entries and why), then whether the program left the list or stays with
// nLeft leftovers still offered. Lines end with CR LF, the last one too.
std::wstring SweepSummaryText(const std::vector<EntryOutcome>& outcomes, UINT nFinalState, size_t nLeft,
                              const TextOf& text);
