// The listener registry with real windows on a host thread, and the component's message window.
#include <gtest/gtest.h>

#include "ComponentTestUtil.h"
#include "ListenerHost.h"
#include "MesWnd.h"

using kxct::Queue;
using kxhost::CListenerHost;
using Pairs = std::vector<std::pair<UINT, UINT>>;

namespace {

// The registry is protected in CKxListMgr; the tests read it through this view.
struct ListMgrView : CKxUninstMgr {
    using CKxUninstMgr::m_mapListener;
};

class Listeners : public ::testing::Test {
protected:
    // Waits until everything posted to h has arrived.
    std::vector<kxhost::ListMessage> Deliver(HWND h) {
        EXPECT_TRUE(host_.Sync(h));
        return host_.MessagesFor(h);
    }
    kxct::MgrRef mgr_;
    CListenerHost host_;
};

}  // namespace


TEST_F(Listeners, AMaskRegistersEachBitAndNotifyReachesTheWindowOnce) {
    HWND h = host_.CreateListener();
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(mgr_->AddListener(h, 0x320), S_OK);
    EXPECT_EQ(static_cast<ListMgrView*>(mgr_.get())->m_mapListener.at(h), (std::vector<UINT>{0x20, 0x100, 0x200}));
    EXPECT_EQ(mgr_->Notify(MAKEWPARAM(0x01, 0x100), 0), S_OK);
    EXPECT_EQ(mgr_->Notify(MAKEWPARAM(0x04, 0x20), 17), S_OK);
    EXPECT_EQ(mgr_->Notify(MAKEWPARAM(0x20, 0x200), 55), S_OK);
    EXPECT_EQ(mgr_->Notify(MAKEWPARAM(0x01, 0x40), 0), S_OK);  // not registered
    auto got = Deliver(h);
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0].wParam, static_cast<WPARAM>(MAKEWPARAM(0x01, 0x100)));
    EXPECT_EQ(got[0].lParam, 0);
    EXPECT_EQ(got[1].wParam, static_cast<WPARAM>(MAKEWPARAM(0x04, 0x20)));
    EXPECT_EQ(got[1].lParam, 17);
    EXPECT_EQ(got[2].Type(), 0x200u);
    EXPECT_EQ(got[2].Action(), 0x20u);
    EXPECT_EQ(got[2].lParam, 55);
}

TEST_F(Listeners, RegisteringTwiceKeepsOneRegistration) {
    HWND h = host_.CreateListener();
    mgr_->AddListener(h, 0x20);
    mgr_->AddListener(h, 0x20);
    mgr_->AddListener(h, 0x120);
    EXPECT_EQ(static_cast<ListMgrView*>(mgr_.get())->m_mapListener.at(h), (std::vector<UINT>{0x20, 0x100}));
    mgr_->Notify(MAKEWPARAM(0x08, 0x20), 3);
    EXPECT_EQ(Deliver(h).size(), 1u);
}

TEST_F(Listeners, RemovingTypesForgetsAWindowLeftWithNone) {
    HWND h = host_.CreateListener();
    auto& map = static_cast<ListMgrView*>(mgr_.get())->m_mapListener;
    mgr_->AddListener(h, 0x120);
    EXPECT_EQ(mgr_->RemoveListener(h, 0x20), S_OK);
    EXPECT_EQ(map.at(h), (std::vector<UINT>{0x100}));
    mgr_->Notify(MAKEWPARAM(0x01, 0x20), 0);
    mgr_->Notify(MAKEWPARAM(0x01, 0x100), 0);
    auto got = Deliver(h);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].Type(), 0x100u);
    EXPECT_EQ(mgr_->RemoveListener(h, 0x100), S_OK);
    EXPECT_EQ(map.count(h), 0u);
    // Removing what is not registered changes nothing.
    EXPECT_EQ(mgr_->RemoveListener(h, 0x20), S_OK);
    EXPECT_EQ(mgr_->RemoveListener(reinterpret_cast<HWND>(0x1234), 0xFFFF), S_OK);
    EXPECT_TRUE(map.empty());
}

TEST_F(Listeners, MasksOfZeroOrOnlyHighBitsChangeNothing) {
    HWND h = host_.CreateListener();
    auto& map = static_cast<ListMgrView*>(mgr_.get())->m_mapListener;
    mgr_->AddListener(h, 0);
    mgr_->AddListener(h, 0x10000);
    mgr_->AddListener(h, 0xFFFF0000);
    EXPECT_TRUE(map.empty());
    mgr_->AddListener(h, 0x18000);
    EXPECT_EQ(map.at(h), (std::vector<UINT>{0x8000}));
    mgr_->RemoveListener(h, 0xFFFF0000);
    EXPECT_EQ(map.at(h), (std::vector<UINT>{0x8000}));
}

TEST_F(Listeners, ATypeWithoutWindowsPostsNothing) {
    HWND h = host_.CreateListener();
    mgr_->AddListener(h, 0x20);
    EXPECT_EQ(mgr_->Notify(MAKEWPARAM(0x01, 0x200), 0), S_OK);
    EXPECT_EQ(mgr_->NotifyByType(0x100, MAKEWPARAM(0x01, 0x100), 0), S_OK);
    EXPECT_TRUE(Deliver(h).empty());
}

