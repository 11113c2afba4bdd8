// The uninstallable list: built from discovery, the uninstall rules and the data component's software
// information (TaskCreateUnList), and completed one software at a time when the data component reports one
// (TaskAdd). The functions log under the task names of the component object.
#pragma once

#include <string>
#include <vector>

#include "Signal.h"
#include "SoftLists.h"
#include "UnItemInside.h"

class CSoftInfoItem;
class CUninstallRuleItem;

// What a list build works on; m_csList is taken by the build itself, after discovery. The stop request is
// tested before each record and each rule.
struct ListBuildContext {
    SoftLists lists;
    CRITICAL_SECTION& csList;
    const std::vector<CUninstallRuleItem*>& vecRule;
    IKxDataMgr* pDataMgr;
    kx::CStopSignal stop;
};

// Texts compared by MatchTokens; each is lower-cased (C runtime) as it is added.
using TokenList = std::vector<std::wstring>;

void AddToken(TokenList& list, const std::wstring& strText);

// 2 when a non-empty text of one list equals one of the other, else 1 when one contains the other, else 0.
// The first exact pair wins at once, whatever partial pairs came before it.
int MatchTokens(const TokenList& a, const TokenList& b);

// The first rule whose name equals the item's name or key name, else the last one that contains or is
// contained in one of them; null when none, or when the stop request ends the search.
CUninstallRuleItem* MatchRule(const std::vector<CUninstallRuleItem*>& vecRule, const CSoftItem& item,
                              HANDLE hStopEvent);

// MatchRule over one rule list for many items: each rule's name is lower-cased once, not once per item. The
// rule list must not change while the matcher is in use (only the worker thread changes it, between tasks).
class CRuleMatcher {
public:
    explicit CRuleMatcher(const std::vector<CUninstallRuleItem*>& vecRule);
    CUninstallRuleItem* Match(const CSoftItem& item, const kx::CStopSignal& stop) const;

private:
    const std::vector<CUninstallRuleItem*>& m_vecRule;
    std::vector<TokenList> m_patterns;  // one lower-cased name per rule, in rule order
};
// The data component's software information of id nId (type 1); null when it has none.
CSoftInfoItem* GetItemFromKxData(IKxDataMgr* pDataMgr, UINT nId);
// A new list item from a discovery record: rule match, the data component's id and category. Null for our
// own suite's components and on allocation failure.
CSoftItem* CreateSoftItem(const ListBuildContext& ctx, const UnItemInside* pRecord);

// TaskCreateUnList: discovery, then (under m_csList) refresh the known items and add the new ones; the
// list-ready notifications when it was not stopped.
void CreateUnList(ListBuildContext& ctx);
// TaskAdd: the software nId the data component reports as installed, found by its match name and put into
// the list in place of any item with its id or subkey.
void AddUnItem(ListBuildContext& ctx, UINT nId);
