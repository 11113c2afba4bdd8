// The leftovers an uninstall offers (list 0x200) as the CLI shows them: numbered in the component's order, group
// heads and entries alike, with the sizes of files and folders, and the choice of which to remove.
#pragma once

#include <string>
#include <vector>

#include "PowerSweepItem.h"

struct Leftover {
    CPowerSweepItem item;
    unsigned number = 0;     // as shown; 0 for the root entry
    long long bytes = -1;    // files, shortcuts and folders that exist: their size; else -1
    unsigned files = 0;      // folders: the files below them
    std::wstring linuxPath;  // under Wine, the Linux path of a file-system entry
    bool IsEntry() const { return item.Level == CPowerSweepItem::LEVEL_MEMBER; }
    bool IsFileSystem() const { return item.Kind != CPowerSweepItem::KIND_REGISTRY; }
};

// The records as read, numbered, measured now.
std::vector<Leftover> MeasureLeftovers(const std::vector<CPowerSweepItem>& items);
// "folders", "files", "registry", "shortcuts"; "all" for the root.
std::string KindWords(UINT nKind);

std::string LeftoverTree(const std::vector<Leftover>& list, const std::wstring& programName);
std::string LeftoversJson(const std::vector<Leftover>& list, const std::string& indent);

// The ids to sweep for an answer: "all", or numbers and ranges of the entries shown ("2,4-6 9"), a group's
// number choosing its entries, an entry bringing the others of its row; in list order, each once. False with the
// reason for anything else.
bool ChooseLeftovers(const std::vector<Leftover>& list, const std::wstring& answer, std::vector<UINT>& ids,
                     std::wstring& error);

// The scanner may offer the same path twice in a group (a shortcut in a folder that two of the folders it walks
// both hold). Removing one removes the other, so they are one choice: for each index of the list, the index of
// the entry whose row it belongs to, its own or that of the first entry of its group with the same path (ignoring
// case and trailing backslashes). The root and the heads have their own. The tree marks the later ones.
std::vector<size_t> LeftoverRowOf(const std::vector<Leftover>& list);
