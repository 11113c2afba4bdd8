// The records the component keeps in its lists, hands to its host, reads from the data component and writes
// to its cache. Each writes itself to a CSerializer and reads itself back; the field order of that form is
// fixed (see each class).
#pragma once

#include <windows.h>
#include <string>

class CSerializer;

class CBaseItem {
public:
    CBaseItem() = default;
    CBaseItem(const CBaseItem&) = default;
    CBaseItem& operator=(const CBaseItem&) = default;
    virtual ~CBaseItem() = default;
    // Nonzero on success, 0 as soon as one primitive fails.
    virtual int Serialize(CSerializer& s) = 0;
    // 0 as soon as one read fails; the fields read so far stay set, the rest keep their values.
    virtual int Deserialize(CSerializer& s) = 0;

    UINT Id = 0;
    std::wstring SoftId;
    UINT DelTick = 0;  // carried only; never serialized
};
