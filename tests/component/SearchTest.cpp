// Category counting and Search, on a real component object: notifications reach a real listener window,
// the log is the component's own file, and pinyin goes through the Ferro80U.DLL the component imports.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "CategoryItem.h"
#include "CategoryStat.h"
#include "CategoryTable.h"
#include "KxUninstMgr.h"
#include "KxUninstStartup.h"
#include "SoftItem.h"
#include "kxtest/HostLayout.h"
#include "kxtest/TempDir.h"

namespace {

constexpr UINT kTypeSoft = 0x20;
constexpr UINT kTypeCategory = 0x100;

// A section List with an all-software bucket, two categories and one more whose name is Chinese.
void LoadTestCategories() {
    kxtest::TempDir dir;
    const std::wstring path = dir / L"category.ini";
    const std::wstring text = L"\xFEFF[List]\r\n0.All software\r\n1.Games\r\n3.聊天工具\r\n5.Tools\r\n";
    kxtest::WriteFileBytes(path, std::string(reinterpret_cast<const char*>(text.data()), text.size() * 2));
    LoadCategories(path.c_str());
}

struct Message {
    WPARAM wParam;
    LPARAM lParam;
    bool operator==(const Message& o) const { return wParam == o.wParam && lParam == o.lParam; }
};

std::ostream& operator<<(std::ostream& os, const Message& m) {
    return os << "{type 0x" << std::hex << HIWORD(m.wParam) << " act 0x" << LOWORD(m.wParam) << std::dec << " id "
              << m.lParam << "}";
}

Message Cat(UINT nAct, UINT nId) { return {MAKEWPARAM(nAct, kTypeCategory), static_cast<LPARAM>(nId)}; }

// A hidden window of the test thread, registered as the host would register its own.
class ListenerWindow {
public:
    ListenerWindow() {
        m_hWnd = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    }
    ~ListenerWindow() { DestroyWindow(m_hWnd); }
    HWND Handle() const { return m_hWnd; }

    // Every WM_LISTMGR posted to the window so far, in order.
    std::vector<Message> Drain() {
        std::vector<Message> got;
        MSG msg;
        while (PeekMessageW(&msg, m_hWnd, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_LISTMGR) got.push_back({msg.wParam, msg.lParam});
            else DispatchMessageW(&msg);
        }
        return got;
    }

private:
    HWND m_hWnd;
};

class SearchTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        KxUninstStartup(nullptr);
        LoadTestCategories();
    }

    void TearDown() override {
        for (CSoftItem* p : m_mgr.m_vecSoft) delete p;
        m_mgr.m_vecSoft.clear();
        for (CCategoryItem* p : m_mgr.m_vecCategory) delete p;
        m_mgr.m_vecCategory.clear();
    }

    // Adds a program the way the list tasks do: to the list, and counted in the bucket of all software and
    // in its own category.
    UINT AddSoft(const std::wstring& name, const std::wstring& category) {
        auto* p = new CSoftItem;
        p->Id = 1000 + static_cast<UINT>(m_mgr.m_vecSoft.size());
        p->Name = name;
        p->Category = category;
        m_mgr.m_vecSoft.push_back(p);
        Count(TRUE, category);
        return p->Id;
    }

    void Count(BOOL bAdd, const std::wstring& category) {
        kx::CritSecLock lock(m_mgr.m_csList);
        SoftLists lists = m_mgr.Lists();
        StatCategory(lists, bAdd, CategoryNameById(0).c_str());
        StatCategory(lists, bAdd, category.c_str());
    }

    std::vector<std::pair<UINT, UINT>> Categories() const {
        std::vector<std::pair<UINT, UINT>> out;
        for (const CCategoryItem* p : m_mgr.m_vecCategory) out.emplace_back(p->Id, p->Count);
        return out;
    }

    // Search through the interface the host holds.
    HRESULT Find(UINT nSearchType, const std::wstring& text, std::vector<UINT>& ids, UINT capacity = 64) {
        IKxListMgr* pList = &m_mgr;
        ids.assign(capacity, 0xCDCDCDCD);
        BSTR bstr = SysAllocString(text.c_str());
        UINT nSize = capacity;
        HRESULT hr = pList->Search(kTypeSoft, nSearchType, bstr, ids.data(), &nSize);
        SysFreeString(bstr);
        if (hr == S_OK) ids.resize(nSize);
        m_lastSize = nSize;
        return hr;
    }

    std::vector<UINT> Find(UINT nSearchType, const std::wstring& text) {
        std::vector<UINT> ids;
        EXPECT_EQ(S_OK, Find(nSearchType, text, ids)) << "search for " << kxtest::WideToUtf8(text);
        return ids;
    }

    CKxUninstMgr m_mgr;
    UINT m_lastSize = 0;
};

