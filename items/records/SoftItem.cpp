#include "SoftItem.h"

#include "ItemIo.h"

template <class Io>
static int Transfer(Io& io, CSoftItem& r) {
    return io(r.Id) && io(r.SoftId) && io(r.Name) && io(r.ExtraText1) && io(r.ExtraFlag1) && io(r.Virtual) &&
           io(r.ExtraText2) && io(r.ExtraText3) && io(r.Category) && io(r.Icon) && io(r.Brief) &&
           io(r.InfoUrl) && io(r.ExtraFlag2) && io(r.ExtraText4) && io(r.ExtraValue1) && io(r.ExtraValue2) &&
           io(r.ExtraText5) && io(r.ExtraText6) && io(r.ExtraText7) && io(r.ExtraText8) && io(r.ExtraFlag3) &&
           io(r.ExtraValue3) && io(r.ExtraValue4) && io(r.ExtraValue5) && io(r.ExtraFlag4) &&
           io(r.ExtraValue6) && io(r.ExtraValue7) && io(r.ExtraValue8) && io(r.ExtraValue9) &&
           io(r.ExtraValue10) && io(r.Folder) && io(r.Time) && io(r.Use) && io(r.Size) && io(r.Key);
}

int CSoftItem::Serialize(CSerializer& s) {
    ItemWriter io{s};
    return Transfer(io, *this);
}

int CSoftItem::Deserialize(CSerializer& s) {
    ItemReader io{s};
    return Transfer(io, *this);
}
