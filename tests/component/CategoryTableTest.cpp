// The process-wide category table: parsing of category.ini, the two lookups, loading by Init, and readers
// while another instance reloads it.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "CategoryTable.h"
#include "ComponentTestUtil.h"
#include "kxtest/HostLayout.h"
#include "kxtest/Log.h"
#include "kxtest/TempDir.h"

TEST(CategoryTable, ParsingAndBothLookups) {
    const struct {
        const wchar_t* ini;  // the file's text; nullptr: no file
        std::vector<std::pair<const wchar_t*, UINT>> byName;
        std::vector<std::pair<UINT, const wchar_t*>> byId;
    } cases[] = {
        // Exact, case-sensitive names; a name or an id not in the table gives the last entry's.
        {L"[Other]\r\n3.Hidden\r\n[List]\r\n0.All software\r\n1.Games\r\n5.Tools\r\n",
         {{L"All software", 0}, {L"Games", 1}, {L"Tools", 5}, {L"games", 5}, {L"Hidden", 5}, {L"", 5}},
         {{0, L"All software"}, {1, L"Games"}, {3, L"Tools"}, {6, L"Tools"}}},
        // Split at the first dot; no dot: id 0 and the whole line; no digits: 0; the first entry of an id wins.
        {L"[List]\r\n2.游戏.娱乐\r\n-1.Negative\r\nNoDot\r\n12\r\nx.Letters\r\n2.Second two\r\n7.Games\r\n7.Last\r\n",
         {{L"游戏.娱乐", 2}, {L"Negative", 0xFFFFFFFF}, {L"NoDot", 0}, {L"12", 0}, {L"Letters", 0}, {L"Second two", 2},
          {L"Games", 7}},
         {{2, L"游戏.娱乐"}, {0, L"NoDot"}, {99, L"Last"}}},
        // An empty table: 0 and the empty name.
        {nullptr, {{L"Games", 0}}, {{0, L""}, {1, L""}}},
        {L"[List]\r\n[Next]\r\n1.Games\r\n", {{L"Games", 0}}, {{0, L""}, {1, L""}}},
    };
    kxtest::TempDir dir;
    for (const auto& c : cases) {
        if (c.ini) kxtest::WriteUtf16File(dir / L"category.ini", c.ini);
        else DeleteFileW((dir / L"category.ini").c_str());
        LoadCategories((dir / L"category.ini").c_str());
        for (const auto& [name, id] : c.byName) EXPECT_EQ(CategoryIdByName(name), id) << name;
        for (const auto& [id, name] : c.byId) EXPECT_EQ(CategoryNameById(id), name) << id;
    }
    LoadCategories(nullptr);
    EXPECT_EQ(CategoryNameById(0), L"");
}

TEST(CategoryTable, InitLoadsTheConfigurationFolderOfTheHostWhileReadersGoOn) {
    const std::wstring path = kxtest::ConfFolder() + L"category.ini";
    EXPECT_EQ(CategoryIniPath(), kxtest::ExeFolder() + L"conf\\category.ini");
    kxtest::WriteUtf16File(path, L"[List]\r\n0.全部软件\r\n3.Office\r\n");
    LoadCategories(nullptr);
    {
        kxct::TaskRecorder recorder;
        kxct::MgrRef first, second;
        ASSERT_EQ(first->Init(), S_OK);
        EXPECT_EQ(CategoryNameById(0), L"全部软件");
        EXPECT_EQ(CategoryIdByName(L"Office"), 3u);
        // A second instance reloads the shared table while readers of the first keep going.
        kxtest::WriteUtf16File(path, L"[List]\r\n0.全部软件\r\n3.Office\r\n4.Media\r\n");
        std::atomic<bool> stop{false};
        std::atomic<int> odd{0};
        std::thread reader([&] {
            while (!stop) {
                std::wstring name = CategoryNameById(4);
                if (name != L"Office" && name != L"Media") ++odd;
            }
        });
        ASSERT_EQ(second->Init(), S_OK);
        for (int i = 0; i < 50; ++i) LoadCategories(path.c_str());
        stop = true;
        reader.join();
        EXPECT_EQ(odd, 0);
        EXPECT_EQ(CategoryNameById(4), L"Media");
        first->Uninit();
        second->Uninit();
    }
    DeleteFileW(path.c_str());
}
