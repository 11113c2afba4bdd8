// The main job end to end through the host interfaces: a real registry (overridden), the real data component
// with a rules file of the test's own, the worker, discovery and the cache. The list the host reads equals
// discovery joined with the rules, the data component's ids and the categories.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "KxUninstAPI.h"
#include "KxUninstMgr.h"
#include "KxUninstStartup.h"
#include "ListenerHost.h"
#include "Serializer.h"
#include "SoftItem.h"
#include "kxtest/HostLayout.h"
#include "kxtest/Log.h"
#include "kxtest/RegistryOverride.h"
#include "kxtest/TempDir.h"

namespace {

const std::wstring kUninstall = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

class ListEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        KxUninstStartup(nullptr);
        kxtest::WriteUtf16File(kxtest::ConfFolder() + L"category.ini", L"[List]\r\n0.全部软件\r\n1.Games\r\n5.Tools\r\n15.其他\r\n");
        kxtest::WriteFileBytes(rules / L"rules.txt",
                               "version=3\ncategory=0.全部软件\ncategory=1.Games\ncategory=5.Tools\ncategory=15.其他\n"
                               "501|sid-viewer|5|photo viewer|0|0|logo.png|Views photos|http://viewer.invalid|c1|Photo Viewer\n"
                               "502|sid-chess|1|chess|0|0||A game||c2|Chess\n");
        SetEnvironmentVariableW(L"KXDATA_RULES", (rules / L"rules.txt").c_str());
        for (auto [root, subkey, name] : {std::make_tuple(HKEY_LOCAL_MACHINE, L"PhotoViewer", L"Photo Viewer 2.0"),
                                          std::make_tuple(HKEY_CURRENT_USER, L"{0B1C2D3E-1111-2222-3333-444455556666}", L"Chess Master"),
                                          std::make_tuple(HKEY_LOCAL_MACHINE, L"misc", L"Misc Tool"),
                                          std::make_tuple(HKEY_LOCAL_MACHINE, L"OrvaneCm", L"Suite helper")})
            kxtest::SetString(root, kUninstall + subkey, L"DisplayName", name);
    }
    void TearDown() override { SetEnvironmentVariableW(L"KXDATA_RULES", nullptr); }

    // One run of the host: create, listen, Init, wait for readyCount soft-list-ready messages, read the list by
    // key, Uninit (which saves the cache). The ready notifications' wParams go to *pReady.
    std::map<std::wstring, CSoftItem> Run(size_t readyCount, std::vector<WPARAM>* pReady = nullptr) {
        kxhost::CListenerHost host(true);
        HWND listener = host.CreateListener();
        CKxUninstMgr* mgr = nullptr;
        host.Invoke([&] {
            mgr = new CKxUninstMgr();
            mgr->AddRef();
            mgr->SetCacheDir(kx::MakeBstr(cache.Path()).get());
            mgr->AddListener(listener, LIST_SOFT | LIST_CATEGORY);
            mgr->Init();
        });
        std::vector<WPARAM> ready;
        EXPECT_TRUE(host.WaitFor([&](const std::vector<kxhost::ListMessage>& messages) {
            ready.clear();
            for (const auto& m : messages)
                if (m.Action() == ACT_LIST_READY) ready.push_back(m.wParam);
            return std::count(ready.begin(), ready.end(), 0x200001u) >= static_cast<long>(readyCount);
        }, 60000));
        std::map<std::wstring, CSoftItem> items;
        host.Invoke([&] {
            UINT size = 0;
            mgr->GetSize(LIST_SOFT, &size);
            std::vector<BYTE> buffer(KX_DATA_BUFFER_SIZE);
            for (UINT i = 0; i < size; ++i) {
                EXPECT_EQ(mgr->GetItemByIndex(LIST_SOFT, i, buffer.data(), KX_DATA_BUFFER_SIZE), S_OK);
                CSerializer reader(buffer.data(), KX_DATA_BUFFER_SIZE);
                CSoftItem item;
                item.Deserialize(reader);
                items[item.Key] = item;
            }
            mgr->Uninit();
            mgr->Release();
        });
        if (pReady) *pReady = ready;
        return items;
    }

    kxtest::RegistryOverride registry;
    kxtest::TempDir rules, cache;
};

}  // namespace

