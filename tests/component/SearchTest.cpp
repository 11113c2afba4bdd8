// Category counting and Search, on a real component object: notifications reach a real listener window, the
// log is the component's own file, and pinyin goes through the Ferro80U.DLL the component imports.
#include <gtest/gtest.h>
#include <windows.h>

#include "CategoryItem.h"
#include "CategoryStat.h"
#include "CategoryTable.h"
#include "KxUninstMgr.h"
#include "KxUninstStartup.h"
#include "SoftItem.h"
#include "kxtest/HostLayout.h"
#include "kxtest/Log.h"
#include "kxtest/Pump.h"
#include "kxtest/TempDir.h"

namespace {

using Counts = std::vector<std::pair<UINT, UINT>>;  // (category id, count) in list order
using Ids = std::vector<UINT>;

WPARAM Cat(UINT nAct) { return MAKEWPARAM(nAct, LIST_CATEGORY); }

class SearchTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        KxUninstStartup(nullptr);
        kxtest::TempDir dir;
        kxtest::WriteUtf16File(dir / L"category.ini", L"[List]\r\n0.All software\r\n1.Games\r\n3.聊天工具\r\n5.Tools\r\n");
        LoadCategories((dir / L"category.ini").c_str());
    }
    void SetUp() override { m_mgr.AddListener(m_listener.Handle(), LIST_CATEGORY); }
    void TearDown() override { m_mgr.RemoveListener(m_listener.Handle(), LIST_CATEGORY); }

    // Adds programs the way the list tasks do: to the list, counted in the all-software bucket and their own.
    Ids Add(std::initializer_list<std::pair<const wchar_t*, const wchar_t*>> programs) {
        Ids ids;
        for (const auto& [name, category] : programs) {
            auto* p = new CSoftItem;
            p->Id = 1000 + static_cast<UINT>(m_mgr.m_vecSoft.size()), p->Name = name, p->Category = category;
            m_mgr.m_vecSoft.push_back(p);
            Count(TRUE, category);
            ids.push_back(p->Id);
        }
        return ids;
    }
    void Count(BOOL bAdd, const std::wstring& category) {
        kx::CritSecLock lock(m_mgr.m_csList);
        SoftLists lists = m_mgr.Lists();
        StatCategory(lists, bAdd, CategoryNameById(0).c_str());
        StatCategory(lists, bAdd, category.c_str());
    }
    Counts Categories() const {
        Counts out;
        for (const CCategoryItem* p : m_mgr.m_vecCategory) out.emplace_back(p->Id, p->Count);
        return out;
    }
    // Search through the interface the host holds; the ids, or the size it answered on failure.
    HRESULT Find(UINT nSearchType, const std::wstring& text, Ids& ids, UINT capacity = 64) {
        ids.assign(capacity, 0xCDCDCDCD);
        UINT nSize = capacity;
        HRESULT hr = static_cast<IKxListMgr&>(m_mgr).Search(LIST_SOFT, nSearchType, kx::MakeBstr(text).get(), ids.data(), &nSize);
        ids.resize(hr == S_OK ? nSize : capacity);
        m_lastSize = nSize;
        return hr;
    }
    Ids Find(UINT nSearchType, const std::wstring& text) {
        Ids ids;
        EXPECT_EQ(S_OK, Find(nSearchType, text, ids)) << kxtest::WideToUtf8(text);
        return ids;
    }

    CKxUninstMgr m_mgr;
    kxtest::ListenerWindow m_listener;
    UINT m_lastSize = 0;
};

}  // namespace

// While the list is built nothing is posted; once it is ready every change posts the all-software bucket's
// change, then the category's added (first program), changed, or removed (last program).
TEST_F(SearchTest, CountsInIdOrderAndPostsOnlyWhenTheListIsReady) {
    Add({{L"Minesweeper", L"Games"}, {L"Notepad++", L"Tools"}, {L"Solitaire", L"Games"}});
    EXPECT_EQ(Categories(), (Counts{{0, 3}, {1, 2}, {5, 1}}));
    EXPECT_EQ(m_mgr.m_vecCategory[1]->Name, L"Games");
    EXPECT_TRUE(m_listener.Drain().empty());
    m_mgr.m_bListReady = TRUE;
    const struct {
        BOOL add;
        const wchar_t* category;
        kxtest::Notes notes;
    } steps[] = {
        {TRUE, L"聊天工具", {{Cat(0x10), 0}, {Cat(0x04), 3}}},
        {TRUE, L"Games", {{Cat(0x10), 0}, {Cat(0x10), 1}}},
        {FALSE, L"Tools", {{Cat(0x10), 0}, {Cat(0x08), 5}}},
        {FALSE, L"Not counted anywhere", {{Cat(0x10), 0}}},
    };
    for (const auto& s : steps) {
        Count(s.add, s.category);
        EXPECT_EQ(m_listener.Drain(), s.notes) << kxtest::WideToUtf8(s.category);
    }
    EXPECT_EQ(Categories(), (Counts{{0, 3}, {1, 3}, {3, 1}}));
    for (const wchar_t* c : {L"Games", L"Games", L"聊天工具"}) Count(FALSE, c);
    EXPECT_EQ(Categories(), (Counts{{0, 0}, {1, 1}})) << "the all-software bucket stays, at zero";
}

