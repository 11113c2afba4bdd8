// The host's read methods of the lists: result codes in their check order, the exact bytes copied and nothing
// beyond them, the log line of each error, and the list locks free after it.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "CategoryItem.h"
#include "ItemBytes.h"
#include "KxUninstMgr.h"
#include "KxUninstStartup.h"
#include "ListFind.h"
#include "PowerSweepItem.h"
#include "SoftItem.h"
#include "kxtest/FakeDataMgr.h"
#include "kxtest/HostLayout.h"
#include "kxtest/Log.h"

using namespace itemtest;

namespace {

// A record whose serialization fails, to reach code 4.
class UnwritableSoftItem : public CSoftItem {
public:
    int Serialize(CSerializer&) override { return 0; }
};

template <class T>
T* Item(UINT id, const wchar_t* text) {
    auto* p = new T();
    p->Id = id;
    if constexpr (std::is_same_v<T, CPowerSweepItem>) p->Path = text, p->Kind = 2, p->Level = 1;
    else p->Name = text;
    return p;
}

const UINT kOther = 0x40;
enum Method { kByIndex, kById, kSize };
const char* const kNames[] = {"CKxUninstMgr::GetItemByIndex", "CKxUninstMgr::GetItemById", "CKxUninstMgr::GetSize"};

class ListStore : public ::testing::Test {
protected:
    static void SetUpTestSuite() { KxUninstStartup(nullptr); }
    void SetUp() override { m->AddRef(); }
    void TearDown() override {
        (void)m->m_pDataMgr.detach();
        m->Release();
    }
    // One call; on failure its "!!Exception code" line, and both list locks free for another thread.
    HRESULT Call(Method method, UINT type, UINT arg, bool bBuffer, UINT size) {
        memset(buffer, 0xCC, sizeof buffer);
        kxtest::LogMark log;
        UINT n = 0xEEEE;
        HRESULT hr = method == kSize ? m->GetSize(type, bBuffer ? &n : nullptr)
                   : method == kById ? m->GetItemById(type, arg, bBuffer ? buffer : nullptr, size)
                                     : m->GetItemByIndex(type, arg, bBuffer ? buffer : nullptr, size);
        if (method == kSize && hr == S_OK) memcpy(buffer, &n, 4);
        if (hr == S_OK) return hr;
        EXPECT_EQ(n, 0xEEEEu) << "a failed GetSize leaves the size alone";
        auto lines = log.Lines(L"!!Exception code:");
        EXPECT_EQ(lines.size(), 1u);
        if (!lines.empty()) {
            EXPECT_TRUE(kxtest::EndsWith(lines[0], L"[F." + kxtest::Utf8ToWide(kNames[method]) +
                                                       L"()] !!Exception code:[" + std::to_wstring(hr) + L"]"));
        }
        for (CRITICAL_SECTION* cs : {&m->m_csList.get(), &m->m_csSweep.get()}) {
            std::atomic<bool> taken{false};
            std::thread([&] {
                if (TryEnterCriticalSection(cs)) taken = true, LeaveCriticalSection(cs);
            }).join();
            EXPECT_TRUE(taken);
        }
        return hr;
    }
    Bytes Out(size_t n) const { return Bytes(buffer, buffer + n); }
    bool UntouchedFrom(size_t from) const {
        for (size_t i = from; i < sizeof buffer; ++i)
            if (buffer[i] != 0xCC) return false;
        return true;
    }

    CKxUninstMgr* m = new CKxUninstMgr();
    kxtest::FakeDataMgr data;
    BYTE buffer[512];
};

}  // namespace

