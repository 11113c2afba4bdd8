#pragma once

#include <vector>

#include "BaseItem.h"
#include "SoftShortCut.h"

// The software-information record the data component returns for a software id (its list type 1).
class CSoftInfoItem : public CBaseItem {
public:
    CSoftInfoItem() = default;
    CSoftInfoItem(const CSoftInfoItem&) = default;
    int Serialize(CSerializer& s) override;
    int Deserialize(CSerializer& s) override;

    std::wstring InfoText1, InfoText2;
    BYTE InfoFlag1 = 0;
    std::wstring InfoText3;
    ULONGLONG InfoValue1 = 0;
    std::wstring InfoText4, InfoText5;  // not serialized
    std::wstring InfoText6;
    std::wstring Category;
    std::wstring InfoText7, InfoText8, InfoText9, InfoText10, InfoText11, InfoText12;
    UINT InfoValue2 = 0;
    std::wstring MatchName;
    std::wstring InfoText13, InfoText14;
    BYTE InfoFlag2 = 0;
    std::wstring InfoText15;  // not serialized
    BYTE InfoFlag3 = 0;
    UINT InfoValue3 = 0, InfoValue4 = 0;
    std::wstring InfoText16;  // not serialized
    std::wstring InfoText17;
    std::wstring InfoText18;  // not serialized
    std::wstring InfoText19;
    BYTE InfoFlag4 = 0;
    std::wstring InfoText20, InfoText21, InfoText22, InfoText23, InfoText24;
    BYTE InfoFlag5 = 0;
    std::wstring InfoText25;
    std::vector<CSoftShortCut> ShortCuts;
};
