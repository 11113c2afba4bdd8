// The diagnostic dumps of the rule list ([Dump] UnRule) and the soft list ([Dump] UnSoft). Callers that hold a
// list lock keep it; the dumps only read.
#pragma once

#include <vector>

class CSoftItem;
class CUninstallRuleItem;

void DumpRuleList(const std::vector<CUninstallRuleItem*>& rules);
void DumpSoftList(const std::vector<CSoftItem*>& soft);
