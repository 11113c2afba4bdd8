// The lookup predicate of the lists: a non-empty key is compared exactly with the record's key text (the
// soft list's Key, the category list's Name), an empty key selects by Id. The first match from the front wins.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

class CSoftItem;
class CCategoryItem;
class CPowerSweepItem;

CSoftItem* FindSoft(const std::vector<CSoftItem*>& list, const std::wstring& strKey, UINT nId);
CCategoryItem* FindCategory(const std::vector<CCategoryItem*>& list, const std::wstring& strKey, UINT nId);
// Leftover entries have no key text: they are found by Id only.
CPowerSweepItem* FindSweep(const std::vector<CPowerSweepItem*>& list, UINT nId);
