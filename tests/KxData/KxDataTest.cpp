// KxData.dll on its own, loaded for real: COM frame, loading and notifications, records, ids, states, the
// watcher and its shutdown, two threads at once, the shipped data, and its entry points' error edge.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <set>
#include <thread>

#include "KxUninstIf.h"
#include "Serializer.h"
#include "SoftInfoItem.h"
#include "UninstallRuleItem.h"
#include "kxtest/ChildProcess.h"
#include "kxtest/DataDll.h"
#include "kxtest/Processes.h"
#include "kxtest/Pump.h"

using kxtest::DataDll;
using kxtest::RulesText;
using kxtest::WriteRules;

namespace {

constexpr WPARAM kRulesLoaded = 0x00040001, kRulesAppended = 0x00040004, kRulesChanged = 0x00040010;

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
bool StartAndLoad(DataDll& dll, kxtest::ListenerWindow& wnd) {
    return SUCCEEDED(dll.Mgr()->Init()) && SUCCEEDED(dll.List()->AddListener(wnd.Handle(), DATA_UNINSTALL_RULE)) &&
           SUCCEEDED(dll.Mgr()->LoadData(DATA_UNINSTALL_RULE)) && wnd.WaitFor(kRulesLoaded, 5000);
}

UINT SoftId(IKxDataMgr* m, const wchar_t* key) {
    UINT n = 0;
    EXPECT_EQ(m->GetSoftId(kx::MakeBstr(key).get(), &n), S_OK);
    return n;
}

class KxData : public ::testing::Test {
protected:
    void SetUp() override { WriteRules(RulesText(3)); }
    void TearDown() override {
        DeleteFileW(kxtest::RulesPath().c_str());
        SetEnvironmentVariableW(L"KXDATA_LOAD_DELAY", nullptr);
    }
};

}  // namespace

