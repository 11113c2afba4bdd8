#pragma once

#include "BaseItem.h"

// A shortcut entry inside CSoftInfoItem. Alone it serializes without the base fields.
class CSoftShortCut : public CBaseItem {
public:
    CSoftShortCut() = default;
    CSoftShortCut(const CSoftShortCut&) = default;
    int Serialize(CSerializer& s) override;
    int Deserialize(CSerializer& s) override;

    std::wstring LinkText1, LinkText2, LinkText3, LinkText4;
    UINT LinkValue = 0;
};
