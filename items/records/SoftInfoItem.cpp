#include "SoftInfoItem.h"

#include "ItemIo.h"

// The fixed fields. InfoValue2 follows InfoFlag1, and InfoText11, 12, 19, 17 close the list; InfoText4, 5,
// 15, 16 and 18 are not carried.
template <class Io>
static int Transfer(Io& io, CSoftInfoItem& r) {
    return io(r.Id) && io(r.SoftId) && io(r.InfoText1) && io(r.InfoText2) && io(r.InfoFlag1) &&
           io(r.InfoValue2) && io(r.InfoText3) && io(r.InfoValue1) && io(r.InfoText6) && io(r.Category) &&
           io(r.InfoText7) && io(r.InfoText8) && io(r.InfoText9) && io(r.InfoText10) && io(r.MatchName) &&
           io(r.InfoText13) && io(r.InfoText14) && io(r.InfoFlag2) && io(r.InfoFlag3) && io(r.InfoValue3) &&
           io(r.InfoValue4) && io(r.InfoFlag4) && io(r.InfoText20) && io(r.InfoText21) && io(r.InfoText22) &&
           io(r.InfoText23) && io(r.InfoText24) && io(r.InfoFlag5) && io(r.InfoText25) && io(r.InfoText11) &&
           io(r.InfoText12) && io(r.InfoText19) && io(r.InfoText17);
}

int CSoftInfoItem::Serialize(CSerializer& s) {
    ItemWriter io{s};
    if (!Transfer(io, *this)) return 0;
    if (!s.WriteU32(static_cast<UINT>(ShortCuts.size()))) return 0;
    for (auto& link : ShortCuts)
        if (!link.Serialize(s)) return 0;
    return 1;
}

// Shortcuts are appended to what the list already holds; one that cannot be read whole is not kept. The
// count is not trusted for any allocation: every entry needs at least 20 bytes of input to be added.
int CSoftInfoItem::Deserialize(CSerializer& s) {
    ItemReader io{s};
    if (!Transfer(io, *this)) return 0;
    UINT nCount = 0;
    if (!s.ReadU32(nCount)) return 0;
    for (UINT i = 0; i < nCount; ++i) {
        CSoftShortCut link;
        if (!link.Deserialize(s)) return 0;
        ShortCuts.push_back(link);
    }
    return 1;
}
