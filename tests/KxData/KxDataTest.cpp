// KxData.dll on its own, loaded for real: COM frame, loading and notifications, records, ids, states, the
// watcher and its shutdown, two threads at once, and the shipped data.
#include <windows.h>
#include <initguid.h>

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <set>
#include <thread>

#include "KxDataTestKit.h"
#include "KxUninstIf.h"
#include "Serializer.h"
#include "SoftInfoItem.h"
#include "UninstallRuleItem.h"
#include "kxtest/HostLayout.h"
#include "kxtest/TempDir.h"

using namespace kxdatatest;

namespace {

constexpr WPARAM kRulesLoaded = 0x00040001;
constexpr WPARAM kRulesAppended = 0x00040004;
constexpr WPARAM kRulesChanged = 0x00040010;

template <typename T>
HRESULT Fetch(IKxListMgr* list, UINT nType, UINT nIndexOrId, bool bById, T& item) {
    std::vector<BYTE> buf(KX_DATA_BUFFER_SIZE);
    HRESULT hr = bById ? list->GetItemById(nType, nIndexOrId, buf.data(), KX_DATA_BUFFER_SIZE)
                       : list->GetItemByIndex(nType, nIndexOrId, buf.data(), KX_DATA_BUFFER_SIZE);
    if (FAILED(hr)) return hr;
    CSerializer reader(buf.data(), KX_DATA_BUFFER_SIZE);
    return item.Deserialize(reader) ? S_OK : E_FAIL;
}

// Init, listen for type 4 and load; true once the loaded notification arrived.
bool StartAndLoad(DataDll& dll, ListenerWindow& wnd) {
    return SUCCEEDED(dll.Mgr()->Init()) && SUCCEEDED(dll.List()->AddListener(wnd.Handle(), DATA_UNINSTALL_RULE)) &&
           SUCCEEDED(dll.Mgr()->LoadData(DATA_UNINSTALL_RULE)) && wnd.WaitFor(kRulesLoaded, 5000);
}

class KxData : public ::testing::Test {
protected:
    void SetUp() override {
        SetEnvironmentVariableW(L"KXDATA_RULES", nullptr);
        SetEnvironmentVariableW(L"KXDATA_LOAD_DELAY", nullptr);
        WriteRules(RulesText(3));
    }
    void TearDown() override { DeleteFileW(RulesPath().c_str()); }
};

}  // namespace

TEST_F(KxData, ComFrameAndUnloadAccounting) {
    DataDll dll;
    ASSERT_TRUE(dll.Loaded());
    using Fn = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    auto get = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(dll.Module(), "DllGetClassObject")));
    void* p = reinterpret_cast<void*>(1);
    EXPECT_EQ(get(CLSID_KxUninstMgr, IID_IClassFactory, &p), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(p, nullptr);

    IClassFactory* factory = nullptr;
    ASSERT_EQ(get(CLSID_KxDataMgr, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
    IUnknown* outer = dll.Mgr();
    EXPECT_EQ(factory->CreateInstance(outer, IID_IUnknown, &p), CLASS_E_NOAGGREGATION);
    factory->Release();

    // Both interfaces lead to each other and to one identity.
    IKxDataMgr* back = nullptr;
    ASSERT_EQ(dll.List()->QueryInterface(IID_IKxDataMgr, reinterpret_cast<void**>(&back)), S_OK);
    EXPECT_EQ(back, dll.Mgr());
    back->Release();
    IUnknown* u1 = nullptr;
    IUnknown* u2 = nullptr;
    dll.Mgr()->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&u1));
    dll.List()->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&u2));
    EXPECT_EQ(u1, u2);
    u1->Release();
    u2->Release();
    EXPECT_EQ(dll.List()->QueryInterface(IID_IKxUninstMgr, &p), E_NOINTERFACE);

    EXPECT_EQ(dll.CanUnloadNow(), S_FALSE);
    dll.ReleaseObjects();
    EXPECT_EQ(dll.CanUnloadNow(), S_OK);
}

