// The main job end to end through the host interfaces: a real registry (overridden), the real data component
// with a rules file of the test's own, the worker, discovery and the cache. The list the host reads equals
// discovery joined with the rules, the data component's ids and the categories.
#include <gtest/gtest.h>

#include <map>
#include <memory>

#include "KxUninstAPI.h"
#include "KxUninstMgr.h"
#include "KxUninstStartup.h"
#include "ListenerHost.h"
#include "Serializer.h"
#include "SoftItem.h"
#include "kxtest/HostLayout.h"
#include "kxtest/RegistryOverride.h"
#include "kxtest/TempDir.h"

namespace {

const wchar_t kUninstall[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

std::string Utf16Ini(const std::wstring& text) {
    return "\xFF\xFE" + std::string(reinterpret_cast<const char*>(text.data()), text.size() * 2);
}

class ListEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        KxUninstStartup(nullptr);
        kxtest::WriteFileBytes(kxtest::ConfFolder() + L"category.ini",
                               Utf16Ini(L"[List]\r\n0.全部软件\r\n1.Games\r\n5.Tools\r\n15.其他\r\n"));
        kxtest::WriteFileBytes(rules / L"rules.txt",
                               "version=3\n"
                               "category=0.全部软件\ncategory=1.Games\ncategory=5.Tools\ncategory=15.其他\n"
                               "501|sid-viewer|5|photo viewer|0|0|logo.png|Views photos|http://viewer.invalid|c1|Photo Viewer\n"
                               "502|sid-chess|1|chess|0|0||A game||c2|Chess\n");
        SetEnvironmentVariableW(L"KXDATA_RULES", (rules / L"rules.txt").c_str());
        Entry(HKEY_LOCAL_MACHINE, L"PhotoViewer", L"Photo Viewer 2.0");
        Entry(HKEY_CURRENT_USER, L"{0B1C2D3E-1111-2222-3333-444455556666}", L"Chess Master");
        Entry(HKEY_LOCAL_MACHINE, L"misc", L"Misc Tool");
        Entry(HKEY_LOCAL_MACHINE, L"OrvaneCm", L"Suite helper");
    }
    void TearDown() override { SetEnvironmentVariableW(L"KXDATA_RULES", nullptr); }

    void Entry(HKEY root, const std::wstring& subkey, const std::wstring& name) {
        kxtest::SetString(root, kUninstall + subkey, L"DisplayName", name);
    }
    // One run of the host: create, listen, Init, wait for `readyCount` soft-list-ready messages, read the
    // list, Uninit (which saves the cache).
    std::vector<CSoftItem> Run(size_t readyCount, std::vector<kxhost::ListMessage>* pMessages = nullptr) {
        kxhost::CListenerHost host(true);
        HWND listener = host.CreateListener();
        CKxUninstMgr* mgr = nullptr;
        host.Invoke([&] {
            mgr = new CKxUninstMgr();
            mgr->AddRef();
            BSTR dir = SysAllocString(cache.Path().c_str());
            mgr->SetCacheDir(dir);
            SysFreeString(dir);
            mgr->AddListener(listener, 0x20 | 0x100);
            mgr->Init();
        });
        auto ready = [&](const std::vector<kxhost::ListMessage>& m) {
            size_t n = 0;
            for (const auto& x : m) n += x.wParam == 0x200001;
            return n >= readyCount;
        };
        EXPECT_TRUE(host.WaitFor(ready, 60000));
        std::vector<CSoftItem> items;
        host.Invoke([&] {
            UINT size = 0;
            mgr->GetSize(0x20, &size);
            std::vector<BYTE> buffer(20480);
            for (UINT i = 0; i < size; ++i) {
                if (mgr->GetItemByIndex(0x20, i, buffer.data(), 20480) != S_OK) continue;
                CSerializer reader(buffer.data(), 20480);
                items.emplace_back();
                items.back().Deserialize(reader);
            }
            mgr->Uninit();
            mgr->Release();
        });
        if (pMessages) *pMessages = host.Messages();
        return items;
    }

    kxtest::RegistryOverride registry;
    kxtest::TempDir rules, cache;
};

std::map<std::wstring, const CSoftItem*> ByKey(const std::vector<CSoftItem>& items) {
    std::map<std::wstring, const CSoftItem*> out;
    for (const auto& i : items) out[i.Key] = &i;
    return out;
}

}  // namespace

