// The process-wide category table: parsing of category.ini, the two lookups, loading by Init, and readers
// while another instance reloads it.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "CategoryTable.h"
#include "ComponentTestUtil.h"
#include "kxtest/HostLayout.h"
#include "kxtest/TempDir.h"

namespace {

// category.ini as UTF-16LE with a byte-order mark, the form the profile functions read Chinese names from.
void WriteIni(const std::wstring& path, const std::wstring& text) {
    std::string bytes = "\xFF\xFE";
    for (wchar_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    kxtest::WriteFileBytes(path, bytes);
}

}  // namespace

TEST(CategoryTable, LooksUpByNameAndIdWithTheLastEntryAsFallback) {
    kxtest::TempDir dir;
    WriteIni(dir / L"category.ini", L"[Other]\r\n3.Hidden\r\n[List]\r\n0.All software\r\n1.Games\r\n5.Tools\r\n");
    LoadCategories((dir / L"category.ini").c_str());
    EXPECT_EQ(CategoryIdByName(L"All software"), 0u);
    EXPECT_EQ(CategoryIdByName(L"Games"), 1u);
    EXPECT_EQ(CategoryIdByName(L"Tools"), 5u);
    EXPECT_EQ(CategoryIdByName(L"games"), 5u);  // exact, case-sensitive
    EXPECT_EQ(CategoryIdByName(L"Hidden"), 5u);
    EXPECT_EQ(CategoryIdByName(L""), 5u);
    EXPECT_EQ(CategoryNameById(0), L"All software");
    EXPECT_EQ(CategoryNameById(1), L"Games");
    EXPECT_EQ(CategoryNameById(3), L"Tools");
    EXPECT_EQ(CategoryNameById(6), L"Tools");
}

TEST(CategoryTable, SplitsAtTheFirstDotAndKeepsDuplicatesInFileOrder) {
    kxtest::TempDir dir;
    WriteIni(dir / L"category.ini",
             L"[List]\r\n2.游戏.娱乐\r\n-1.Negative\r\nNoDot\r\n12\r\nx.Letters\r\n2.Second two\r\n7.Games\r\n"
             L"7.Last\r\n");
    LoadCategories((dir / L"category.ini").c_str());
    EXPECT_EQ(CategoryNameById(2), L"游戏.娱乐");
    EXPECT_EQ(CategoryIdByName(L"游戏.娱乐"), 2u);
    EXPECT_EQ(CategoryIdByName(L"Negative"), 0xFFFFFFFFu);
    EXPECT_EQ(CategoryIdByName(L"NoDot"), 0u);
    EXPECT_EQ(CategoryIdByName(L"12"), 0u);       // no "." : id 0, the whole line as name
    EXPECT_EQ(CategoryIdByName(L"Letters"), 0u);  // no digits
    EXPECT_EQ(CategoryNameById(0), L"NoDot");     // the first entry with the id wins
    EXPECT_EQ(CategoryIdByName(L"Second two"), 2u);
    EXPECT_EQ(CategoryIdByName(L"Games"), 7u);
    EXPECT_EQ(CategoryNameById(99), L"Last");
}

TEST(CategoryTable, EmptyTableGivesZeroAndTheEmptyName) {
    kxtest::TempDir dir;
    WriteIni(dir / L"category.ini", L"[List]\r\n1.Games\r\n");
    LoadCategories((dir / L"category.ini").c_str());
    ASSERT_EQ(CategoryIdByName(L"Games"), 1u);
    for (int variant = 0; variant < 3; ++variant) {
        if (variant == 0) LoadCategories(nullptr);
        if (variant == 1) LoadCategories((dir / L"missing.ini").c_str());
        if (variant == 2) {
            WriteIni(dir / L"empty.ini", L"[List]\r\n[Next]\r\n1.Games\r\n");
            LoadCategories((dir / L"empty.ini").c_str());
        }
        EXPECT_EQ(CategoryIdByName(L"Games"), 0u) << variant;
        EXPECT_EQ(CategoryNameById(0), L"") << variant;
        EXPECT_EQ(CategoryNameById(1), L"") << variant;
    }
}

TEST(CategoryTable, InitLoadsTheConfigurationFolderOfTheHost) {
    const std::wstring path = kxtest::ConfFolder() + L"category.ini";
    EXPECT_EQ(CategoryIniPath(), kxtest::ExeFolder() + L"conf\\category.ini");
    WriteIni(path, L"[List]\r\n0.全部软件\r\n3.Office\r\n");
    LoadCategories(nullptr);
    {
        kxct::TaskRecorder recorder;
        kxct::MgrRef first;
        kxct::MgrRef second;
        ASSERT_EQ(first->Init(), S_OK);
        EXPECT_EQ(CategoryNameById(0), L"全部软件");
        EXPECT_EQ(CategoryIdByName(L"Office"), 3u);
        // A second instance reloads the shared table while readers of the first keep going.
        WriteIni(path, L"[List]\r\n0.全部软件\r\n3.Office\r\n4.Media\r\n");
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