TEST_F(KxData, LoadsNotifiesAndServesRecordsInFileOrder) {
    DataDll dll;
    ListenerWindow wnd;
    ASSERT_TRUE(dll.Loaded());
    BOOL bLoaded = TRUE;
    ASSERT_EQ(dll.List()->IsLoaded(DATA_UNINSTALL_RULE, &bLoaded), S_OK);
    EXPECT_FALSE(bLoaded);
    EXPECT_EQ(dll.Mgr()->LoadData(DATA_UNINSTALL_RULE), E_UNEXPECTED);  // before Init
    ASSERT_TRUE(StartAndLoad(dll, wnd));
    EXPECT_EQ(wnd.Received().front(), std::make_pair(kRulesLoaded, LPARAM(0)));
    ASSERT_EQ(dll.List()->IsLoaded(DATA_UNINSTALL_RULE, &bLoaded), S_OK);
    EXPECT_TRUE(bLoaded);

    UINT n = 0;
    ASSERT_EQ(dll.List()->GetSize(DATA_UNINSTALL_RULE, &n), S_OK);
    EXPECT_EQ(n, 3u);
    for (UINT i = 0; i < 3; ++i) {
        CUninstallRuleItem rule;
        ASSERT_EQ(Fetch(dll.List(), DATA_UNINSTALL_RULE, i, false, rule), S_OK);
        EXPECT_EQ(rule.Id, 5000 + i);
        EXPECT_EQ(rule.SoftId, L"soft" + std::to_wstring(i));
        EXPECT_EQ(rule.TypeId, 1 + i % 3);
        EXPECT_EQ(rule.UninstallName, L"Program " + std::to_wstring(i));
        EXPECT_EQ(rule.Hide, 0u);
        EXPECT_EQ(rule.MatchType, 1u);
        EXPECT_EQ(rule.Brief, L"Brief " + std::to_wstring(i));
        EXPECT_EQ(rule.InfoUrl, L"https://example.com/" + std::to_wstring(i));
    }
    CSoftInfoItem info;
    ASSERT_EQ(Fetch(dll.List(), DATA_SOFT_INFO, 5001, true, info), S_OK);
    EXPECT_EQ(info.Id, 5001u);
    EXPECT_EQ(info.SoftId, L"soft1");
    EXPECT_EQ(info.Category, L"聊天通讯");
    EXPECT_EQ(info.MatchName, L"Program 1");

    UINT nVersion = 0;
    EXPECT_EQ(dll.Mgr()->GetDataVersion(DATA_UNINSTALL_RULE, &nVersion), S_OK);
    EXPECT_EQ(nVersion, 7u);

    // Every failure is a negative HRESULT.
    BYTE small[8];
    EXPECT_LT(dll.List()->GetItemById(DATA_SOFT_INFO, 4999, small, sizeof(small)), 0);
    EXPECT_LT(dll.List()->GetItemByIndex(DATA_UNINSTALL_RULE, 0, small, sizeof(small)), 0);
    EXPECT_LT(dll.List()->GetItemByIndex(DATA_UNINSTALL_RULE, 3, small, sizeof(small)), 0);
    EXPECT_LT(dll.List()->GetItemByIndex(DATA_UNINSTALL_RULE, 0, nullptr, 100), 0);
    EXPECT_LT(dll.List()->GetItemByIndex(0x20, 0, small, sizeof(small)), 0);
    EXPECT_LT(dll.List()->GetSize(0x20, &n), 0);
    EXPECT_LT(dll.List()->AddListener(nullptr, 4), 0);
    EXPECT_LT(dll.Mgr()->LoadData(0x20), 0);
    EXPECT_LT(dll.Mgr()->GetSoftId(nullptr, &n), 0);
    EXPECT_EQ(dll.Mgr()->Uninit(), S_OK);
}