using Ids = std::vector<UINT>;

TEST_F(SearchTest, CategoryTableFromTheIniFile) {
    EXPECT_EQ(1u, CategoryIdByName(L"Games"));
    EXPECT_EQ(5u, CategoryIdByName(L"Unknown")) << "a name not in the table takes the last id";
    EXPECT_EQ(L"All software", CategoryNameById(0));
    EXPECT_EQ(L"聊天工具", CategoryNameById(3));
}

TEST_F(SearchTest, CountsInIdOrderAndPostsNothingWhileTheListIsBuilt) {
    ListenerWindow listener;
    ASSERT_EQ(S_OK, m_mgr.AddListener(listener.Handle(), kTypeCategory));
    AddSoft(L"Minesweeper", L"Games");
    AddSoft(L"Notepad++", L"Tools");
    AddSoft(L"Solitaire", L"Games");
    EXPECT_EQ((std::vector<std::pair<UINT, UINT>>{{0, 3}, {1, 2}, {5, 1}}), Categories());
    EXPECT_EQ(L"All software", m_mgr.m_vecCategory[0]->Name);
    EXPECT_EQ(L"Games", m_mgr.m_vecCategory[1]->Name);
    EXPECT_TRUE(listener.Drain().empty());
    m_mgr.RemoveListener(listener.Handle(), kTypeCategory);
}

TEST_F(SearchTest, ReadyListPostsAddedChangedAndRemoved) {
    ListenerWindow listener;
    ASSERT_EQ(S_OK, m_mgr.AddListener(listener.Handle(), kTypeCategory));
    AddSoft(L"Minesweeper", L"Games");
    AddSoft(L"Notepad++", L"Tools");
    listener.Drain();
    m_mgr.m_bListReady = TRUE;

    Count(TRUE, L"聊天工具");
    EXPECT_EQ((std::vector<Message>{Cat(0x10, 0), Cat(0x04, 3)}), listener.Drain());
    Count(TRUE, L"Games");
    EXPECT_EQ((std::vector<Message>{Cat(0x10, 0), Cat(0x10, 1)}), listener.Drain());

    Count(FALSE, L"Tools");
    EXPECT_EQ((std::vector<Message>{Cat(0x10, 0), Cat(0x08, 5)}), listener.Drain());
    EXPECT_EQ((std::vector<std::pair<UINT, UINT>>{{0, 3}, {1, 2}, {3, 1}}), Categories());

    Count(FALSE, L"Not counted anywhere");
    EXPECT_EQ((std::vector<Message>{Cat(0x10, 0)}), listener.Drain()) << "an unknown name changes nothing";
    m_mgr.RemoveListener(listener.Handle(), kTypeCategory);
}

TEST_F(SearchTest, RemovingEveryProgramLeavesTheAllSoftwareBucketAtZero) {
    ListenerWindow listener;
    ASSERT_EQ(S_OK, m_mgr.AddListener(listener.Handle(), kTypeCategory));
    AddSoft(L"Minesweeper", L"Games");
    AddSoft(L"Notepad++", L"Tools");
    m_mgr.m_bListReady = TRUE;
    Count(FALSE, L"Games");
    Count(FALSE, L"Tools");
    EXPECT_EQ((std::vector<std::pair<UINT, UINT>>{{0, 0}}), Categories());
    EXPECT_EQ((std::vector<Message>{Cat(0x10, 0), Cat(0x08, 1), Cat(0x10, 0), Cat(0x08, 5)}), listener.Drain());
    m_mgr.RemoveListener(listener.Handle(), kTypeCategory);
}

