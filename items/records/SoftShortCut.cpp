#include "SoftShortCut.h"

#include "ItemIo.h"

// No base fields; the second and third texts travel swapped.
template <class Io>
static int Transfer(Io& io, CSoftShortCut& r) {
    return io(r.LinkText1) && io(r.LinkText3) && io(r.LinkText2) && io(r.LinkText4) && io(r.LinkValue);
}

int CSoftShortCut::Serialize(CSerializer& s) {
    ItemWriter io{s};
    return Transfer(io, *this);
}

int CSoftShortCut::Deserialize(CSerializer& s) {
    ItemReader io{s};
    return Transfer(io, *this);
}