TEST_F(KxData, SoftIdsAreFixedForRulesAndDerivedFromOtherKeys) {
    // A line may not fix an id of the derived range: it is skipped like any line that does not parse.
    WriteRules(RulesText(3) + "1048576|intruder|1|Intruder\n");
    DataDll dll;
    ListenerWindow wnd;
    ASSERT_TRUE(StartAndLoad(dll, wnd));
    UINT nRules = 0;
    EXPECT_EQ(dll.List()->GetSize(DATA_UNINSTALL_RULE, &nRules), S_OK);
    EXPECT_EQ(nRules, 3u);
    auto id = [&](const wchar_t* key) {
        BSTR b = SysAllocString(key);
        UINT n = 0;
        EXPECT_EQ(dll.Mgr()->GetSoftId(b, &n), S_OK);
        SysFreeString(b);
        return n;
    };
    EXPECT_EQ(id(L"soft2"), 5002u);
    // Ids of other SoftIds come from the SoftId itself (FNV-1a of its UTF-16LE bytes, above the rules' range),
    // so they are the same in every process. The two "collide-" keys hash to the same id: the one asked second
    // gets the id of its first probe.
    const struct { const wchar_t* key; UINT id; } derived[] = {
        {L"something-else", 1158894319u},
        {L"{0A1B2C3D-0000-4000-8000-00000000AAAA}", 3496640355u},
        {L"collide-392161", 2720281786u},
        {L"collide-1021480", 1015383403u},
        {L"something-else", 1158894319u},
        {L"intruder", 3084834882u},
    };
    for (const auto& d : derived) EXPECT_EQ(id(d.key), d.id) << kxtest::WideToUtf8(d.key);

    BSTR key = nullptr;
    ASSERT_EQ(dll.Mgr()->GetSoftKey(5002, &key), S_OK);
    EXPECT_STREQ(key, L"soft2");
    SysFreeString(key);
    EXPECT_LT(dll.Mgr()->GetSoftKey(1158894319u, &key), 0);
    dll.Mgr()->Uninit();

    // A second object of the same process hands out the same ids, the probed one included.
    DataDll other;
    other.Mgr()->Init();
    BSTR k = SysAllocString(L"collide-1021480");
    UINT again = 0;
    other.Mgr()->GetSoftId(k, &again);
    SysFreeString(k);
    EXPECT_EQ(again, 1015383403u);
    other.Mgr()->Uninit();
}

TEST_F(KxData, StateTransitionsFollowTheTable) {
    DataDll dll;
    ASSERT_EQ(dll.Mgr()->Init(), S_OK);
    IKxDataMgr* m = dll.Mgr();
    auto state = [&](UINT id) {
        KX_SOFT_STATE s;
        memset(&s, 0xCC, sizeof(s));
        EXPECT_EQ(m->GetSoftState(id, &s), S_OK);
        EXPECT_EQ(s.nSoftId, id);
        return s.nState;
    };
    const UINT id = 5001;
    EXPECT_EQ(state(id), 0u);
    EXPECT_LT(m->SetSoftState(id, 16), 0);  // no request yet
    EXPECT_EQ(m->SetSoftState(id, 8), S_OK);
    EXPECT_EQ(state(id), 8u);
    EXPECT_EQ(m->SetSoftState(id, 15), S_OK);
    EXPECT_EQ(m->SetSoftState(id, 15), S_OK);  // a repeated request
    EXPECT_EQ(m->SetSoftState(id, 16), S_OK);
    EXPECT_LT(m->SetSoftState(id, 15), 0);  // a task works on it
    EXPECT_LT(m->SetSoftState(id, 11), 0);
    EXPECT_EQ(m->SetSoftState(id, 17), S_OK);
    EXPECT_LT(m->SetSoftState(id, 15), 0);  // its uninstaller runs
    EXPECT_EQ(state(id), 17u);
    EXPECT_EQ(m->SetSoftState(id, 16), S_OK);
    EXPECT_EQ(m->SetSoftState(id, 18), S_OK);
    EXPECT_EQ(m->SetSoftState(id, 20), S_OK);
    EXPECT_LT(m->SetSoftState(id, 19), 0);  // the uninstall is over
    EXPECT_EQ(m->SetSoftState(id, 15), S_OK);
    EXPECT_EQ(m->SetSoftState(id, 19), S_OK);
    EXPECT_EQ(m->SetSoftState(id, 11), S_OK);
    EXPECT_EQ(state(id), 11u);
    for (UINT bad : {0u, 1u, 7u, 9u, 14u, 21u, 0xFFFFFFFFu}) EXPECT_LT(m->SetSoftState(id, bad), 0) << bad;
    EXPECT_LT(m->SetSoftState(0, 8), 0);
    EXPECT_LT(m->GetSoftState(id, nullptr), 0);
    // Another software is untouched.
    EXPECT_EQ(state(5002), 0u);
    m->Uninit();
}