TEST_F(ListStore, ResultCodesInCheckOrderAndExactBytes) {
    m->m_vecSoft = {Item<CSoftItem>(7, L"seven"), new CSoftItem(), Item<CSoftItem>(8, L"eight"),
                    Item<CSoftItem>(8, L"late"), Item<UnwritableSoftItem>(4, L"")};
    m->m_vecCategory = {Item<CCategoryItem>(0x01020304, L"\u5176\u4ED6"), Item<CCategoryItem>(2, L"x")};
    m->m_vecSweep = {Item<CPowerSweepItem>(0, L"root"), Item<CPowerSweepItem>(5, L"C:\\a")};
    m->m_vecCategory[0]->Count = 7;
    const Bytes def = Serialized(*m->m_vecSoft[1]), eight = Serialized(*m->m_vecSoft[2]);
    ASSERT_EQ(def.size(), 133u);
    const Bytes cat = ParseGolden("04030201|04000000:7651D64E|07000000").bytes;
    const Bytes cat2 = ParseGolden("02000000|02000000:7800|00000000").bytes;
    const Bytes sweep = ParseGolden("02000000|05000000|01000000|08000000:43003A005C006100").bytes;
    const Bytes five = {5, 0, 0, 0}, two = {2, 0, 0, 0};
    const struct {
        const char* label;
        bool data;  // a data component is there
        Method method;
        UINT type, arg;  // arg: the index or the id
        bool buffer;
        UINT size;
        HRESULT code;
        Bytes bytes;  // what a success copied (GetSize: the size)
    } rows[] = {
        {"a null buffer comes first, whatever the type and index", false, kByIndex, kOther, 99, false, 0, 11, {}},
        {"", false, kById, kOther, 1, false, 512, 11, {}},
        {"", false, kSize, kOther, 0, false, 0, 11, {}},
        {"the type before the index", false, kByIndex, kOther, 0, true, 512, 5, {}},
        {"", false, kByIndex, kOther, 99, true, 0, 5, {}},
        {"", false, kSize, kOther, 0, true, 0, 5, {}},
        {"no data component before the type and the lookup", false, kById, kOther, 1, true, 512, 101, {}},
        {"", false, kById, LIST_SOFT, 7, true, 512, 101, {}},
        {"", true, kById, kOther, 7, true, 512, 5, {}},
        {"the index before the size", true, kByIndex, LIST_SOFT, 5, true, 0, 12, {}},
        {"", true, kByIndex, LIST_SOFT, 0xFFFFFFFF, true, 512, 12, {}},
        {"", true, kByIndex, LIST_CATEGORY, 2, true, 512, 12, {}},
        {"", true, kByIndex, LIST_SWEEP, 2, true, 512, 12, {}},
        {"the id before the size", true, kById, LIST_SOFT, 2, true, 0, 201, {}},
        {"", true, kById, LIST_CATEGORY, 9, true, 512, 202, {}},
        {"", true, kById, LIST_SWEEP, 9, true, 512, 202, {}},
        {"one byte short", true, kByIndex, LIST_SOFT, 1, true, 132, 3, {}},
        {"", true, kByIndex, LIST_CATEGORY, 0, true, 15, 3, {}},
        {"", true, kById, LIST_SWEEP, 5, true, 23, 3, {}},
        {"a record that cannot be serialized", true, kByIndex, LIST_SOFT, 4, true, 512, 4, {}},
        {"", true, kById, LIST_SOFT, 4, true, 512, 4, {}},
        {"exactly the size", true, kByIndex, LIST_SOFT, 1, true, 133, S_OK, def},
        {"", true, kByIndex, LIST_CATEGORY, 0, true, 16, S_OK, cat},
        {"", true, kById, LIST_CATEGORY, 2, true, 14, S_OK, cat2},
        {"a larger buffer gets only the record", true, kByIndex, LIST_SWEEP, 1, true, 512, S_OK, sweep},
        {"the first record with the id", true, kById, LIST_SOFT, 8, true, 512, S_OK, eight},
        {"", true, kById, LIST_SWEEP, 5, true, 24, S_OK, sweep},
        {"sizes", false, kSize, LIST_SOFT, 0, true, 0, S_OK, five},
        {"", false, kSize, LIST_CATEGORY, 0, true, 0, S_OK, two},
        {"", false, kSize, LIST_SWEEP, 0, true, 0, S_OK, two},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(std::string(r.label) + " " + kNames[r.method] + " type " + std::to_string(r.type) + " arg " +
                     std::to_string(r.arg));
        if (r.data != !!m->m_pDataMgr) r.data ? m->m_pDataMgr.reset(&data) : (void)m->m_pDataMgr.detach();
        EXPECT_EQ(Call(r.method, r.type, r.arg, r.buffer, r.size), r.code);
        EXPECT_EQ(Hex(Out(r.bytes.size())), Hex(r.bytes));
        EXPECT_TRUE(UntouchedFrom(r.bytes.size()));
    }
    EXPECT_EQ(data.refs, 1u) << "the list store takes no reference of the data component";
}