TEST_F(KxData, ComFrameAndUnloadAccounting) {
    DataDll dll;
    ASSERT_TRUE(dll.Loaded());
    void* p = reinterpret_cast<void*>(1);
    EXPECT_EQ(dll.GetClassObject()(CLSID_KxUninstMgr, IID_IClassFactory, &p), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(p, nullptr);
    kx::com_ptr<IClassFactory> factory;
    ASSERT_EQ(dll.GetClassObject()(CLSID_KxDataMgr, IID_IClassFactory, factory.put_void()), S_OK);
    EXPECT_EQ(factory->CreateInstance(dll.Mgr(), IID_IUnknown, &p), CLASS_E_NOAGGREGATION);
    factory.reset();
    // Both interfaces lead to each other and to one identity.
    kx::com_ptr<IKxDataMgr> back;
    kx::com_ptr<IUnknown> u1, u2;
    ASSERT_EQ(dll.List()->QueryInterface(IID_IKxDataMgr, back.put_void()), S_OK);
    EXPECT_EQ(back.get(), dll.Mgr());
    dll.Mgr()->QueryInterface(IID_IUnknown, u1.put_void());
    dll.List()->QueryInterface(IID_IUnknown, u2.put_void());
    EXPECT_EQ(u1.get(), u2.get());
    EXPECT_EQ(dll.List()->QueryInterface(IID_IKxUninstMgr, &p), E_NOINTERFACE);
    back.reset(), u1.reset(), u2.reset();
    EXPECT_EQ(dll.CanUnloadNow(), S_FALSE);
    dll.ReleaseObjects();
    EXPECT_EQ(dll.CanUnloadNow(), S_OK);
}

TEST_F(KxData, LoadsNotifiesAndServesRecordsInFileOrder) {
    DataDll dll;
    kxtest::ListenerWindow wnd;
    BOOL bLoaded = TRUE;
    ASSERT_EQ(dll.List()->IsLoaded(DATA_UNINSTALL_RULE, &bLoaded), S_OK);
    EXPECT_FALSE(bLoaded);
    EXPECT_EQ(dll.Mgr()->LoadData(DATA_UNINSTALL_RULE), E_UNEXPECTED) << "before Init";
    ASSERT_TRUE(StartAndLoad(dll, wnd));
    EXPECT_EQ(wnd.received.front(), std::make_pair(kRulesLoaded, LPARAM(0)));
    ASSERT_EQ(dll.List()->IsLoaded(DATA_UNINSTALL_RULE, &bLoaded), S_OK);
    EXPECT_TRUE(bLoaded);
    UINT n = 0, nVersion = 0;
    ASSERT_EQ(dll.List()->GetSize(DATA_UNINSTALL_RULE, &n), S_OK);
    EXPECT_EQ(n, 3u);
    for (UINT i = 0; i < 3; ++i) {
        CUninstallRuleItem rule;
        ASSERT_EQ(Fetch(dll.List(), DATA_UNINSTALL_RULE, i, false, rule), S_OK);
        const std::wstring s = std::to_wstring(i);
        EXPECT_EQ(std::make_tuple(rule.Id, rule.SoftId, rule.TypeId, rule.UninstallName, rule.Hide, rule.MatchType, rule.Brief, rule.InfoUrl),
                  std::make_tuple(5000 + i, L"soft" + s, 1 + i % 3, L"Program " + s, 0u, 1u, L"Brief " + s, L"https://example.com/" + s));
    }
    CSoftInfoItem info;
    ASSERT_EQ(Fetch(dll.List(), DATA_SOFT_INFO, 5001, true, info), S_OK);
    EXPECT_EQ(std::make_tuple(info.Id, info.SoftId, info.Category, info.MatchName),
              std::make_tuple(5001u, std::wstring(L"soft1"), std::wstring(L"聊天通讯"), std::wstring(L"Program 1")));
    EXPECT_EQ(dll.Mgr()->GetDataVersion(DATA_UNINSTALL_RULE, &nVersion), S_OK);
    EXPECT_EQ(nVersion, 7u);
    // Every failure is a negative HRESULT.
    BYTE small[8];
    for (HRESULT hr : {dll.List()->GetItemById(DATA_SOFT_INFO, 4999, small, sizeof(small)),
                       dll.List()->GetItemByIndex(DATA_UNINSTALL_RULE, 0, small, sizeof(small)),
                       dll.List()->GetItemByIndex(DATA_UNINSTALL_RULE, 3, small, sizeof(small)),
                       dll.List()->GetItemByIndex(DATA_UNINSTALL_RULE, 0, nullptr, 100),
                       dll.List()->GetItemByIndex(0x20, 0, small, sizeof(small)), dll.List()->GetSize(0x20, &n),
                       dll.List()->AddListener(nullptr, 4), dll.Mgr()->LoadData(0x20), dll.Mgr()->GetSoftId(nullptr, &n)})
        EXPECT_LT(hr, 0);
    EXPECT_EQ(dll.Mgr()->Uninit(), S_OK);
}

TEST_F(KxData, SoftIdsAreFixedForRulesAndDerivedFromOtherKeys) {
    // A line may not fix an id of the derived range: it is skipped like any line that does not parse.
    WriteRules(RulesText(3) + "1048576|intruder|1|Intruder\n");
    DataDll dll;
    kxtest::ListenerWindow wnd;
    ASSERT_TRUE(StartAndLoad(dll, wnd));
    UINT nRules = 0;
    EXPECT_EQ(dll.List()->GetSize(DATA_UNINSTALL_RULE, &nRules), S_OK);
    EXPECT_EQ(nRules, 3u);
    EXPECT_EQ(SoftId(dll.Mgr(), L"soft2"), 5002u);
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
    for (const auto& d : derived) EXPECT_EQ(SoftId(dll.Mgr(), d.key), d.id) << kxtest::WideToUtf8(d.key);
    kx::unique_bstr key;
    ASSERT_EQ(dll.Mgr()->GetSoftKey(5002, key.put()), S_OK);
    EXPECT_STREQ(key.get(), L"soft2");
    EXPECT_LT(dll.Mgr()->GetSoftKey(1158894319u, key.put()), 0);
    dll.Mgr()->Uninit();
    // A second object of the same process hands out the same ids, the probed one included.
    DataDll other;
    other.Mgr()->Init();
    EXPECT_EQ(SoftId(other.Mgr(), L"collide-1021480"), 1015383403u);
    other.Mgr()->Uninit();
}

TEST_F(KxData, StateTransitionsFollowTheTableAndAreNotifiedAsType8) {
    DataDll dll;
    kxtest::ListenerWindow wnd;
    ASSERT_EQ(dll.Mgr()->Init(), S_OK);
    ASSERT_EQ(dll.List()->AddListener(wnd.Handle(), DATA_SOFT_STATE), S_OK);
    IKxDataMgr* m = dll.Mgr();
    auto state = [&](UINT id) {
        KX_SOFT_STATE s;
        memset(&s, 0xCC, sizeof(s));
        EXPECT_EQ(m->GetSoftState(id, &s), S_OK);
        EXPECT_EQ(s.nSoftId, id);
        return s.nState;
    };
    EXPECT_EQ(state(5001), 0u);
    // (new state, accepted): a request first; a repeated request; refused while a task works on it, while its
    // uninstaller runs, once the uninstall is over; the end states.
    const std::pair<UINT, bool> steps[] = {{16, false}, {8, true}, {15, true}, {15, true}, {16, true}, {15, false},
                                           {11, false}, {17, true}, {15, false}, {16, true}, {18, true}, {20, true},
                                           {19, false}, {15, true}, {19, true}, {11, true}};
    kxtest::Notes expected;
    for (const auto& [to, accepted] : steps) {
        EXPECT_EQ(m->SetSoftState(5001, to) == S_OK, accepted) << to;
        EXPECT_EQ(state(5001) == to, accepted) << to;
        if (accepted) expected.emplace_back(0x00080040, 5001);
    }
    for (UINT bad : {0u, 1u, 7u, 9u, 14u, 21u, 0xFFFFFFFFu}) EXPECT_LT(m->SetSoftState(5001, bad), 0) << bad;
    EXPECT_LT(m->SetSoftState(0, 8), 0);
    EXPECT_LT(m->GetSoftState(5001, nullptr), 0);
    EXPECT_EQ(state(5002), 0u) << "another software is untouched";
    EXPECT_EQ(wnd.Drain(200), expected) << "each accepted change posted, nothing for a refused one";
    m->Uninit();
}

TEST_F(KxData, WatcherReportsAppendedThenChangedRules) {
    DataDll dll;
    kxtest::ListenerWindow wnd;
    ASSERT_TRUE(StartAndLoad(dll, wnd));
    std::string edited = RulesText(5);
    edited.replace(edited.find("Program 1"), 9, "Program 1b");
    // (rules written, notification expected; 0: none)
    const std::pair<std::string, WPARAM> steps[] = {{RulesText(5), kRulesAppended}, {edited, kRulesChanged},
                                                    {RulesText(5, 8), kRulesChanged},  // a new version is a change
                                                    {RulesText(5, 8), 0}};             // the same content is nothing
    for (const auto& [rules, note] : steps) {
        wnd.Drain();
        Sleep(50);
        WriteRules(rules);
        if (note) {
            ASSERT_TRUE(wnd.WaitFor(note, 5000)) << note;
        } else {
            EXPECT_EQ(dll.Mgr()->ReloadData(DATA_UNINSTALL_RULE), S_OK);
            EXPECT_TRUE(wnd.Drain(600).empty());
        }
    }
    UINT n = 0;
    dll.List()->GetSize(DATA_UNINSTALL_RULE, &n);
    EXPECT_EQ(n, 5u);
    dll.Mgr()->Uninit();
}

TEST_F(KxData, UninitOrTheLastReleaseWhileLoadingStopsTheThreadAndPostsNothing) {
    SetEnvironmentVariableW(L"KXDATA_LOAD_DELAY", L"5000");
    const size_t before = kxtest::ThreadCount();
    DataDll dll;
    kxtest::ListenerWindow wnd;
    dll.Mgr()->Init();
    dll.List()->AddListener(wnd.Handle(), DATA_UNINSTALL_RULE);
    ASSERT_EQ(dll.Mgr()->LoadData(DATA_UNINSTALL_RULE), S_OK);
    EXPECT_EQ(dll.Mgr()->LoadData(DATA_UNINSTALL_RULE), S_OK);  // still one loader
    // The version is answered while the loader still waits: the list cache is checked against it then.
    UINT nVersion = 0;
    EXPECT_EQ(dll.Mgr()->GetDataVersion(DATA_UNINSTALL_RULE, &nVersion), S_OK);
    EXPECT_EQ(nVersion, 7u);
    EXPECT_EQ(kxtest::ThreadCount(), before + 1);
    DWORD start = GetTickCount();
    EXPECT_EQ(dll.Mgr()->Uninit(), S_OK);
    EXPECT_LT(GetTickCount() - start, 2000u);
    EXPECT_EQ(kxtest::ThreadCount(), before);
    EXPECT_TRUE(wnd.Drain(200).empty());
    dll.Mgr()->Init();
    dll.Mgr()->LoadData(DATA_UNINSTALL_RULE);
    dll.ReleaseObjects();
    EXPECT_EQ(kxtest::ThreadCount(), before);
    EXPECT_EQ(dll.CanUnloadNow(), S_OK);
}

TEST_F(KxData, TwoThreadsAtOnceWhileTheRulesChange) {
    DataDll dll;
    kxtest::ListenerWindow wnd;
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
                // The list may shrink between the two calls; an item read whole is always consistent.
                if (SUCCEEDED(Fetch(dll.List(), DATA_UNINSTALL_RULE, i, false, rule)) &&
                    rule.SoftId != L"soft" + std::to_wstring(rule.Id - 5000))
                    ++bad;
            }
            UINT id = base + (GetTickCount() & 15);
            KX_SOFT_STATE s;
            dll.Mgr()->SetSoftState(id, 15), dll.Mgr()->SetSoftState(id, 16), dll.Mgr()->GetSoftState(id, &s);
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
    SetEnvironmentVariableW(L"KXDATA_RULES", kxtest::ShippedRulesPath().c_str());
    DataDll dll;
    kxtest::ListenerWindow wnd;
    ASSERT_TRUE(StartAndLoad(dll, wnd));
    SetEnvironmentVariableW(L"KXDATA_RULES", nullptr);
    // The categories of conf\category.ini, as the component reads them.
    wchar_t section[4096] = {};
    GetPrivateProfileSectionW(L"List", section, 4096, (kxtest::ExeFolder() + L"shipped\\category.ini").c_str());
    std::map<UINT, std::wstring> categories;
    for (const wchar_t* p = section; *p; p += wcslen(p) + 1)
        categories[wcstoul(p, nullptr, 10)] = std::wstring(p).substr(std::wstring(p).find(L'.') + 1);
    ASSERT_GE(categories.size(), 10u);
    EXPECT_EQ(categories[0], L"全部软件");
    EXPECT_EQ(categories.rbegin()->second, L"其他");
    UINT n = 0, nVersion = 0;
    dll.List()->GetSize(DATA_UNINSTALL_RULE, &n);
    EXPECT_GE(n, 150u);
    std::set<UINT> ids, types;
    std::set<std::wstring> keys, names;
    for (UINT i = 0; i < n; ++i) {
        CUninstallRuleItem rule;
        CSoftInfoItem info;
        ASSERT_EQ(Fetch(dll.List(), DATA_UNINSTALL_RULE, i, false, rule), S_OK);
        EXPECT_TRUE(ids.insert(rule.Id).second && keys.insert(rule.SoftId).second) << rule.Id;
        names.insert(rule.UninstallName);
        EXPECT_FALSE(rule.Brief.empty());
        ASSERT_TRUE(categories.count(rule.TypeId) && rule.TypeId != 0) << rule.TypeId;
        types.insert(rule.TypeId);
        ASSERT_EQ(Fetch(dll.List(), DATA_SOFT_INFO, rule.Id, true, info), S_OK);
        EXPECT_EQ(info.Category, categories[rule.TypeId]);
        EXPECT_FALSE(info.MatchName.empty());
    }
    EXPECT_EQ(types.size(), categories.size() - 1) << "every category but the bucket of all has software";
    for (const wchar_t* name : {L"腾讯QQ", L"微信", L"WPS Office", L"Google Chrome", L"Steam", L"360安全卫士",
                                L"搜狗拼音输入法", L"Microsoft Visual Studio Code", L"VLC media player", L"7-Zip"})
        EXPECT_TRUE(names.count(name)) << kxtest::WideToUtf8(name);
    dll.Mgr()->GetDataVersion(DATA_UNINSTALL_RULE, &nVersion);
    EXPECT_GT(nVersion, 0u);
    dll.Mgr()->Uninit();
}

