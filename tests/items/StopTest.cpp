// A stop request reaches the worker's long loops through the object's flag as well as through its event:
// the flag alone, set as Uninit sets it, ends a pass before the next record.
#include <gtest/gtest.h>

#include "KxUninstStartup.h"
#include "ListTestSupport.h"
#include "Signal.h"
#include "kxtest/FakeDataMgr.h"
#include "kxtest/HostLayout.h"
#include "kxtest/Log.h"
#include "kxtest/RegistryOverride.h"

namespace {

const wchar_t kUninstall[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

TEST(StopSignalTest, FlagOrEventBeforeTheLoop) {
    struct Case {
        const char* name;
        bool eventBefore, flagLater, eventLater;
        bool mirrored, polling;  // what each kind of signal reports after the later changes
    } cases[] = {
        {"nothing", false, false, false, false, false},
        {"event set before the loop", true, false, false, true, true},
        {"flag then event, as Uninit does", false, true, true, true, true},
        {"flag alone", false, true, false, true, false},
    };
    for (const auto& c : cases) {
        kx::unique_handle event(CreateEventW(nullptr, TRUE, c.eventBefore, nullptr));
        std::atomic<bool> flag{false};
        const kx::CStopSignal mirrored(event.get(), &flag), polling(event.get());
        if (c.flagLater) flag = true;
        if (c.eventLater) SetEvent(event.get());
        EXPECT_EQ(mirrored.IsSet(), c.mirrored) << c.name;
        EXPECT_EQ(polling.IsSet(), c.polling) << c.name;
    }
    EXPECT_FALSE(kx::CStopSignal(nullptr).IsSet());
}

// Stops the object the way Uninit does while the first new item asks for its id.
class StoppingDataMgr : public kxtest::FakeDataMgr {
public:
    explicit StoppingDataMgr(CKxUninstMgr& mgr) : m_mgr(mgr) {}
    HRESULT STDMETHODCALLTYPE GetSoftId(BSTR bstrSoftId, UINT* pnSoftId) override {
        if (++calls == 1) {
            m_mgr.m_bStop = true;
            SetEvent(m_mgr.m_hStopEvent.get());
        }
        return FakeDataMgr::GetSoftId(bstrSoftId, pnSoftId);
    }
    int calls = 0;

private:
    CKxUninstMgr& m_mgr;
};

TEST(StopFlagTest, UninitDuringTheListPassEndsItBeforeTheNextRecord) {
    KxUninstStartup(nullptr);
    kxtest::RegistryOverride registry;
    for (int i = 0; i < 3; ++i)
        kxtest::SetString(HKEY_LOCAL_MACHINE, kUninstall + std::wstring(L"app") + std::to_wstring(i), L"DisplayName",
                          L"App " + std::to_wstring(i));
    listtest::RecordingMgr mgr;
    mgr.m_vecRule = {listtest::MakeRule(L"nothing alike")};
    StoppingDataMgr data(mgr);
    mgr.m_pDataMgr.reset(&data);
    mgr.m_hStopEvent.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));

    kxtest::LogMark log;
    mgr.TaskCreateUnList();
    const std::vector<std::wstring> lines = log.Lines(L"");

    EXPECT_EQ(data.calls, 1);
    EXPECT_EQ(mgr.m_vecSoft.size(), 1u) << "the item being made when the stop came stays";
    ASSERT_GE(lines.size(), 2u);
    EXPECT_NE(lines[lines.size() - 2].find(L"[F.CKxUninstMgr::TaskCreateUnList()] !!iErr code:[15]"), std::wstring::npos);
    EXPECT_FALSE(mgr.m_bListReady);
    EXPECT_TRUE(mgr.notes.empty());
    (void)mgr.m_pDataMgr.detach();
    mgr.m_hStopEvent.reset();
}

}  // namespace
