#include "CategoryItem.h"

#include "ItemIo.h"

template <class Io>
static int Transfer(Io& io, CCategoryItem& r) {
    return io(r.Id) && io(r.Name) && io(r.Count);
}

int CCategoryItem::Serialize(CSerializer& s) {
    ItemWriter io{s};
    return Transfer(io, *this);
}

int CCategoryItem::Deserialize(CSerializer& s) {
    ItemReader io{s};
    return Transfer(io, *this);
}
