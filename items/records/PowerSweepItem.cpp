#include "PowerSweepItem.h"

#include "ItemIo.h"

// Kind comes before Id on the wire.
template <class Io>
static int Transfer(Io& io, CPowerSweepItem& r) {
    return io(r.Kind) && io(r.Id) && io(r.Level) && io(r.Path);
}

int CPowerSweepItem::Serialize(CSerializer& s) {
    ItemWriter io{s};
    return Transfer(io, *this);
}

int CPowerSweepItem::Deserialize(CSerializer& s) {
    ItemReader io{s};
    return Transfer(io, *this);
}