TEST_F(KxData, StateChangesAreNotifiedAsType8) {
    DataDll dll;
    ListenerWindow wnd;
    dll.Mgr()->Init();
    ASSERT_EQ(dll.List()->AddListener(wnd.Handle(), DATA_SOFT_STATE), S_OK);
    dll.Mgr()->SetSoftState(77, 8);
    dll.Mgr()->SetSoftState(77, 16);  // refused: nothing posted
    ASSERT_TRUE(wnd.WaitFor(0x00080040, 2000));
    auto got = wnd.Collect(100);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].second, 77);
    dll.Mgr()->Uninit();
}

TEST_F(KxData, WatcherReportsAppendedThenChangedRules) {
    DataDll dll;
    ListenerWindow wnd;
    ASSERT_TRUE(StartAndLoad(dll, wnd));
    wnd.Received().clear();
    Sleep(50);
    WriteRules(RulesText(5));  // three kept, two appended
    ASSERT_TRUE(wnd.WaitFor(kRulesAppended, 5000));
    UINT n = 0;
    dll.List()->GetSize(DATA_UNINSTALL_RULE, &n);
    EXPECT_EQ(n, 5u);

    wnd.Received().clear();
    std::string edited = RulesText(5);
    edited.replace(edited.find("Program 1"), 9, "Program 1b");
    WriteRules(edited);
    ASSERT_TRUE(wnd.WaitFor(kRulesChanged, 5000));
    CUninstallRuleItem rule;
    ASSERT_EQ(Fetch(dll.List(), DATA_UNINSTALL_RULE, 1, false, rule), S_OK);
    EXPECT_EQ(rule.UninstallName, L"Program 1b");

    // A new version with the same rules is a change too; rewriting the same content is nothing.
    wnd.Received().clear();
    WriteRules(RulesText(5, 8));
    ASSERT_TRUE(wnd.WaitFor(kRulesChanged, 5000));
    wnd.Received().clear();
    WriteRules(RulesText(5, 8));
    EXPECT_EQ(dll.Mgr()->ReloadData(DATA_UNINSTALL_RULE), S_OK);
    EXPECT_TRUE(wnd.Collect(600).empty());
    dll.Mgr()->Uninit();
}

TEST_F(KxData, UninitWhileLoadingStopsTheThreadAndPostsNothing) {
    SetEnvironmentVariableW(L"KXDATA_LOAD_DELAY", L"5000");
    size_t before = ThreadCount();
    {
        DataDll dll;
        ListenerWindow wnd;
        dll.Mgr()->Init();
        dll.List()->AddListener(wnd.Handle(), DATA_UNINSTALL_RULE);
        ASSERT_EQ(dll.Mgr()->LoadData(DATA_UNINSTALL_RULE), S_OK);
        EXPECT_EQ(dll.Mgr()->LoadData(DATA_UNINSTALL_RULE), S_OK);  // still one loader
        // The version is answered while the loader still waits: the list cache is checked against it then.
        UINT nVersion = 0;
        EXPECT_EQ(dll.Mgr()->GetDataVersion(DATA_UNINSTALL_RULE, &nVersion), S_OK);
        EXPECT_EQ(nVersion, 7u);
        EXPECT_EQ(ThreadCount(), before + 1);
        DWORD start = GetTickCount();
        EXPECT_EQ(dll.Mgr()->Uninit(), S_OK);
        EXPECT_LT(GetTickCount() - start, 2000u);
        EXPECT_EQ(ThreadCount(), before);
        EXPECT_TRUE(wnd.Collect(200).empty());
        // The last Release alone also stops a loader.
        dll.Mgr()->Init();
        dll.Mgr()->LoadData(DATA_UNINSTALL_RULE);
        dll.ReleaseObjects();
        EXPECT_EQ(ThreadCount(), before);
        EXPECT_EQ(dll.CanUnloadNow(), S_OK);
    }
    SetEnvironmentVariableW(L"KXDATA_LOAD_DELAY", nullptr);
}