TEST_F(Listeners, NotifyByTypePassesWParamUntouchedToEveryWindowOfTheType) {
    HWND a = host_.CreateListener();
    HWND b = host_.CreateListener();
    HWND c = host_.CreateListener();
    mgr_->AddListener(a, 0x20);
    mgr_->AddListener(b, 0x220);
    mgr_->AddListener(c, 0x100);
    EXPECT_EQ(mgr_->NotifyByType(0x20, MAKEWPARAM(0x04, 0x999), 8), S_OK);
    for (HWND h : {a, b}) {
        auto got = Deliver(h);
        ASSERT_EQ(got.size(), 1u);
        EXPECT_EQ(got[0].wParam, static_cast<WPARAM>(MAKEWPARAM(0x04, 0x999)));
        EXPECT_EQ(got[0].lParam, 8);
    }
    EXPECT_TRUE(Deliver(c).empty());
    // A destroyed window is not noticed; posting to it is simply lost.
    host_.DestroyListener(a);
    EXPECT_EQ(mgr_->Notify(MAKEWPARAM(0x01, 0x20), 0), S_OK);
    EXPECT_EQ(Deliver(b).size(), 2u);
}

// ---- the component's message window ------------------------------------------------------------------------

namespace {

class MessageWindow : public ::testing::Test {
protected:
    void SetUp() override {
        recorder_.HoldAt(TASK_INIT);  // nothing leaves the queue while a test looks at it
        ASSERT_EQ(mgr_->Init(), S_OK);
        ASSERT_TRUE(recorder_.WaitUntilHeld());
        ASSERT_TRUE(mgr_->m_pMesWnd);
        hWnd_ = mgr_->m_pMesWnd->m_hWnd;
    }
    void TearDown() override {
        recorder_.Release();
        mgr_->Uninit();
    }
    // Posts like the data component does and lets this thread's message loop (the host's) handle it.
    Pairs PostAndQueue(UINT nType, UINT nAct) {
        const size_t mark = kxct::LogMark();
        EXPECT_TRUE(PostMessageW(hWnd_, WM_LISTMGR, MAKEWPARAM(nAct, nType), 0));
        wchar_t szExpected[64];
        swprintf(szExpected, 64, L"WM_LISTMGR, type=%x, act=%x", nType, nAct);
        EXPECT_TRUE(kxhost::PumpUntil(
            [&] { return kxct::LogMessages(mark, L"CKxUninstMgr::GetData").size() == 1; }, 5000));
        EXPECT_EQ(kxct::LogMessages(mark, L"CKxUninstMgr::GetData"), (std::vector<std::wstring>{szExpected}));
        Pairs queue = Queue(mgr_.get());
        // Empty the queue for the next case.
        for (UINT t = 0, p = 0; t != TASK_EMPTY;) mgr_->TaskPop(t, p);
        return queue;
    }
    kxct::TaskRecorder recorder_;
    kxct::MgrRef mgr_;
    HWND hWnd_ = nullptr;
};

}  // namespace

TEST_F(MessageWindow, IsAHiddenTopLevelWindowOfTheInitThread) {
    ASSERT_TRUE(IsWindow(hWnd_));
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongW(hWnd_, GWL_STYLE)), 0x06C80000u);
    EXPECT_EQ(GetWindowLongW(hWnd_, GWL_EXSTYLE) & ~WS_EX_WINDOWEDGE, 0);
    EXPECT_FALSE(IsWindowVisible(hWnd_));
    EXPECT_EQ(GetParent(hWnd_), nullptr);
    EXPECT_EQ(GetMenu(hWnd_), nullptr);
    EXPECT_EQ(GetWindowTextLengthW(hWnd_), 0);
    EXPECT_EQ(GetWindowThreadProcessId(hWnd_, nullptr), GetCurrentThreadId());
    EXPECT_EQ(GetClassLongW(hWnd_, GCL_STYLE), static_cast<DWORD>(CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS));
    EXPECT_EQ(GetClassLongPtrW(hWnd_, GCLP_HBRBACKGROUND), static_cast<ULONG_PTR>(COLOR_WINDOW + 1));
}

TEST_F(MessageWindow, RuleChangeQueuesClearThenFetchOnly) {
    EXPECT_EQ(PostAndQueue(4, 0x11), (Pairs{{3, 0}, {4, 0}}));
    EXPECT_EQ(PostAndQueue(4, 0x10), (Pairs{{3, 0}, {4, 0}}));
}

TEST_F(MessageWindow, RulesLoadedQueuesFetchThenBuild) {
    EXPECT_EQ(PostAndQueue(4, 0x01), (Pairs{{4, 0}, {6, 0}}));
}

TEST_F(MessageWindow, OtherRuleActionsQueueAFetch) {
    EXPECT_EQ(PostAndQueue(4, 0x04), (Pairs{{4, 0}}));
    EXPECT_EQ(PostAndQueue(4, 0x00), (Pairs{{4, 0}}));
}

TEST_F(MessageWindow, OtherTypesAreLoggedAndIgnored) {
    EXPECT_TRUE(PostAndQueue(1, 0x01).empty());
    EXPECT_TRUE(PostAndQueue(8, 0x40).empty());
    EXPECT_TRUE(PostAndQueue(0x20, 0x10).empty());
}

TEST_F(MessageWindow, IsDestroyedByUninit) {
    recorder_.Release();
    ASSERT_EQ(mgr_->Uninit(), S_OK);
    EXPECT_FALSE(IsWindow(hWnd_));
    EXPECT_FALSE(mgr_->m_pMesWnd);
}
