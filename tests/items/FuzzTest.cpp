// Random and mutated bytes into every record reader: no crash, no read past the input, no allocation the
// input cannot back (a huge count must fail, not allocate). Deterministic: a fixed seed, a fixed count.
#include <gtest/gtest.h>

#include <random>

#include "CategoryItem.h"
#include "ItemBytes.h"
#include "PowerSweepItem.h"
#include "SoftInfoItem.h"
#include "SoftItem.h"
#include "SoftShortCut.h"
#include "UninstallRuleItem.h"

using namespace itemtest;

namespace {

constexpr int kBuffers = 100000;

template <class T>
void Feed(const Bytes& bytes, int& accepted) {
    CSerializer r(bytes.data(), static_cast<UINT>(bytes.size()));
    T item;
    if (item.Deserialize(r)) ++accepted;
    ASSERT_LE(r.Length(), bytes.size());
    ASSERT_LE(r.Length(), r.Capacity());
}

// Valid records of every class to mutate: texts of several lengths, shortcuts.
std::vector<Bytes> Seeds() {
    std::vector<Bytes> seeds;
    CSoftItem soft;
    soft.Name = L"\u5FAE\u4FE1";
    soft.Key = L"HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\x";
    seeds.push_back(Serialized(soft));
    CSoftInfoItem info;
    info.MatchName = L"name";
    for (int i = 0; i < 3; ++i) {
        CSoftShortCut l;
        l.LinkText1 = L"link";
        l.LinkValue = i;
        info.ShortCuts.push_back(l);
    }
    seeds.push_back(Serialized(info));
    CUninstallRuleItem rule;
    rule.UninstallName = L"\U0001F600";
    seeds.push_back(Serialized(rule));
    CCategoryItem cat;
    cat.Name = L"\u5176\u4ED6";
    seeds.push_back(Serialized(cat));
    CPowerSweepItem sweep;
    sweep.Path = L"C:\\Program Files\\x";
    seeds.push_back(Serialized(sweep));
    return seeds;
}

}  // namespace

TEST(Fuzz, EveryReaderSurvivesRandomAndMutatedBytes) {
    std::mt19937 rng(20261205);
    const std::vector<Bytes> seeds = Seeds();
    int accepted[6] = {};
    // Values that stress the counts: huge, just beyond the end, odd, zero.
    const UINT interesting[] = {0, 1, 2, 3, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF, 0xFFFFFFFE, 0xFFFFFFFC, 20480};
    for (int n = 0; n < kBuffers; ++n) {
        Bytes b;
        if (n % 2 == 0) {
            b.resize(rng() % 300);
            // Small counts now and then so that texts and shortcut lists get read whole.
            for (auto& x : b) x = static_cast<BYTE>(rng() % 4 == 0 ? rng() % 8 : rng());
        } else {
            b = seeds[rng() % seeds.size()];
            const int edits = 1 + rng() % 4;
            for (int e = 0; e < edits && !b.empty(); ++e) {
                const size_t at = rng() % b.size();
                switch (rng() % 5) {
                case 0: b[at] ^= static_cast<BYTE>(1u << (rng() % 8)); break;
                case 1: b[at] = static_cast<BYTE>(rng()); break;
                case 2: b.resize(at); break;
                case 3:
                    if (at + 4 <= b.size()) {
                        const UINT v = interesting[rng() % (sizeof interesting / sizeof interesting[0])];
                        for (int i = 0; i < 4; ++i) b[at + i] = static_cast<BYTE>(v >> (8 * i));
                    }
                    break;
                default: b.insert(b.begin() + at, static_cast<BYTE>(rng())); break;
                }
            }
        }
        Feed<CSoftItem>(b, accepted[0]);
        Feed<CSoftInfoItem>(b, accepted[1]);
        Feed<CSoftShortCut>(b, accepted[2]);
        Feed<CUninstallRuleItem>(b, accepted[3]);
        Feed<CCategoryItem>(b, accepted[4]);
        Feed<CPowerSweepItem>(b, accepted[5]);
        if (HasFatalFailure()) return;
    }
    // The mutations must also reach the end of each reader, not only fail early.
    for (int c = 0; c < 6; ++c) EXPECT_GT(accepted[c], 100) << "class " << c;
}