TEST_F(KxData, TwoThreadsAtOnceWhileTheRulesChange) {
    DataDll dll;
    ListenerWindow wnd;
    WriteRules(RulesText(40));
    ASSERT_TRUE(StartAndLoad(dll, wnd));
    std::atomic<bool> stop{false};
    std::atomic<int> bad{0};
    auto reader = [&](UINT base) {
        while (!stop) {
            UINT n = 0;
            if (FAILED(dll.List()->GetSize(DATA_UNINSTALL_RULE, &n))) ++bad;
            for (UINT i = 0; i < n; i += 7) {
                CUninstallRuleItem rule;
                HRESULT hr = Fetch(dll.List(), DATA_UNINSTALL_RULE, i, false, rule);
                // The list may shrink between the two calls; an item read whole is always consistent.
                if (SUCCEEDED(hr) && rule.SoftId != L"soft" + std::to_wstring(rule.Id - 5000)) ++bad;
            }
            UINT id = base + (GetTickCount() & 15);
            dll.Mgr()->SetSoftState(id, 15);
            dll.Mgr()->SetSoftState(id, 16);
            KX_SOFT_STATE s;
            dll.Mgr()->GetSoftState(id, &s);
            dll.Mgr()->SetSoftState(id, 19);
        }
    };
    std::thread t1(reader, 100), t2(reader, 200);
    for (UINT round = 0; round < 6; ++round) {
        WriteRules(RulesText(round % 2 ? 40 : 20 + round));
        dll.Mgr()->ReloadData(DATA_UNINSTALL_RULE);
        Sleep(60);
    }
    stop = true;
    t1.join();
    t2.join();
    EXPECT_EQ(bad.load(), 0);
    dll.Mgr()->Uninit();
}

TEST_F(KxData, ShippedRulesMatchTheShippedCategories) {
    std::wstring shipped = kxtest::ExeFolder() + L"shipped\\KxDataRules.txt";
    SetEnvironmentVariableW(L"KXDATA_RULES", shipped.c_str());
    DataDll dll;
    ListenerWindow wnd;
    ASSERT_TRUE(StartAndLoad(dll, wnd));
    SetEnvironmentVariableW(L"KXDATA_RULES", nullptr);

    // The categories of conf\category.ini, as the component reads them.
    wchar_t section[4096] = {};
    std::wstring ini = kxtest::ExeFolder() + L"shipped\\category.ini";
    GetPrivateProfileSectionW(L"List", section, 4096, ini.c_str());
    std::map<UINT, std::wstring> categories;
    for (const wchar_t* p = section; *p; p += wcslen(p) + 1) {
        std::wstring line(p);
        size_t dot = line.find(L'.');
        categories[wcstoul(line.c_str(), nullptr, 10)] = line.substr(dot + 1);
    }
    ASSERT_GE(categories.size(), 10u);
    EXPECT_EQ(categories[0], L"全部软件");
    EXPECT_EQ(categories.rbegin()->second, L"其他");

    UINT n = 0;
    dll.List()->GetSize(DATA_UNINSTALL_RULE, &n);
    EXPECT_GE(n, 150u);
    std::set<UINT> ids;
    std::set<std::wstring> keys, names;
    std::map<UINT, int> perCategory;
    for (UINT i = 0; i < n; ++i) {
        CUninstallRuleItem rule;
        ASSERT_EQ(Fetch(dll.List(), DATA_UNINSTALL_RULE, i, false, rule), S_OK);
        EXPECT_TRUE(ids.insert(rule.Id).second) << rule.Id;
        EXPECT_TRUE(keys.insert(rule.SoftId).second) << kxtest::WideToUtf8(rule.SoftId);
        names.insert(rule.UninstallName);
        EXPECT_FALSE(rule.Brief.empty());
        ASSERT_TRUE(categories.count(rule.TypeId)) << rule.TypeId;
        EXPECT_NE(rule.TypeId, 0u);
        ++perCategory[rule.TypeId];
        CSoftInfoItem info;
        ASSERT_EQ(Fetch(dll.List(), DATA_SOFT_INFO, rule.Id, true, info), S_OK);
        EXPECT_EQ(info.Category, categories[rule.TypeId]);
        EXPECT_FALSE(info.MatchName.empty());
    }
    EXPECT_EQ(perCategory.size(), categories.size() - 1);  // every category but "all" has software
    for (const wchar_t* name : {L"腾讯QQ", L"微信", L"WPS Office", L"Google Chrome", L"Steam", L"360安全卫士",
                                L"搜狗拼音输入法", L"Microsoft Visual Studio Code", L"VLC media player", L"7-Zip"})
        EXPECT_TRUE(names.count(name)) << kxtest::WideToUtf8(name);
    UINT nVersion = 0;
    dll.Mgr()->GetDataVersion(DATA_UNINSTALL_RULE, &nVersion);
    EXPECT_GT(nVersion, 0u);
    dll.Mgr()->Uninit();
}
