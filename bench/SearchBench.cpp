// A 10,000-program list of mixed Chinese and Latin names. Times IKxListMgr::Search by name with an input
// that only pinyin finds (substring pass + pinyin pass, as the host calls it) against the substring pass alone
// over the same list, both in this run; the last line is their ratio.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "Ferro80U.h"
#include "KxUninstMgr.h"
#include "KxUninstStartup.h"
#include "SearchText.h"
#include "SoftItem.h"

namespace {

const wchar_t* const kChinese[] = {
    L"腾讯", L"网易", L"金山", L"百度", L"搜狗", L"迅雷", L"爱奇艺", L"优酷", L"暴风", L"酷狗", L"音乐", L"视频",
    L"浏览器", L"输入法", L"杀毒", L"助手", L"管家", L"卫士", L"播放器", L"游戏", L"大师", L"办公", L"阅读器",
    L"压缩", L"下载", L"云盘", L"相册", L"影音", L"看图", L"词典", L"翻译", L"驱动", L"安全", L"电脑", L"手机",
    L"重装", L"系统", L"银行", L"证券", L"地图", L"邮箱", L"会议", L"直播", L"绿色版", L"专业版", L"极速版"};
const wchar_t* const kLatin[] = {
    L"Microsoft", L"Office", L"Adobe", L"Reader", L"Visual", L"C++", L"Redistributable", L"Runtime", L"Google",
    L"Chrome", L"Mozilla", L"Firefox", L"Java", L"Python", L"Update", L"Driver", L"Intel", L"NVIDIA", L"Realtek",
    L"Audio", L"Tools", L"2019", L"x64", L"(x86)", L"SDK", L"Player", L"Studio", L"QQ", L"WPS", L"Steam"};

class Random {
public:
    unsigned Next(unsigned n) {
        m_state = m_state * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<unsigned>(m_state >> 33) % n;
    }

private:
    unsigned long long m_state = 20261205;
};

template <size_t N>
const wchar_t* Pick(Random& rnd, const wchar_t* const (&words)[N]) { return words[rnd.Next(N)]; }

std::wstring MakeName(Random& rnd) {
    std::wstring name;
    switch (rnd.Next(3)) {
    case 0:  // Chinese product name
        for (unsigned i = 0, n = 2 + rnd.Next(2); i < n; ++i) name += Pick(rnd, kChinese);
        break;
    case 1:  // Latin product name
        for (unsigned i = 0, n = 2 + rnd.Next(3); i < n; ++i) name += (i ? L" " : L"") + std::wstring(Pick(rnd, kLatin));
        break;
    default:  // mixed
        name = std::wstring(Pick(rnd, kChinese)) + Pick(rnd, kLatin) + L" " + Pick(rnd, kChinese);
        break;
    }
    if (rnd.Next(4) == 0) name += L" " + std::to_wstring(1 + rnd.Next(12)) + L"." + std::to_wstring(rnd.Next(10));
    return name;
}

double Now() {
    static LARGE_INTEGER freq = [] { LARGE_INTEGER f; QueryPerformanceFrequency(&f); return f; }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) * 1000.0 / static_cast<double>(freq.QuadPart);
}

// The second pass of the name search alone, with the same copies the component hands the library.
UINT PinyinPass(CKxUninstMgr& mgr, const std::wstring& query, std::vector<UINT>& ids) {
    const std::wstring lower = kx::LowerCase(query);
    UINT n = 0;
    EnterCriticalSection(&mgr.m_csList.get());
    for (const CSoftItem* p : mgr.m_vecSoft) {
        std::wstring name = p->Name, text = lower;
        int bMatch = 0;
        FERRO::MatchByPY(&name[0], &text[0], &bMatch);
        if (bMatch && n < ids.size()) ids[n++] = p->Id;
    }
    LeaveCriticalSection(&mgr.m_csList.get());
    return n;
}

