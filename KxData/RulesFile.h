// The rules file: one line per known software (see README.md). Parsing is separate from the object so that
// the watcher can read a new version of the file and compare it with the one in use.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "SoftInfoItem.h"
#include "UninstallRuleItem.h"

// One software: its rule and its information record share Id and SoftId.
struct KxSoftware {
    CUninstallRuleItem rule;
    CSoftInfoItem info;
};

struct KxRuleSet {
    UINT nVersion = 0;
    std::vector<std::pair<UINT, std::wstring>> categories;  // TypeId -> category name, file order
    std::vector<std::shared_ptr<const KxSoftware>> soft;    // file order = index order
};

// Ids the rules file may fix lie below this; the ids of SoftIds without one lie at and above it.
constexpr UINT kFirstDynamicSoftId = 0x00100000;

// What a new version of the file did to the rules in use.
enum class KxRuleChange { None, Appended, Changed };

// Parses the UTF-8 text (a byte-order mark is skipped). Lines that do not parse are skipped, and so are lines
// that fix an id of the dynamic range. Ids of lines without one come from pfnDynamicId (the id of that SoftId).
KxRuleSet ParseRules(const std::string& text, UINT (*pfnDynamicId)(const std::wstring& strSoftId));

// Reads the whole file; false when it cannot be opened.
bool ReadFileText(const std::wstring& path, std::string& text);

// Appended when the old rules are a strict prefix of the new ones (same records, same order, same version).
KxRuleChange CompareRules(const KxRuleSet& oldSet, const KxRuleSet& newSet);

std::wstring Utf8ToWide(const std::string& s);