// The entry points' edge: KXDATA_FAULT, read when the DLL is loaded, makes the named entry point fail with an
// allocation failure; the entry gives E_OUTOFMEMORY, the process and the other entries go on. A child process
// loads the DLL afresh for each.
KXTEST_CHILD_MODE(kxdata_fault) {
    DataDll dll;
    if (args == L"CreateInstance") {
        kx::com_ptr<IClassFactory> factory;
        kx::com_ptr<IKxDataMgr> mgr;
        if (dll.Loaded() || FAILED(dll.GetClassObject()(CLSID_KxDataMgr, IID_IClassFactory, factory.put_void()))) return 2;
        return factory->CreateInstance(nullptr, IID_IKxDataMgr, mgr.put_void()) == E_OUTOFMEMORY ? 0 : 3;
    }
    if (!dll.Loaded()) return 2;
    UINT n = 0, nVersion = 0;
    HRESULT hr = args == L"Init" ? dll.Mgr()->Init() : (dll.Mgr()->Init(), dll.Mgr()->GetSoftId(kx::MakeBstr(L"soft1").get(), &n));
    if (hr != E_OUTOFMEMORY) return 3;
    return dll.Mgr()->GetDataVersion(DATA_UNINSTALL_RULE, &nVersion) == S_OK ? 0 : 4;
}

TEST_F(KxData, AnEntryPointThatFailsGivesEOutOfMemoryAndTheProcessGoesOn) {
    for (const wchar_t* entry : {L"CreateInstance", L"Init", L"GetSoftId"}) {
        SetEnvironmentVariableW(L"KXDATA_FAULT", entry);
        EXPECT_EQ(kxtest::RunChild("kxdata_fault", entry), 0u) << kxtest::WideToUtf8(entry);
    }
    SetEnvironmentVariableW(L"KXDATA_FAULT", nullptr);
}
