// Component objects side by side in one process, and a new object after an old one's worker was terminated
// while it held the old object's own list lock. The real data component serves the rules, the registry is the
// test's own.
#include <windows.h>

#include <gtest/gtest.h>

#include "ComponentTestUtil.h"
#include "KxUninstMgr.h"
#include "kxtest/DataDll.h"
#include "kxtest/Log.h"
#include "kxtest/Pump.h"
#include "kxtest/RegistryOverride.h"

namespace {

const WPARAM kSoftListReady = MAKEWPARAM(ACT_LIST_READY, LIST_SOFT);

class Lifetime : public ::testing::Test {
protected:
    void SetUp() override {
        kxtest::WriteRules(kxtest::RulesText(3));
        kxtest::SetString(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\app",
                          L"DisplayName", L"Program 1");
    }
    void TearDown() override { DeleteFileW(kxtest::RulesPath().c_str()); }

    // Init, the soft list ready (heard by listener), its one item.
    static void StartAndList(CKxUninstMgr* p, kxtest::ListenerWindow& listener) {
        ASSERT_EQ(p->AddListener(listener.Handle(), LIST_SOFT), S_OK);
        ASSERT_EQ(p->Init(), S_OK);
        ASSERT_TRUE(listener.WaitFor(kSoftListReady, 20000));
        ExpectOneItem(p);
    }
    static void ExpectOneItem(CKxUninstMgr* p) {
        UINT n = 0;
        EXPECT_EQ(p->GetSize(LIST_SOFT, &n), S_OK);
        EXPECT_EQ(n, 1u);
    }
    kxtest::RegistryOverride registry;
};

// Releases on a thread of its own: false when the release did not return within the time (the thread is then
// left blocked).
bool ReleaseWithin(kxct::MgrRef* pRef, DWORD dwMs) {
    kx::unique_handle thread(CreateThread(nullptr, 0, [](void* p) -> DWORD {
        delete static_cast<kxct::MgrRef*>(p);
        return 0;
    }, pRef, 0, nullptr));
    return WaitForSingleObject(thread.get(), dwMs) == WAIT_OBJECT_0;
}

}  // namespace

TEST_F(Lifetime, TwoObjectsInOneProcessAndOneGoesFirst) {
    auto* a = new kxct::MgrRef;
    kxct::MgrRef b;
    kxtest::ListenerWindow heardA, heardB;
    StartAndList(a->get(), heardA);
    StartAndList(b.get(), heardB);
    ASSERT_EQ((*a)->Uninit(), S_OK);
    ASSERT_TRUE(ReleaseWithin(a, 5000));

    // The other one still builds its list, and its message window still hears the data component.
    heardB.Drain();
    kxtest::LogMark log;
    ASSERT_EQ(b->Refresh(), S_OK);
    ASSERT_TRUE(heardB.WaitFor(kSoftListReady, 20000));
    ExpectOneItem(b.get());
    kxtest::WriteRules(kxtest::RulesText(4));
    EXPECT_TRUE(kxtest::PumpUntil([&] { return log.Has(L"step.3 卸载规则更新完成, size=4"); }, 10000));
    ASSERT_EQ(b->Uninit(), S_OK);
}

TEST_F(Lifetime, NewObjectAfterAWorkerTerminatedHoldingItsObjectsListLock) {
    kxct::TaskRecorder recorder;
    auto* old = new kxct::MgrRef;
    kxtest::ListenerWindow heardOld;
    StartAndList(old->get(), heardOld);
    recorder.HoldAt(TASK_CLEAR_RULES, /*bForever=*/true, /*bTakeListLock=*/true);
    (*old)->TaskPush(TASK_CLEAR_RULES, 0);
    ASSERT_TRUE(recorder.WaitUntilHeld());
    const DWORD dwStart = GetTickCount();
    ASSERT_EQ((*old)->Uninit(), S_OK);
    EXPECT_GE(GetTickCount() - dwStart, 1950u) << "terminated, not ended";
    recorder.HoldAt(0xFFFFFFFF);

    {
        kxct::MgrRef fresh;
        kxtest::ListenerWindow heard;
        StartAndList(fresh.get(), heard);
        ASSERT_EQ(fresh->Uninit(), S_OK);
    }
    EXPECT_TRUE(ReleaseWithin(old, 5000)) << "the old object's release hangs";
}
