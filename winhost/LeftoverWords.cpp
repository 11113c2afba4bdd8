#include "LeftoverWords.h"

#include "KxUninstIf.h"
#include "LeftoverStrings.h"
#include "PowerSweepItem.h"
#include "WideFormat.h"

namespace {

constexpr size_t kNotRemovedShown = 3;

std::wstring Line(const TextOf& text, UINT nId, size_t n) {
    return kx::Format(text(nId).c_str(), static_cast<unsigned>(n)) + L"\r\n";
}

}  // namespace

std::wstring GroupLabel(UINT nKind, size_t nEntries, const TextOf& text) {
    UINT nId = IDS_KXW_LO_ROOT;
    switch (nKind) {
        case CPowerSweepItem::KIND_FOLDER: nId = IDS_KXW_LO_FOLDERS; break;
        case CPowerSweepItem::KIND_FILE: nId = IDS_KXW_LO_FILES; break;
        case CPowerSweepItem::KIND_REGISTRY: nId = IDS_KXW_LO_REGISTRY; break;
        case CPowerSweepItem::KIND_SHORTCUT: nId = IDS_KXW_LO_SHORTCUTS; break;
        default: break;
    }
    return kx::Format(text(nId).c_str(), static_cast<unsigned>(nEntries));
}

std::wstring SweepSummaryText(const std::vector<EntryOutcome>& outcomes, UINT nFinalState, size_t nLeft,
                              const TextOf& text) {
    static const std::pair<Outcome, UINT> kHeads[] = {
        {Outcome::RecycleBin, IDS_KXW_LO_SUM_RECYCLE}, {Outcome::Gone, IDS_KXW_LO_SUM_GONE},
        {Outcome::AtRestart, IDS_KXW_LO_SUM_RESTART},  {Outcome::Registry, IDS_KXW_LO_SUM_REGISTRY},
        {Outcome::NotRemoved, IDS_KXW_LO_SUM_NOT_REMOVED},
    };
    std::wstring out;
    for (const auto& head : kHeads) {
        size_t n = 0;
        for (const EntryOutcome& o : outcomes) n += o.outcome == head.first;
        if (n) out += Line(text, head.second, n);
    }
    size_t nShown = 0;
    for (const EntryOutcome& o : outcomes) {
        if (o.outcome != Outcome::NotRemoved || nShown++ >= kNotRemovedShown) continue;
        const std::wstring& path = o.entry.item.Path;
        out += (o.guardReason.empty() ? kx::Format(text(IDS_KXW_LO_SUM_FAILED).c_str(), path.c_str())
                                      : kx::Format(text(IDS_KXW_LO_SUM_REFUSED).c_str(), path.c_str(),
                                                   o.guardReason.c_str())) +
               L"\r\n";
    }
    if (nShown > kNotRemovedShown) out += Line(text, IDS_KXW_LO_SUM_MORE, nShown - kNotRemovedShown);
    if (outcomes.empty()) out += text(IDS_KXW_LO_SUM_NOTHING) + L"\r\n";
    out += nFinalState == SOFT_STATE_REMOVED ? text(IDS_KXW_LO_SUM_LEFT_LIST) + L"\r\n"
                                             : Line(text, IDS_KXW_LO_SUM_STAYS, nLeft);
    return out;
}