// The search as the host calls it.
UINT SearchByName(CKxUninstMgr& mgr, const std::wstring& query, std::vector<UINT>& ids) {
    IKxListMgr* pList = &mgr;
    BSTR bstr = SysAllocString(query.c_str());
    UINT nSize = static_cast<UINT>(ids.size());
    pList->Search(0x20, 2, bstr, ids.data(), &nSize);
    SysFreeString(bstr);
    return nSize;
}

// The first pass of the name search alone: the same comparison over the same list under the same lock.
UINT SubstringPass(CKxUninstMgr& mgr, const std::wstring& query, std::vector<UINT>& ids) {
    const std::wstring lower = kx::LowerCase(query);
    UINT n = 0;
    EnterCriticalSection(&mgr.m_csList.get());
    for (const CSoftItem* p : mgr.m_vecSoft)
        if (kx::ContainsNoCase(p->Name, lower) && n < ids.size()) ids[n++] = p->Id;
    LeaveCriticalSection(&mgr.m_csList.get());
    return n;
}

double Time(const std::function<void()>& f) {
    const double t0 = Now();
    f();
    return Now() - t0;
}

// The best time of each case, the cases taken in turn so that a change in the machine's load hits all alike.
std::vector<double> BestOf(int repeat, const std::vector<std::function<void()>>& cases) {
    std::vector<double> best(cases.size(), 1e300);
    for (int i = 0; i < repeat; ++i)
        for (size_t c = 0; c < cases.size(); ++c) best[c] = std::min(best[c], Time(cases[c]));
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    int repeat = 50;
    std::wstring query = L"xunlei";
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string value = argv[i + 1];
        if (std::strcmp(argv[i], "--repeat") == 0) repeat = std::max(1, std::atoi(value.c_str()));
        if (std::strcmp(argv[i], "--query") == 0) query.assign(value.begin(), value.end());  // ASCII input
    }
    // The log file stays closed while the passes are compared: under Wine each line is a file append that
    // costs far more than the search itself. The search with the log open is timed last, for reference.
    CKxUninstMgr mgr;
    Random rnd;
    for (UINT i = 0; i < 10000; ++i) {
        auto* p = new CSoftItem;
        p->Id = 1 + i;
        p->Name = MakeName(rnd);
        mgr.m_vecSoft.push_back(p);
    }

    std::vector<UINT> ids(10000);
    const UINT nFound = SearchByName(mgr, query, ids);  // warms the tables of both passes
    const UINT nSubstring = SubstringPass(mgr, query, ids);
    const UINT nPinyin = PinyinPass(mgr, query, ids);
    const std::vector<double> best = BestOf(repeat, {[&] { SubstringPass(mgr, query, ids); },
                                                     [&] { PinyinPass(mgr, query, ids); },
                                                     [&] { SearchByName(mgr, query, ids); }});
    const double tSubstring = best[0], tPinyin = best[1], tSearch = best[2];
    KxUninstStartup(nullptr);
    const double tLogged = BestOf(std::min(repeat, 3), {[&] { SearchByName(mgr, query, ids); }})[0];

    std::printf("items: %u, query: %s, best of %d\n", static_cast<unsigned>(mgr.m_vecSoft.size()),
                std::string(query.begin(), query.end()).c_str(), repeat);
    std::printf("substring pass alone: %u ids, %.3f ms\n", nSubstring, tSubstring);
    std::printf("pinyin pass alone: %u ids, %.3f ms\n", nPinyin, tPinyin);
    std::printf("name search, both passes: %u ids, %.3f ms\n", nFound, tSearch);
    std::printf("name search with the log file open (a line per id): %.3f ms\n", tLogged);
    std::printf("pinyin/substring ratio: %.2f\n", tSearch / tSubstring);

    for (CSoftItem* p : mgr.m_vecSoft) delete p;
    mgr.m_vecSoft.clear();
    return 0;
}