TEST_F(ListEndToEnd, ListIsDiscoveryJoinedWithRulesIdsAndCategories) {
    std::vector<WPARAM> ready;
    auto items = Run(1, &ready);
    // Without a cache the first notifications are the build's: categories, then the soft list.
    EXPECT_EQ(std::vector<WPARAM>(ready.begin(), ready.begin() + std::min<size_t>(2, ready.size())),
              (std::vector<WPARAM>{0x1000001, 0x200001}));
    InsideMap discovered;
    CreateUnItemInside(discovered, nullptr);
    ASSERT_EQ(items.size(), discovered.size() - 1) << "everything but the suite's own component";
    for (const auto& [name, record] : discovered) {
        auto it = items.find(record->KeyPath);
        ASSERT_EQ(it == items.end(), record->UninstallKey == L"OrvaneCm") << record->KeyPath.c_str();
        if (it == items.end()) continue;
        const CSoftItem& item = it->second;
        EXPECT_EQ(std::make_tuple(item.Name, item.Folder, item.Time, static_cast<ULONGLONG>(item.Size), item.Use),
                  std::make_tuple(record->DisplayName, record->InstallLocation, record->InstallDate, record->Size, record->Use));
    }
    const CSoftItem& viewer = items.at(L"HKEY_LOCAL_MACHINE\\" + kUninstall + L"PhotoViewer");
    EXPECT_EQ(std::make_tuple(viewer.SoftId, viewer.Id, viewer.Category, viewer.Brief, viewer.InfoUrl, viewer.Icon),
              std::make_tuple(std::wstring(L"sid-viewer"), 501u, std::wstring(L"Tools"), std::wstring(L"Views photos"),
                              std::wstring(L"http://viewer.invalid"), std::wstring(L"logo.png")));
    const CSoftItem& chess = items.at(L"HKEY_CURRENT_USER\\" + kUninstall + L"{0B1C2D3E-1111-2222-3333-444455556666}");
    EXPECT_EQ(std::make_tuple(chess.SoftId, chess.Id, chess.Category),
              std::make_tuple(std::wstring(L"sid-chess"), 502u, std::wstring(L"Games")));
    const CSoftItem& misc = items.at(L"HKEY_LOCAL_MACHINE\\" + kUninstall + L"misc");
    EXPECT_EQ(misc.Category, L"其他");
    EXPECT_EQ(misc.SoftId.size(), 36u);
    EXPECT_GE(misc.Id, 0x100000u) << "the data component's own id for a software it has no rule for";
}

TEST_F(ListEndToEnd, NextStartShowsTheCachedListBeforeDiscovery) {
    auto first = Run(1);
    std::string saved = kxtest::ReadFileBytes(cache / L"KxUninstall_32");
    EXPECT_EQ(saved.substr(0, 8), std::string("\x03\0\0\0\x20\0\0\0", 8)) << "Uninit saved rules version 3, type 0x20";

    kxtest::LogMark log;
    std::vector<WPARAM> ready;
    auto second = Run(2, &ready);
    // The cache's list-ready pair comes first, the build's pair after it.
    ready.resize(4);
    EXPECT_EQ(ready, (std::vector<WPARAM>{0x1000001, 0x200001, 0x1000001, 0x200001}));
    std::vector<std::wstring> order;
    for (const auto& line : log.Lines(L"[F.CKxUninstMgr::Task"))
        if (line.find(L"TaskLoadCache()] End") != std::wstring::npos || line.find(L"TaskCreateUnList()] step.5") != std::wstring::npos)
            order.push_back(line.find(L"LoadCache") != std::wstring::npos ? L"cache" : L"build");
    EXPECT_EQ(order, (std::vector<std::wstring>{L"cache", L"build"}));
    // The second build refreshed the cached items instead of adding them again.
    ASSERT_EQ(second.size(), first.size());
    for (const auto& [key, item] : first) {
        ASSERT_TRUE(second.count(key)) << key.c_str();
        EXPECT_EQ(std::make_tuple(second[key].SoftId, second[key].Id, second[key].Category),
                  std::make_tuple(item.SoftId, item.Id, item.Category));
    }
}