TEST_F(SearchTest, NamesOutsideTheTableShareTheLastIdInArrivalOrder) {
    AddSoft(L"Paint", L"Graphics");
    AddSoft(L"Notepad++", L"Tools");
    AddSoft(L"Unnamed", L"");
    ASSERT_EQ((std::vector<std::pair<UINT, UINT>>{{0, 4}, {5, 1}, {5, 1}}), Categories())
        << "an empty category name counts into the id-0 bucket";
    EXPECT_EQ(L"Graphics", m_mgr.m_vecCategory[1]->Name);
    EXPECT_EQ(L"Tools", m_mgr.m_vecCategory[2]->Name);
}

TEST_F(SearchTest, ByCategory) {
    const UINT a = AddSoft(L"Minesweeper", L"Games");
    const UINT b = AddSoft(L"Notepad++", L"Tools");
    const UINT c = AddSoft(L"Solitaire", L"Games");
    EXPECT_EQ((Ids{a, c}), Find(1, L"Games"));
    EXPECT_EQ((Ids{a, b, c}), Find(1, L"All software")) << "the id-0 category takes every program";
    EXPECT_EQ((Ids{}), Find(1, L"games")) << "category names compare exactly";
    EXPECT_EQ((Ids{}), Find(1, L"Graphics"));
}

TEST_F(SearchTest, SubstringMatchesComeBeforePinyinOnlyMatches) {
    const UINT wechat = AddSoft(L"微信", L"聊天工具");
    const UINT tools = AddSoft(L"WX Tools", L"Tools");
    const UINT wireless = AddSoft(L"无线助手", L"Tools");
    AddSoft(L"Photoshop", L"Tools");
    const UINT both = AddSoft(L"wx微信", L"聊天工具");
    EXPECT_EQ((Ids{tools, both, wechat, wireless}), Find(2, L"wx"));
    EXPECT_EQ((Ids{tools, both, wechat, wireless}), Find(2, L"WX")) << "case does not matter";
    EXPECT_EQ((Ids{wechat, both}), Find(2, L"微信"));
    EXPECT_EQ((Ids{tools}), Find(2, L"tOOLS"));
}

TEST_F(SearchTest, PinyinThroughTheComponent) {
    const UINT wechat = AddSoft(L"微信", L"聊天工具");
    const UINT music = AddSoft(L"网易云音乐", L"Tools");
    const UINT qq = AddSoft(L"腾讯QQ", L"聊天工具");
    const UINT reinstall = AddSoft(L"重装系统", L"Tools");
    AddSoft(L"Microsoft Office", L"Tools");
    for (const wchar_t* input : {L"weixin", L"wx", L"weix", L"wxin", L"WeiXin"})
        EXPECT_EQ((Ids{wechat}), Find(2, input)) << kxtest::WideToUtf8(input);
    EXPECT_EQ((Ids{music}), Find(2, L"wangyiyunyinyue"));
    EXPECT_EQ((Ids{music}), Find(2, L"wyyyy"));
    EXPECT_EQ((Ids{music}), Find(2, L"yinyue")) << "from any syllable";
    EXPECT_EQ((Ids{qq}), Find(2, L"TXQQ"));
    EXPECT_EQ((Ids{reinstall}), Find(2, L"zhongzhuang"));
    EXPECT_EQ((Ids{reinstall}), Find(2, L"chongzhuang"));
    EXPECT_EQ((Ids{}), Find(2, L"weibo"));
    EXPECT_EQ((Ids{}), Find(2, L"eixin")) << "a match starts at a syllable";
    EXPECT_EQ((Ids{}), Find(2, L"wein"));
    EXPECT_NE(nullptr, GetModuleHandleW(L"Ferro80U.DLL")) << "the component's import brings the library in";
}

TEST_F(SearchTest, TooSmallAnArrayReportsTheNeededSize) {
    AddSoft(L"Minesweeper", L"Games");
    AddSoft(L"Mines 2", L"Games");
    AddSoft(L"Minecraft", L"Games");
    std::vector<UINT> ids;
    EXPECT_EQ(DISP_E_BUFFERTOOSMALL, Find(2, L"mine", ids, 2));
    EXPECT_EQ(3u, m_lastSize);
    EXPECT_EQ((Ids{0xCDCDCDCD, 0xCDCDCDCD}), ids) << "nothing is copied";
    EXPECT_EQ(S_OK, Find(2, L"mine", ids, 3));
    EXPECT_EQ(3u, ids.size());
}

