#include "UninstallRuleItem.h"

#include "ItemIo.h"

// TypeId comes before SoftId on the wire.
template <class Io>
static int Transfer(Io& io, CUninstallRuleItem& r) {
    return io(r.Id) && io(r.TypeId) && io(r.SoftId) && io(r.Hide) && io(r.MatchType) && io(r.SoftLogo) &&
           io(r.Brief) && io(r.InfoUrl) && io(r.UninstallName) && io(r.LogoCrc);
}

int CUninstallRuleItem::Serialize(CSerializer& s) {
    ItemWriter io{s};
    return Transfer(io, *this);
}

int CUninstallRuleItem::Deserialize(CSerializer& s) {
    ItemReader io{s};
    return Transfer(io, *this);
}