TEST_F(ListEndToEnd, ListIsDiscoveryJoinedWithRulesIdsAndCategories) {
    std::vector<kxhost::ListMessage> messages;
    std::vector<CSoftItem> items = Run(1, &messages);

    // Without a cache the first notifications are the build's: categories, then the soft list.
    ASSERT_GE(messages.size(), 2u);
    std::vector<WPARAM> ready;
    for (const auto& m : messages)
        if (m.Action() == 0x01) ready.push_back(m.wParam);
    ASSERT_GE(ready.size(), 2u);
    EXPECT_EQ(ready[0], 0x1000001u);
    EXPECT_EQ(ready[1], 0x200001u);

    InsideMap discovered;
    CreateUnItemInside(discovered, nullptr);
    auto byKey = ByKey(items);
    ASSERT_EQ(items.size(), discovered.size() - 1) << "everything but the suite's own component";
    for (const auto& [name, record] : discovered) {
        auto it = byKey.find(record->KeyPath);
        if (record->UninstallKey == L"OrvaneCm") {
            EXPECT_EQ(it, byKey.end());
            continue;
        }
        ASSERT_NE(it, byKey.end()) << record->KeyPath.c_str();
        const CSoftItem& item = *it->second;
        EXPECT_EQ(item.Name, record->DisplayName);
        EXPECT_EQ(item.Folder, record->InstallLocation);
        EXPECT_EQ(item.Time, record->InstallDate);
        EXPECT_EQ(static_cast<ULONGLONG>(item.Size), record->Size);
        EXPECT_EQ(item.Use, record->Use);
    }

    const CSoftItem& viewer = *byKey.at(std::wstring(L"HKEY_LOCAL_MACHINE\\") + kUninstall + L"PhotoViewer");
    EXPECT_EQ(viewer.SoftId, L"sid-viewer");
    EXPECT_EQ(viewer.Id, 501u);
    EXPECT_EQ(viewer.Category, L"Tools");
    EXPECT_EQ(viewer.Brief, L"Views photos");
    EXPECT_EQ(viewer.InfoUrl, L"http://viewer.invalid");
    EXPECT_EQ(viewer.Icon, L"logo.png");

    const CSoftItem& chess =
        *byKey.at(std::wstring(L"HKEY_CURRENT_USER\\") + kUninstall + L"{0B1C2D3E-1111-2222-3333-444455556666}");
    EXPECT_EQ(chess.SoftId, L"sid-chess");
    EXPECT_EQ(chess.Id, 502u);
    EXPECT_EQ(chess.Category, L"Games");

    const CSoftItem& misc = *byKey.at(std::wstring(L"HKEY_LOCAL_MACHINE\\") + kUninstall + L"misc");
    EXPECT_EQ(misc.Category, L"其他");
    EXPECT_EQ(misc.SoftId.size(), 36u);
    EXPECT_GE(misc.Id, 0x100000u) << "the data component's own id for a software it has no rule for";
}

TEST_F(ListEndToEnd, NextStartShowsTheCachedListBeforeDiscovery) {
    std::vector<CSoftItem> first = Run(1);
    ASSERT_TRUE(kxtest::PathExists(cache / L"KxUninstall_32")) << "Uninit saved the list";
    std::string saved = kxtest::ReadFileBytes(cache / L"KxUninstall_32");
    ASSERT_GE(saved.size(), 12u);
    EXPECT_EQ(saved.substr(0, 8), std::string("\x03\0\0\0\x20\0\0\0", 8)) << "rules version 3, list type 0x20";

    std::vector<kxhost::ListMessage> messages;
    std::vector<CSoftItem> second = Run(2, &messages);
    // The cache's list-ready pair comes first, the build's pair after it.
    std::vector<WPARAM> ready;
    for (const auto& m : messages)
        if (m.Action() == 0x01) ready.push_back(m.wParam);
    ASSERT_GE(ready.size(), 4u);
    EXPECT_EQ(std::vector<WPARAM>(ready.begin(), ready.begin() + 4),
              (std::vector<WPARAM>{0x1000001, 0x200001, 0x1000001, 0x200001}));
    std::vector<std::wstring> order;
    for (const auto& line : kxtest::ReadLogLines(kxtest::ComponentLogPath())) {
        if (line.find(L"[F.CKxUninstMgr::TaskLoadCache()] End") != std::wstring::npos) order.push_back(L"cache");
        if (line.find(L"[F.CKxUninstMgr::TaskCreateUnList()] step.5") != std::wstring::npos) order.push_back(L"build");
    }
    ASSERT_GE(order.size(), 2u);
    EXPECT_EQ(order[order.size() - 2], L"cache");
    EXPECT_EQ(order.back(), L"build");

    // The second build refreshed the cached items instead of adding them again.
    ASSERT_EQ(second.size(), first.size());
    auto a = ByKey(first), b = ByKey(second);
    for (const auto& [key, item] : a) {
        ASSERT_TRUE(b.count(key)) << key.c_str();
        EXPECT_EQ(b[key]->SoftId, item->SoftId);
        EXPECT_EQ(b[key]->Id, item->Id);
        EXPECT_EQ(b[key]->Category, item->Category);
    }
}