TEST_F(SearchTest, NamesOutsideTheTableShareTheLastIdInArrivalOrder) {
    Add({{L"Paint", L"Graphics"}, {L"Notepad++", L"Tools"}, {L"Unnamed", L""}});
    EXPECT_EQ(Categories(), (Counts{{0, 4}, {5, 1}, {5, 1}})) << "an empty name counts into the id-0 bucket";
    EXPECT_EQ(m_mgr.m_vecCategory[1]->Name, L"Graphics");
}

// Type 1 by category name (exact; id 0 takes all), type 2 by name: substring matches first, then pinyin only.
TEST_F(SearchTest, ByCategoryByNameAndByPinyin) {
    const Ids id = Add({{L"Minesweeper", L"Games"}, {L"微信", L"聊天工具"}, {L"WX Tools", L"Tools"}, {L"无线助手", L"Tools"},
                        {L"Photoshop", L"Tools"}, {L"wx微信", L"聊天工具"}, {L"网易云音乐", L"Tools"}, {L"腾讯QQ", L"聊天工具"},
                        {L"重装系统", L"Tools"}, {L"Solitaire", L"Games"}});
    const struct {
        UINT type;
        const wchar_t* text;
        std::vector<int> found;  // indices into id
    } cases[] = {
        {1, L"Games", {0, 9}}, {1, L"All software", {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}}, {1, L"games", {}}, {1, L"Graphics", {}},
        {2, L"wx", {2, 5, 1, 3}}, {2, L"WX", {2, 5, 1, 3}}, {2, L"微信", {1, 5}}, {2, L"tOOLS", {2}},
        {2, L"weixin", {1, 5}}, {2, L"weix", {1, 5}}, {2, L"wxin", {1, 5}}, {2, L"WeiXin", {1, 5}},
        {2, L"wangyiyunyinyue", {6}}, {2, L"wyyyy", {6}}, {2, L"yinyue", {6}}, {2, L"TXQQ", {7}},
        {2, L"zhongzhuang", {8}}, {2, L"chongzhuang", {8}}, {2, L"weibo", {}}, {2, L"eixin", {}}, {2, L"wein", {}},
        {0, L"Games", {}}, {3, L"Games", {}}, {0x20, L"Games", {}},  // other search types find nothing
    };
    for (const auto& c : cases) {
        Ids expected;
        for (int i : c.found) expected.push_back(id[i]);
        EXPECT_EQ(Find(c.type, c.text), expected) << c.type << " " << kxtest::WideToUtf8(c.text);
    }
    EXPECT_NE(GetModuleHandleW(L"Ferro80U.DLL"), nullptr) << "the component's import brings the library in";
}

TEST_F(SearchTest, TooSmallAnArrayReportsTheNeededSizeAndBadArgumentsAreRefused) {
    Add({{L"Minesweeper", L"Games"}, {L"Mines 2", L"Games"}, {L"Minecraft", L"Games"}});
    Ids ids;
    EXPECT_EQ(Find(2, L"mine", ids, 2), DISP_E_BUFFERTOOSMALL);
    EXPECT_EQ(m_lastSize, 3u);
    EXPECT_EQ(ids, (Ids{0xCDCDCDCD, 0xCDCDCDCD})) << "nothing is copied";
    EXPECT_EQ(Find(2, L"mine", ids, 3), S_OK);

    UINT buf[4] = {}, nSize = 4, nZero = 0;
    auto text = kx::MakeBstr(L"Games"), empty = kx::MakeBstr(L"");
    EXPECT_EQ(m_mgr.Search(LIST_CATEGORY, 1, text.get(), buf, &nSize), E_INVALIDARG) << "only the soft list is searched";
    EXPECT_EQ(m_mgr.Search(LIST_SOFT, 1, text.get(), nullptr, &nSize), E_INVALIDARG);
    EXPECT_EQ(m_mgr.Search(LIST_SOFT, 1, text.get(), buf, &nZero), E_INVALIDARG);
    EXPECT_EQ(m_mgr.Search(LIST_SOFT, 1, empty.get(), buf, &nSize), E_INVALIDARG);
    EXPECT_EQ(m_mgr.Search(LIST_SOFT, 1, nullptr, buf, &nSize), E_INVALIDARG);
    EXPECT_EQ(m_mgr.Search(LIST_SOFT, 1, text.get(), buf, nullptr), E_POINTER);
    EXPECT_EQ(nSize, 4u);
}
