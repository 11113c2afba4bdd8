#pragma once

#include "BaseItem.h"

// One leftover offered for forced removal (list type 0x200).
class CPowerSweepItem : public CBaseItem {
public:
    enum KindValue : UINT { KIND_ROOT = 0, KIND_FOLDER = 1, KIND_FILE = 2, KIND_REGISTRY = 3, KIND_SHORTCUT = 4 };
    enum LevelValue : UINT { LEVEL_ROOT = 0, LEVEL_GROUP = 1, LEVEL_MEMBER = 2 };

    CPowerSweepItem() = default;
    CPowerSweepItem(const CPowerSweepItem&) = default;
    int Serialize(CSerializer& s) override;
    int Deserialize(CSerializer& s) override;

    UINT Kind = 0;
    UINT Level = 0;
    std::wstring Path;
};
