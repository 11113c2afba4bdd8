// The host's read methods of the lists: result codes in their check order, the exact bytes copied, the log
// line of each error and the locks left free after it.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "CategoryItem.h"
#include "ItemBytes.h"
#include "KxUninstMgr.h"
#include "ListFind.h"
#include "KxUninstStartup.h"
#include "PowerSweepItem.h"
#include "SoftItem.h"
#include "kxtest/HostLayout.h"

using namespace itemtest;

namespace {

// A data component that is only ever present: the list store only looks at whether there is one.
class PresentDataMgr : public IKxDataMgr {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** ppv) override {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_cRef; }
    ULONG STDMETHODCALLTYPE Release() override { return --m_cRef; }
    HRESULT STDMETHODCALLTYPE Init() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Uninit() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE LoadData(UINT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ReloadData(UINT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetSoftId(BSTR, UINT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetSoftKey(UINT, BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetSoftState(UINT, KX_SOFT_STATE*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetSoftState(UINT, UINT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetDataVersion(UINT, UINT*) override { return E_NOTIMPL; }
    ULONG m_cRef = 1;
};

// A record whose serialization fails, to reach code 4.
class UnwritableSoftItem : public CSoftItem {
public:
    int Serialize(CSerializer&) override { return 0; }
};

CSoftItem* Soft(UINT id, const wchar_t* name, const wchar_t* key) {
    auto* p = new CSoftItem();
    p->Id = id;
    p->Name = name;
    p->Key = key;
    return p;
}

CCategoryItem* Category(UINT id, const wchar_t* name, UINT count) {
    auto* p = new CCategoryItem();
    p->Id = id;
    p->Name = name;
    p->Count = count;
    return p;
}

CPowerSweepItem* Sweep(UINT id, UINT kind, UINT level, const wchar_t* path) {
    auto* p = new CPowerSweepItem();
    p->Id = id;
    p->Kind = kind;
    p->Level = level;
    p->Path = path;
    return p;
}

template <class T>
void Free(std::vector<T*>& list) {
    for (T* p : list) delete p;
    list.clear();
}

const UINT kOther = 0x40;

class ListStore : public ::testing::Test {
protected:
    static void SetUpTestSuite() { KxUninstStartup(nullptr); }

    void SetUp() override {
        m = new CKxUninstMgr();
        m->AddRef();
        memset(buffer, 0xCC, sizeof buffer);
    }
    void TearDown() override {
        Free(m->m_vecSoft);
        Free(m->m_vecCategory);
        Free(m->m_vecSweep);
        (void)m->m_pDataMgr.detach();
        m->Release();
    }

    // Runs one call that must fail with `code`: one "!!Exception code" line under the method's name, and
    // both list locks free afterwards for this thread and for another one.
    template <class Call>
    void ExpectCode(HRESULT code, const char* function, Call call) {
        const size_t before = kxtest::ComponentLogLineCount();
        EXPECT_EQ(call(), code) << function;
        std::wstring tail = L"[F." + kxtest::Utf8ToWide(function) + L"()] !!Exception code:[" +
                            std::to_wstring(code) + L"]";
        auto lines = kxtest::LogLinesContaining(L"!!Exception code:", before);
        ASSERT_EQ(lines.size(), 1u) << function << " " << code;
        const std::wstring& line = lines[0];
        EXPECT_TRUE(line.size() >= tail.size() && line.compare(line.size() - tail.size(), tail.size(), tail) == 0)
            << kxtest::WideToUtf8(line);
        ExpectLocksFree();
    }

    void ExpectLocksFree() {
        for (CRITICAL_SECTION* cs : {&m->m_csList.get(), &m->m_csSweep.get()}) {
            ASSERT_TRUE(TryEnterCriticalSection(cs));
            EXPECT_EQ(cs->RecursionCount, 1);  // this thread did not still hold it
            LeaveCriticalSection(cs);
            std::atomic<int> taken{0};
            std::thread worker([&] {
                if (TryEnterCriticalSection(cs)) {
                    taken = 1;
                    LeaveCriticalSection(cs);
                }
            });
            worker.join();
            EXPECT_EQ(taken.load(), 1);
        }
    }

    bool Untouched(size_t from = 0) const {
        for (size_t i = from; i < sizeof buffer; ++i)
            if (buffer[i] != 0xCC) return false;
        return true;
    }

    CKxUninstMgr* m = nullptr;
    PresentDataMgr data;
    BYTE buffer[512];
};

}  // namespace

TEST_F(ListStore, FreshObject) {
    for (UINT type : {LIST_SOFT, LIST_CATEGORY, LIST_SWEEP}) {
        UINT n = 99;
        EXPECT_EQ(m->GetSize(type, &n), S_OK);
        EXPECT_EQ(n, 0u);
        ExpectCode(12, "CKxUninstMgr::GetItemByIndex",
                   [&] { return m->GetItemByIndex(type, 0, buffer, sizeof buffer); });
    }
    EXPECT_TRUE(Untouched());
}

TEST_F(ListStore, CheckOrder) {
    m->m_vecSoft.push_back(Soft(1, L"a", L"k"));
    // A null buffer comes first whatever the type, the index or the data component.
    for (UINT type : {UINT(LIST_SOFT), UINT(LIST_CATEGORY), UINT(LIST_SWEEP), kOther}) {
        ExpectCode(11, "CKxUninstMgr::GetItemByIndex", [&] { return m->GetItemByIndex(type, 0, nullptr, 512); });
        ExpectCode(11, "CKxUninstMgr::GetItemById", [&] { return m->GetItemById(type, 1, nullptr, 512); });
        ExpectCode(11, "CKxUninstMgr::GetSize", [&] { return m->GetSize(type, nullptr); });
    }
    ExpectCode(11, "CKxUninstMgr::GetItemByIndex", [&] { return m->GetItemByIndex(kOther, 99, nullptr, 0); });
    // The type is checked before the index; an unknown type takes no lock.
    ExpectCode(5, "CKxUninstMgr::GetItemByIndex", [&] { return m->GetItemByIndex(kOther, 0, buffer, 512); });
    ExpectCode(5, "CKxUninstMgr::GetItemByIndex", [&] { return m->GetItemByIndex(kOther, 99, buffer, 0); });
    UINT n = 7;
    ExpectCode(5, "CKxUninstMgr::GetSize", [&] { return m->GetSize(kOther, &n); });
    EXPECT_EQ(n, 7u);
    // No data component comes before the type and before the lookup, even for an id that exists.
    ExpectCode(101, "CKxUninstMgr::GetItemById", [&] { return m->GetItemById(kOther, 1, buffer, 512); });
    ExpectCode(101, "CKxUninstMgr::GetItemById", [&] { return m->GetItemById(LIST_SOFT, 1, buffer, 512); });
    m->m_pDataMgr.reset(&data);
    ExpectCode(5, "CKxUninstMgr::GetItemById", [&] { return m->GetItemById(kOther, 1, buffer, 512); });
    // Index before size: an index past the end gives 12 even into a zero-sized buffer.
    ExpectCode(12, "CKxUninstMgr::GetItemByIndex", [&] { return m->GetItemByIndex(LIST_SOFT, 1, buffer, 0); });
    ExpectCode(201, "CKxUninstMgr::GetItemById", [&] { return m->GetItemById(LIST_SOFT, 2, buffer, 0); });
    ExpectCode(3, "CKxUninstMgr::GetItemByIndex", [&] { return m->GetItemByIndex(LIST_SOFT, 0, buffer, 0); });
    EXPECT_TRUE(Untouched());
    EXPECT_EQ(data.m_cRef, 1u);
}

TEST_F(ListStore, SoftRecordsByIndexExactSize) {
    m->m_vecSoft.push_back(Soft(1, L"first", L"k1"));
    m->m_vecSoft.push_back(new CSoftItem());
    m->m_vecSoft.push_back(Soft(3, L"third", L"k3"));
    UINT n = 0;
    ASSERT_EQ(m->GetSize(LIST_SOFT, &n), S_OK);
    EXPECT_EQ(n, 3u);

    // The default record: 133 bytes.
    const Golden def = ParseGolden(
        "00000000|00000000|00000000|00000000|01|00|00000000|00000000|00000000|00000000|00000000|00000000|"
        "00|00000000|00000000|00000000|00000000|00000000|00000000|00000000|01|00000000|00000000|00000000|00|"
        "00000000|00000000|0000000000000000|00000000|00000000|00000000|00000000|00000000|0000000000000000|"
        "00000000");
    ASSERT_EQ(def.bytes.size(), 133u);
    ExpectCode(3, "CKxUninstMgr::GetItemByIndex", [&] { return m->GetItemByIndex(LIST_SOFT, 1, buffer, 132); });
    EXPECT_TRUE(Untouched());
    ASSERT_EQ(m->GetItemByIndex(LIST_SOFT, 1, buffer, 133), S_OK);
    EXPECT_EQ(Hex(Bytes(buffer, buffer + 133)), Hex(def.bytes));
    EXPECT_TRUE(Untouched(133));

    // A larger buffer receives only the record; the rest stays as it was.
    memset(buffer, 0xCC, sizeof buffer);
    ASSERT_EQ(m->GetItemByIndex(LIST_SOFT, 2, buffer, sizeof buffer), S_OK);
    CSoftItem back;
    CSerializer r(buffer, sizeof buffer);
    ASSERT_EQ(back.Deserialize(r), 1);
    EXPECT_EQ(back.Name, L"third");
    EXPECT_EQ(back.Key, L"k3");
    const UINT len = r.Length();
    EXPECT_EQ(len, 133u + 10 + 4);
    EXPECT_TRUE(Untouched(len));

    ExpectCode(12, "CKxUninstMgr::GetItemByIndex", [&] { return m->GetItemByIndex(LIST_SOFT, 3, buffer, 512); });
    ExpectCode(12, "CKxUninstMgr::GetItemByIndex",
               [&] { return m->GetItemByIndex(LIST_SOFT, 0xFFFFFFFF, buffer, 512); });
}

TEST_F(ListStore, CategoryAndSweepRecords) {
    m->m_vecCategory.push_back(Category(0x01020304, L"\u5176\u4ED6", 7));  // 其他
    m->m_vecSweep.push_back(Sweep(0, 0, 0, L"root"));
    m->m_vecSweep.push_back(Sweep(5, 2, 2, L"C:\\a"));

    const Golden cat = ParseGolden("04030201|04000000:7651D64E|07000000");
    ExpectCode(3, "CKxUninstMgr::GetItemByIndex",
               [&] { return m->GetItemByIndex(LIST_CATEGORY, 0, buffer, 15); });
    EXPECT_TRUE(Untouched());
    ASSERT_EQ(m->GetItemByIndex(LIST_CATEGORY, 0, buffer, 16), S_OK);
    EXPECT_EQ(Hex(Bytes(buffer, buffer + 16)), Hex(cat.bytes));

    const Golden sweep = ParseGolden("02000000|05000000|02000000|08000000:43003A005C006100");
    memset(buffer, 0xCC, sizeof buffer);
    ASSERT_EQ(m->GetItemByIndex(LIST_SWEEP, 1, buffer, 24), S_OK);
    EXPECT_EQ(Hex(Bytes(buffer, buffer + 24)), Hex(sweep.bytes));
    EXPECT_TRUE(Untouched(24));
    UINT n = 0;
    ASSERT_EQ(m->GetSize(LIST_SWEEP, &n), S_OK);
    EXPECT_EQ(n, 2u);
    ASSERT_EQ(m->GetSize(LIST_CATEGORY, &n), S_OK);
    EXPECT_EQ(n, 1u);
    ExpectCode(12, "CKxUninstMgr::GetItemByIndex", [&] { return m->GetItemByIndex(LIST_SWEEP, 2, buffer, 512); });
}

TEST_F(ListStore, ById) {
    m->m_vecSoft.push_back(Soft(7, L"seven", L"k7"));
    m->m_vecSoft.push_back(Soft(8, L"eight", L"k8"));
    m->m_vecSoft.push_back(Soft(8, L"late", L"k8b"));
    m->m_vecCategory.push_back(Category(1, L"\u5176\u4ED6", 2));
    m->m_vecCategory.push_back(Category(2, L"x", 0));
    m->m_vecSweep.push_back(Sweep(0, 0, 0, L"root"));
    m->m_vecSweep.push_back(Sweep(3, 1, 2, L"D:\\x"));

    ExpectCode(101, "CKxUninstMgr::GetItemById", [&] { return m->GetItemById(LIST_SOFT, 7, buffer, 512); });
    ExpectCode(101, "CKxUninstMgr::GetItemById", [&] { return m->GetItemById(LIST_CATEGORY, 1, buffer, 512); });
    EXPECT_TRUE(Untouched());

    m->m_pDataMgr.reset(&data);
    // The first record with the id, in list order.
    ASSERT_EQ(m->GetItemById(LIST_SOFT, 8, buffer, sizeof buffer), S_OK);
    CSoftItem soft;
    CSerializer rs(buffer, sizeof buffer);
    ASSERT_EQ(soft.Deserialize(rs), 1);
    EXPECT_EQ(soft.Name, L"eight");

    const Golden cat = ParseGolden("02000000|02000000:7800|00000000");
    ASSERT_EQ(m->GetItemById(LIST_CATEGORY, 2, buffer, 14), S_OK);
    EXPECT_EQ(Hex(Bytes(buffer, buffer + 14)), Hex(cat.bytes));

    const Golden sweep = ParseGolden("01000000|03000000|02000000|08000000:44003A005C007800");
    ASSERT_EQ(m->GetItemById(LIST_SWEEP, 3, buffer, 24), S_OK);
    EXPECT_EQ(Hex(Bytes(buffer, buffer + 24)), Hex(sweep.bytes));
    memset(buffer, 0xCC, sizeof buffer);
    ExpectCode(3, "CKxUninstMgr::GetItemById", [&] { return m->GetItemById(LIST_SWEEP, 3, buffer, 23); });
    EXPECT_TRUE(Untouched());

    ExpectCode(201, "CKxUninstMgr::GetItemById", [&] { return m->GetItemById(LIST_SOFT, 9, buffer, 512); });
    ExpectCode(202, "CKxUninstMgr::GetItemById", [&] { return m->GetItemById(LIST_CATEGORY, 9, buffer, 512); });
    ExpectCode(202, "CKxUninstMgr::GetItemById", [&] { return m->GetItemById(LIST_SWEEP, 9, buffer, 512); });
    EXPECT_TRUE(Untouched());
    // Empty lists answer the same.
    Free(m->m_vecSoft);
    Free(m->m_vecCategory);
    ExpectCode(201, "CKxUninstMgr::GetItemById", [&] { return m->GetItemById(LIST_SOFT, 7, buffer, 512); });
    ExpectCode(202, "CKxUninstMgr::GetItemById", [&] { return m->GetItemById(LIST_CATEGORY, 1, buffer, 512); });
}

TEST_F(ListStore, SerializeFailureGivesFour) {
    m->m_vecSoft.push_back(new UnwritableSoftItem());
    m->m_vecSoft.back()->Id = 4;
    m->m_pDataMgr.reset(&data);
    ExpectCode(4, "CKxUninstMgr::GetItemByIndex", [&] { return m->GetItemByIndex(LIST_SOFT, 0, buffer, 512); });
    ExpectCode(4, "CKxUninstMgr::GetItemById", [&] { return m->GetItemById(LIST_SOFT, 4, buffer, 512); });
    EXPECT_TRUE(Untouched());
}

TEST_F(ListStore, LookupPredicate) {
    std::vector<CSoftItem*> soft = {Soft(1, L"a", L"HKEY_LOCAL_MACHINE\\X"), Soft(2, L"b", L""),
                                    Soft(3, L"c", L"HKEY_LOCAL_MACHINE\\x"), Soft(2, L"d", L"k")};
    // A key compares exactly, with case; the number is then ignored.
    EXPECT_EQ(FindSoft(soft, L"HKEY_LOCAL_MACHINE\\x", 1), soft[2]);
    EXPECT_EQ(FindSoft(soft, L"HKEY_LOCAL_MACHINE\\X", 99), soft[0]);
    EXPECT_EQ(FindSoft(soft, L"hkey_local_machine\\x", 1), nullptr);
    EXPECT_EQ(FindSoft(soft, L"HKEY_LOCAL_MACHINE", 1), nullptr);
    // No key: the first record with the number.
    EXPECT_EQ(FindSoft(soft, L"", 2), soft[1]);
    EXPECT_EQ(FindSoft(soft, L"", 5), nullptr);
    EXPECT_EQ(FindSoft({}, L"", 0), nullptr);
    Free(soft);

    std::vector<CCategoryItem*> cats = {Category(1, L"\u5176\u4ED6", 0), Category(2, L"Tools", 0)};
    EXPECT_EQ(FindCategory(cats, L"\u5176\u4ED6", 0), cats[0]);
    EXPECT_EQ(FindCategory(cats, L"tools", 2), nullptr);
    EXPECT_EQ(FindCategory(cats, L"", 2), cats[1]);
    Free(cats);
}

// A host call waits while the worker holds the list lock; a call on the sweep list does not need it.
TEST_F(ListStore, HostCallsWaitForTheListLockOnly) {
    m->m_vecSweep.push_back(Sweep(1, 2, 2, L"f"));
    HANDLE held = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE sweepDone = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::atomic<bool> released{false};
    std::atomic<bool> sweepBeforeRelease{false};
    std::thread worker([&] {
        EnterCriticalSection(&m->m_csList.get());
        SetEvent(held);
        sweepBeforeRelease = WaitForSingleObject(sweepDone, 5000) == WAIT_OBJECT_0;
        Sleep(50);
        released = true;
        LeaveCriticalSection(&m->m_csList.get());
    });
    WaitForSingleObject(held, INFINITE);
    UINT n = 0;
    EXPECT_EQ(m->GetSize(LIST_SWEEP, &n), S_OK);
    EXPECT_EQ(m->GetItemByIndex(LIST_SWEEP, 0, buffer, sizeof buffer), S_OK);
    SetEvent(sweepDone);
    EXPECT_EQ(m->GetSize(LIST_SOFT, &n), S_OK);
    EXPECT_TRUE(released.load());
    worker.join();
    EXPECT_TRUE(sweepBeforeRelease.load());
    CloseHandle(held);
    CloseHandle(sweepDone);
}
