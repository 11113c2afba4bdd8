#pragma once

#include "BaseItem.h"

// An uninstall rule from the data component (its list type 4). SoftId is the rule's software key.
class CUninstallRuleItem : public CBaseItem {
public:
    CUninstallRuleItem() = default;
    CUninstallRuleItem(const CUninstallRuleItem&) = default;
    int Serialize(CSerializer& s) override;
    int Deserialize(CSerializer& s) override;

    UINT TypeId = 0;  // category id
    UINT Hide = 0;
    UINT MatchType = 0;
    std::wstring SoftLogo;
    std::wstring Brief;
    std::wstring InfoUrl;
    std::wstring UninstallName;  // what installed software is matched against
    std::wstring LogoCrc;
};
