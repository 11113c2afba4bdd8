#pragma once

#include "BaseItem.h"

// One entry of the uninstallable-software list (list type 0x20).
class CSoftItem : public CBaseItem {
public:
    CSoftItem() = default;
    CSoftItem(const CSoftItem&) = default;
    int Serialize(CSerializer& s) override;
    int Deserialize(CSerializer& s) override;

    std::wstring Name;
    std::wstring ExtraText1;
    BYTE ExtraFlag1 = 1;
    BYTE Virtual = 0;
    std::wstring ExtraText2, ExtraText3;
    std::wstring Category;
    std::wstring Icon;
    std::wstring Brief;
    std::wstring InfoUrl;
    BYTE ExtraFlag2 = 0;
    std::wstring ExtraText4;
    UINT ExtraValue1 = 0, ExtraValue2 = 0;
    std::wstring ExtraText5, ExtraText6, ExtraText7, ExtraText8;
    BYTE ExtraFlag3 = 1;
    UINT ExtraValue3 = 0, ExtraValue4 = 0, ExtraValue5 = 0;
    BYTE ExtraFlag4 = 0;
    UINT ExtraValue6 = 0, ExtraValue7 = 0;
    ULONGLONG ExtraValue8 = 0;
    UINT ExtraValue9 = 0, ExtraValue10 = 0;
    std::wstring Folder;
    std::wstring Time;
    UINT Use = 0;
    LONGLONG Size = 0;
    std::wstring Key;
};
