#pragma once

#include "BaseItem.h"

// One software category (list type 0x100).
class CCategoryItem : public CBaseItem {
public:
    CCategoryItem() = default;
    CCategoryItem(const CCategoryItem&) = default;
    int Serialize(CSerializer& s) override;
    int Deserialize(CSerializer& s) override;

    std::wstring Name;
    UINT Count = 0;
};