TEST_F(SearchTest, OtherSearchTypesFindNothing) {
    AddSoft(L"Minesweeper", L"Games");
    std::vector<UINT> ids;
    for (UINT type : {0u, 3u, 0x20u}) {
        EXPECT_EQ(S_OK, Find(type, L"Games", ids)) << type;
        EXPECT_EQ(0u, m_lastSize) << type;
    }
}

TEST_F(SearchTest, ArgumentChecks) {
    AddSoft(L"Minesweeper", L"Games");
    UINT ids[4] = {};
    UINT nSize = 4;
    BSTR text = SysAllocString(L"Games");
    BSTR empty = SysAllocString(L"");
    EXPECT_EQ(E_INVALIDARG, m_mgr.Search(kTypeCategory, 1, text, ids, &nSize)) << "only the soft list is searched";
    EXPECT_EQ(E_INVALIDARG, m_mgr.Search(kTypeSoft, 1, text, nullptr, &nSize));
    nSize = 0;
    EXPECT_EQ(E_INVALIDARG, m_mgr.Search(kTypeSoft, 1, text, ids, &nSize));
    nSize = 4;
    EXPECT_EQ(E_INVALIDARG, m_mgr.Search(kTypeSoft, 1, empty, ids, &nSize));
    EXPECT_EQ(E_INVALIDARG, m_mgr.Search(kTypeSoft, 1, nullptr, ids, &nSize));
    EXPECT_EQ(E_POINTER, m_mgr.Search(kTypeSoft, 1, text, ids, nullptr));
    EXPECT_EQ(4u, nSize);
    SysFreeString(text);
    SysFreeString(empty);
}

// The lines Search wrote from log line `from` on, without their prefixes.
std::vector<std::wstring> SearchLogSince(size_t from) {
    const std::wstring marker = L"[F.CKxUninstMgr::Search()] ";
    std::vector<std::wstring> out;
    for (const std::wstring& line : kxtest::LogLinesContaining(marker, from))
        out.push_back(line.substr(line.find(marker) + marker.size()));
    return out;
}

TEST_F(SearchTest, LogLines) {
    const UINT a = AddSoft(L"微信", L"聊天工具");
    const UINT b = AddSoft(L"WX Tools", L"Tools");
    std::vector<UINT> ids;

    size_t from = kxtest::ComponentLogLineCount();
    ASSERT_EQ(S_OK, Find(2, L"Wx", ids, 10));
    EXPECT_EQ((std::vector<std::wstring>{L"Begin", L"查询参数 Type[32] SearchType[2] SearchString[Wx] idSize[10]",
                                         L"查询出的软件ID列表 Size[2]", L"ID[" + std::to_wstring(b) + L"]",
                                         L"ID[" + std::to_wstring(a) + L"]", L"End"}),
              SearchLogSince(from));

    from = kxtest::ComponentLogLineCount();
    ASSERT_EQ(DISP_E_BUFFERTOOSMALL, Find(2, L"Wx", ids, 1));
    EXPECT_EQ((std::vector<std::wstring>{L"Begin", L"查询参数 Type[32] SearchType[2] SearchString[Wx] idSize[1]",
                                         L"查询出的软件ID列表 Size[2]", L"ID[" + std::to_wstring(b) + L"]",
                                         L"ID[" + std::to_wstring(a) + L"]", L"End"}),
              SearchLogSince(from));

    from = kxtest::ComponentLogLineCount();
    UINT nSize = 10;
    UINT buf[10];
    EXPECT_EQ(E_INVALIDARG, m_mgr.Search(kTypeCategory, 2, nullptr, buf, &nSize));
    EXPECT_EQ((std::vector<std::wstring>{L"Begin", L"查询参数 Type[256] SearchType[2] SearchString[] idSize[10]"}),
              SearchLogSince(from))
        << "a rejected call logs nothing after its parameters";
}

}  // namespace