TEST_F(ListStore, EmptyLists) {
    m->m_pDataMgr.reset(&data);
    for (UINT type : {LIST_SOFT, LIST_CATEGORY, LIST_SWEEP}) {
        EXPECT_EQ(Call(kSize, type, 0, true, 0), S_OK);
        EXPECT_EQ(Hex(Out(4)), "00000000");
        EXPECT_EQ(Call(kByIndex, type, 0, true, 512), 12);
        EXPECT_EQ(Call(kById, type, 0, true, 512), type == LIST_SOFT ? 201 : 202);
    }
}

TEST(ListFind, KeyExactlyElseTheFirstWithTheNumber) {
    std::vector<CSoftItem*> soft = {Item<CSoftItem>(1, L"a"), Item<CSoftItem>(2, L"b"), Item<CSoftItem>(3, L"c"),
                                    Item<CSoftItem>(2, L"d")};
    soft[0]->Key = L"HKEY_LOCAL_MACHINE\\X", soft[2]->Key = L"HKEY_LOCAL_MACHINE\\x", soft[3]->Key = L"k";
    const struct {
        const wchar_t* key;
        UINT id;
        int found;  // index, -1 for none
    } cases[] = {{L"HKEY_LOCAL_MACHINE\\x", 1, 2}, {L"HKEY_LOCAL_MACHINE\\X", 99, 0}, {L"hkey_local_machine\\x", 1, -1},
                 {L"HKEY_LOCAL_MACHINE", 1, -1}, {L"", 2, 1}, {L"", 5, -1}};
    for (const auto& c : cases) EXPECT_EQ(FindSoft(soft, c.key, c.id), c.found < 0 ? nullptr : soft[c.found]) << c.key;
    EXPECT_EQ(FindSoft({}, L"", 0), nullptr);
    std::vector<CCategoryItem*> cats = {Item<CCategoryItem>(1, L"\u5176\u4ED6"), Item<CCategoryItem>(2, L"Tools")};
    EXPECT_EQ(FindCategory(cats, L"\u5176\u4ED6", 0), cats[0]);
    EXPECT_EQ(FindCategory(cats, L"tools", 2), nullptr);
    EXPECT_EQ(FindCategory(cats, L"", 2), cats[1]);
    for (auto* p : soft) delete p;
    for (auto* p : cats) delete p;
}

// A host call waits while the worker holds the list lock; a call on the sweep list does not need it.
TEST_F(ListStore, HostCallsWaitForTheListLockOnly) {
    m->m_vecSweep.push_back(Item<CPowerSweepItem>(1, L"f"));
    kx::unique_handle held(CreateEventW(nullptr, TRUE, FALSE, nullptr)), sweepDone(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    std::atomic<bool> released{false}, sweepBeforeRelease{false};
    std::thread worker([&] {
        kx::CritSecLock lock(m->m_csList);
        SetEvent(held.get());
        sweepBeforeRelease = WaitForSingleObject(sweepDone.get(), 5000) == WAIT_OBJECT_0;
        Sleep(50);
        released = true;
    });
    WaitForSingleObject(held.get(), INFINITE);
    UINT n = 0;
    EXPECT_EQ(m->GetSize(LIST_SWEEP, &n), S_OK);
    EXPECT_EQ(m->GetItemByIndex(LIST_SWEEP, 0, buffer, sizeof buffer), S_OK);
    SetEvent(sweepDone.get());
    EXPECT_EQ(m->GetSize(LIST_SOFT, &n), S_OK);
    EXPECT_TRUE(released.load());
    worker.join();
    EXPECT_TRUE(sweepBeforeRelease.load());
}
