// The listener registry seen through the windows that hear it, and the component's message window.
#include <gtest/gtest.h>

#include <memory>

#include "ComponentTestUtil.h"
#include "MesWnd.h"
#include "kxtest/Log.h"
#include "kxtest/Pump.h"

using kxct::Pairs;
using kxtest::Notes;

TEST(Listeners, EachBitOfAMaskIsATypeAndEachTypeIsHeardOnce) {
    // Steps: 'A'dd or 'R'emove window w for mask, 'N'otify(wParam, lParam), notify 'T'ype mask with wParam,
    // 'D'estroy window w. Then what each of the three windows heard.
    const struct {
        const char* label;
        std::vector<std::tuple<char, int, UINT, WPARAM, LPARAM>> steps;
        std::vector<Notes> heard;
    } cases[] = {
        {"a mask registers each bit",
         {{'A', 0, 0x320, 0, 0}, {'N', 0, 0, MAKEWPARAM(1, 0x100), 0}, {'N', 0, 0, MAKEWPARAM(4, 0x20), 17},
          {'N', 0, 0, MAKEWPARAM(0x20, 0x200), 55}, {'N', 0, 0, MAKEWPARAM(1, 0x40), 0}},
         {{{MAKEWPARAM(1, 0x100), 0}, {MAKEWPARAM(4, 0x20), 17}, {MAKEWPARAM(0x20, 0x200), 55}}, {}, {}}},
        {"registering twice keeps one registration",
         {{'A', 0, 0x20, 0, 0}, {'A', 0, 0x20, 0, 0}, {'A', 0, 0x120, 0, 0}, {'N', 0, 0, MAKEWPARAM(8, 0x20), 3}},
         {{{MAKEWPARAM(8, 0x20), 3}}, {}, {}}},
        {"removing types; what is not registered changes nothing",
         {{'A', 0, 0x120, 0, 0}, {'R', 0, 0x20, 0, 0}, {'N', 0, 0, MAKEWPARAM(1, 0x20), 0},
          {'N', 0, 0, MAKEWPARAM(1, 0x100), 0}, {'R', 0, 0x100, 0, 0}, {'R', 0, 0x100, 0, 0}, {'R', 1, 0xFFFF, 0, 0},
          {'N', 0, 0, MAKEWPARAM(1, 0x100), 0}},
         {{{MAKEWPARAM(1, 0x100), 0}}, {}, {}}},
        {"bits above the low 16 are ignored",
         {{'A', 0, 0, 0, 0}, {'A', 0, 0xFFFF0000, 0, 0}, {'T', 0, 0x10000, 1, 0}, {'A', 0, 0x18000, 0, 0},
          {'R', 0, 0xFFFF0000, 0, 0}, {'N', 0, 0, MAKEWPARAM(1, 0x8000), 0}},
         {{{MAKEWPARAM(1, 0x8000), 0}}, {}, {}}},
        {"by type: wParam untouched, to every window of the type",
         {{'A', 0, 0x20, 0, 0}, {'A', 1, 0x220, 0, 0}, {'A', 2, 0x100, 0, 0}, {'T', 0, 0x20, MAKEWPARAM(4, 0x999), 8},
          {'N', 0, 0, MAKEWPARAM(1, 0x200), 0}},
         {{{MAKEWPARAM(4, 0x999), 8}}, {{MAKEWPARAM(4, 0x999), 8}, {MAKEWPARAM(1, 0x200), 0}}, {}}},
        {"a destroyed window is not noticed: what is posted to it is lost",
         {{'A', 0, 0x20, 0, 0}, {'A', 1, 0x20, 0, 0}, {'D', 0, 0, 0, 0}, {'N', 0, 0, MAKEWPARAM(1, 0x20), 0}},
         {{}, {{MAKEWPARAM(1, 0x20), 0}}, {}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        kxct::MgrRef mgr;
        std::unique_ptr<kxtest::ListenerWindow> windows[3];
        HWND handles[3];
        for (int i = 0; i < 3; ++i) handles[i] = (windows[i] = std::make_unique<kxtest::ListenerWindow>())->Handle();
        for (const auto& [op, w, mask, wParam, lParam] : c.steps) {
            HRESULT hr = op == 'A' ? mgr->AddListener(handles[w], mask)
                       : op == 'R' ? mgr->RemoveListener(handles[w], mask)
                       : op == 'N' ? mgr->Notify(wParam, lParam)
                       : op == 'T' ? mgr->NotifyByType(mask, wParam, lParam)
                                   : (windows[w].reset(), S_OK);
            EXPECT_EQ(hr, S_OK) << op;
        }
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(windows[i] ? windows[i]->Drain() : Notes(), c.heard[i]) << "window " << i;
    }
}

namespace {

class MessageWindow : public ::testing::Test {
protected:
    void SetUp() override {
        recorder_.HoldAt(TASK_INIT);  // nothing leaves the queue while a test looks at it
        ASSERT_EQ(mgr_->Init(), S_OK);
        ASSERT_TRUE(recorder_.WaitUntilHeld());
        hWnd_ = mgr_->m_pMesWnd->m_hWnd;
    }
    void TearDown() override {
        recorder_.Release();
        mgr_->Uninit();
    }
    kxct::TaskRecorder recorder_;
    kxct::MgrRef mgr_;
    HWND hWnd_ = nullptr;
};

}  // namespace

// A notification of the data component, posted and handled by this thread's (the host's) message loop: its
// log line, then the tasks it queues.
TEST_F(MessageWindow, RuleNotificationsQueueTheirTasks) {
    const struct {
        UINT type, act;
        Pairs queued;
    } cases[] = {
        {4, 0x11, {{3, 0}, {4, 0}}}, {4, 0x10, {{3, 0}, {4, 0}}},  // changed: clear, then fetch
        {4, 0x01, {{4, 0}, {6, 0}}},                               // loaded: fetch, then build
        {4, 0x04, {{4, 0}}}, {4, 0x00, {{4, 0}}},                  // anything else: fetch
        {1, 0x01, {}}, {8, 0x40, {}}, {0x20, 0x10, {}},           // other types: logged only
    };
    for (const auto& c : cases) {
        kxtest::LogMark log;
        EXPECT_TRUE(PostMessageW(hWnd_, WM_LISTMGR, MAKEWPARAM(c.act, c.type), 0));
        ASSERT_TRUE(kxtest::PumpUntil([&] { return !log.Messages(L"CKxUninstMgr::GetData").empty(); }, 5000));
        wchar_t szExpected[64];
        swprintf(szExpected, 64, L"WM_LISTMGR, type=%x, act=%x", c.type, c.act);
        EXPECT_EQ(log.Messages(L"CKxUninstMgr::GetData"), std::vector<std::wstring>{szExpected});
        EXPECT_EQ(kxct::Queue(mgr_.get()), c.queued) << c.type << " " << c.act;
        for (UINT t = 0, p = 0; t != TASK_EMPTY;) mgr_->TaskPop(t, p);
    }
}

TEST_F(MessageWindow, IsAHiddenTopLevelWindowOfTheInitThreadDestroyedByUninit) {
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongW(hWnd_, GWL_STYLE)), 0x06C80000u);
    EXPECT_EQ(GetWindowLongW(hWnd_, GWL_EXSTYLE) & ~WS_EX_WINDOWEDGE, 0);
    EXPECT_FALSE(IsWindowVisible(hWnd_));
    EXPECT_EQ(GetParent(hWnd_), nullptr);
    EXPECT_EQ(GetMenu(hWnd_), nullptr);
    EXPECT_EQ(GetWindowTextLengthW(hWnd_), 0);
    EXPECT_EQ(GetWindowThreadProcessId(hWnd_, nullptr), GetCurrentThreadId());
    EXPECT_EQ(GetClassLongW(hWnd_, GCL_STYLE), static_cast<DWORD>(CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS));
    EXPECT_EQ(GetClassLongPtrW(hWnd_, GCLP_HBRBACKGROUND), static_cast<ULONG_PTR>(COLOR_WINDOW + 1));
    recorder_.Release();
    ASSERT_EQ(mgr_->Uninit(), S_OK);
    EXPECT_FALSE(IsWindow(hWnd_));
}
