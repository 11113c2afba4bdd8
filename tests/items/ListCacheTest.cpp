// The list cache file: its bytes, the checks of a load with their log-library and standard-output lines, the
// deletion of every file that does not load, and the cache load task.
#include <gtest/gtest.h>

#include <shlobj.h>

#include "KxUninstStartup.h"
#include "ListCache.h"
#include "ListTestSupport.h"
#include "kxtest/FakeDataMgr.h"
#include "kxtest/HostLayout.h"
#include "kxtest/Log.h"
#include "kxtest/Pump.h"
#include "kxtest/RegistryOverride.h"
#include "kxtest/TempDir.h"

using listtest::Bytes;
using listtest::CacheBytes;
using listtest::CaptureStdout;
using listtest::RecordingMgr;

namespace {

const wchar_t kUninstall[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

class ListCacheTest : public ::testing::Test {
protected:
    void SetUp() override {
        KxUninstStartup(nullptr);
        mgr.m_strCacheDir = dir.Path();
        path = CacheFilePath(mgr.m_strCacheDir, LIST_SOFT);
    }
    // Three items with everything filled, Chinese text included.
    static void FillThree(RecordingMgr& m) {
        const std::wstring root = std::wstring(L"HKEY_LOCAL_MACHINE\\") + kUninstall;
        m.m_vecSoft = {listtest::MakeSoft(L"Alpha", root + L"alpha", L"工具", 11),
                       listtest::MakeSoft(L"贝塔 Beta", root + L"beta", L"其他", 12),
                       listtest::MakeSoft(L"Gamma", root + L"gamma", L"Games", 13)};
        m.m_vecSoft[1]->Brief = L"简介";
        m.m_vecSoft[2]->Virtual = 1;
    }
    static std::string Payload(size_t n, size_t cutLast = 0) {
        RecordingMgr m;
        FillThree(m);
        std::string bytes;
        for (size_t i = 0; i < n; ++i) bytes += Bytes(*m.m_vecSoft[i]);
        return bytes.substr(0, bytes.size() - cutLast);
    }
    HRESULT Load(UINT type, UINT version, RecordingMgr& into) { return into.LoadFromDisk(type, version, kx::MakeBstr(path).get()); }
    HRESULT Dump(UINT type, UINT version) { return mgr.DumpToDisk(type, version, kx::MakeBstr(path).get()); }

    kxtest::TempDir dir;
    RecordingMgr mgr;
    std::wstring path;
};

}  // namespace

TEST_F(ListCacheTest, PathIsTheFixedApplicationDataFolderUnlessTheHostGaveOne) {
    wchar_t szAppData[MAX_PATH] = {};
    ASSERT_HRESULT_SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, szAppData));
    const std::wstring data = std::wstring(szAppData) + L"\\Orvane\\OrvaneVarnok\\solvend2\\data\\";
    EXPECT_EQ(CacheFilePath(L"", 0x20), data + L"KxUninstall_32");
    EXPECT_EQ(CacheFilePath(L"", 0x100), data + L"KxUninstall_256");
    EXPECT_EQ(CacheFilePath(L"C:\\cache\\", 0x20), L"C:\\cache\\KxUninstall_32");
    EXPECT_EQ(CacheFilePath(L"C:\\cache", 0x20), L"C:\\cache\\KxUninstall_32");
}

TEST_F(ListCacheTest, WritesByteForByteWhatItReads) {
    FillThree(mgr);
    size_t from = kxtest::XLogLines().size();
    ASSERT_EQ(Dump(LIST_SOFT, 7), S_OK);
    auto xlog = kxtest::XLogLines(from);
    ASSERT_EQ(xlog.size(), 2u);
    EXPECT_TRUE(kxtest::EndsWith(xlog[0], L"[64] 进入函数:CKxListMgr::DumpToDisk")) << xlog[0];
    EXPECT_NE(xlog[1].find(L"[64] 离开函数:CKxListMgr::DumpToDisk 执行耗时:"), std::wstring::npos) << xlog[1];
    const std::string expected = CacheBytes(7, LIST_SOFT, Payload(3));
    EXPECT_EQ(kxtest::ReadFileBytes(path), expected);
    // Loaded and written again: the same file.
    RecordingMgr loaded;
    ASSERT_EQ(Load(LIST_SOFT, 7, loaded), S_OK);
    std::swap(mgr.m_vecSoft, loaded.m_vecSoft);
    ASSERT_EQ(Dump(LIST_SOFT, 7), S_OK);
    EXPECT_EQ(kxtest::ReadFileBytes(path), expected);
    // Other list types are written with an empty payload.
    ASSERT_EQ(Dump(LIST_CATEGORY, 3), S_OK);
    EXPECT_EQ(kxtest::ReadFileBytes(path), CacheBytes(3, LIST_CATEGORY, ""));
    // A write that cannot open the file says so on standard output.
    path = dir / L"missing\\KxUninstall_32";
    HRESULT hr = S_OK;
    EXPECT_EQ(CaptureStdout([&] { hr = Dump(LIST_SOFT, 1); }), "open binary file failed! error code:3\n");
    EXPECT_EQ(hr, E_FAIL);
}

TEST_F(ListCacheTest, LoadChecksAndDeletesWhatDoesNotLoad) {
    const std::string good = CacheBytes(7, LIST_SOFT, Payload(3));
    RecordingMgr three;
    FillThree(three);
    // The third item up to just after its name (count and text of Id, SoftId and Name, one byte more).
    const std::string cut = Payload(2) + Bytes(*three.m_vecSoft[2]).substr(0, 4 + (4 + 20) + (4 + 10) + 1);
    const struct {
        const char* label;
        const char* file;  // nullptr: no file
        std::string bytes;
        UINT version;
        HRESULT hr;
        const char* out;        // standard output; nullptr: not checked
        std::wstring message;   // the log-library line between the tracer's two, when there is one
        size_t items;
    } cases[] = {
        {"good", "", good, 7, S_OK, "protocol version7\n", L"", 3},
        {"empty payload", "", CacheBytes(7, LIST_SOFT, ""), 7, S_OK, "protocol version7\n", L"", 0},
        {"payload ending inside the third item: what was read stays", "", CacheBytes(7, LIST_SOFT, cut), 7, S_OK,
         "protocol version7\n", L"", 3},
        {"version", "", good, 8, E_FAIL, "protocol version7\n", L"[64] 版本信息失败[type=32 version=8 path=" + path + L"]", 0},
        {"type", "", CacheBytes(7, LIST_CATEGORY, Payload(3)), 7, E_FAIL, "protocol version7\n",
         L"[64] CLSID检查失败[type=32 version=7 path=" + path + L" clsid=256]", 0},
        {"missing file", nullptr, "", 5, E_FAIL, "", L"[64] 打开文件失败[type=32 version=5 path=" + path + L"]", 0},
        {"empty file", "", "", 7, E_FAIL, nullptr, L"", 0},
        {"half a version", "", good.substr(0, 2), 7, E_FAIL, nullptr, L"", 0},
        {"no type", "", good.substr(0, 4), 7, E_FAIL, nullptr, L"", 0},
        {"no length", "", good.substr(0, 10), 7, E_FAIL, nullptr, L"", 0},
        {"payload cut short", "", good.substr(0, good.size() - 1), 7, E_FAIL, nullptr, L"", 0},
        {"length beyond the file", "", good.substr(0, 8) + listtest::U32(0xFFFFFFF0u), 7, E_FAIL, nullptr, L"", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        DeleteFileW(path.c_str());
        if (c.file) kxtest::WriteFileBytes(path, c.bytes);
        RecordingMgr loaded;
        HRESULT hr = S_OK;
        size_t from = kxtest::XLogLines().size();
        std::string out = CaptureStdout([&] { hr = Load(LIST_SOFT, c.version, loaded); });
        auto xlog = kxtest::XLogLines(from);
        EXPECT_EQ(hr, c.hr);
        if (c.out) {
            EXPECT_EQ(out, c.out);
        }
        EXPECT_EQ(loaded.m_vecSoft.size(), c.items);
        EXPECT_EQ(kxtest::PathExists(path), c.hr == S_OK) << "a file that does not load is deleted";
        ASSERT_GE(xlog.size(), 2u);
        EXPECT_TRUE(kxtest::EndsWith(xlog.front(), L"[64] 进入函数:CKxListMgr::LoadFromDisk")) << xlog.front();
        EXPECT_NE(xlog.back().find(L"[64] 离开函数:CKxListMgr::LoadFromDisk 执行耗时:"), std::wstring::npos);
        if (!c.message.empty()) {
            ASSERT_EQ(xlog.size(), 3u);
            EXPECT_TRUE(kxtest::EndsWith(xlog[1], c.message)) << xlog[1];
        }
        if (c.items == 3) {
            EXPECT_EQ(Bytes(*loaded.m_vecSoft[1]), Bytes(*three.m_vecSoft[1]));
            EXPECT_EQ(loaded.m_vecSoft[2]->Name, L"Gamma");
            EXPECT_EQ(loaded.m_vecSoft[2]->Id, 13u);
            EXPECT_EQ(loaded.m_vecSoft[2]->Key.empty(), c.bytes != good);
        }
    }
}

TEST_F(ListCacheTest, SaveUsesTheRuleDataVersionAndNeedsTheDataComponent) {
    FillThree(mgr);
    mgr.SaveSoftListCache();
    EXPECT_FALSE(kxtest::PathExists(path)) << "no data component, no save";
    kxtest::FakeDataMgr data;
    data.version = 9;
    mgr.m_pDataMgr.reset(&data);
    mgr.SaveSoftListCache();
    (void)mgr.m_pDataMgr.detach();
    EXPECT_EQ(kxtest::ReadFileBytes(path), CacheBytes(9, LIST_SOFT, Payload(3)));
}

// The load task: the cached items whose key still has a display name, fresh ids from the data component, then
// the categories' and the soft list's ready notifications; nothing at all when no item is left.
TEST_F(ListCacheTest, LoadTaskKeepsLiveKeysAndTakesFreshIds) {
    kxtest::RegistryOverride registry;
    for (const wchar_t* k : {L"alpha", L"gamma"})
        kxtest::SetString(HKEY_LOCAL_MACHINE, std::wstring(kUninstall) + k, L"DisplayName", k);
    kxtest::WriteFileBytes(path, CacheBytes(4, LIST_SOFT, Payload(3)));
    kxtest::FakeDataMgr data;
    data.version = 4;
    data.ids[L"soft-Alpha"] = 101;
    mgr.m_pDataMgr.reset(&data);
    mgr.TaskLoadCache();
    (void)mgr.m_pDataMgr.detach();
    ASSERT_EQ(mgr.m_vecSoft.size(), 2u) << "beta lost its key";
    EXPECT_EQ(mgr.m_vecSoft[0]->Id, 101u) << "the data component's id replaces the cached one";
    EXPECT_EQ(mgr.m_vecSoft[1]->Id, 13u) << "an id the data component does not know stays";
    EXPECT_TRUE(mgr.m_bListReady);
    EXPECT_EQ(mgr.notes, (kxtest::Notes{{0x1000001, 0}, {0x200001, 0}}));

    // An item cut before its key has none: dropped; nothing left, nothing said.
    RecordingMgr other;
    other.m_strCacheDir = dir.Path();
    kxtest::WriteFileBytes(path, CacheBytes(0, LIST_SOFT, Payload(3, 4)));
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, (std::wstring(kUninstall) + L"alpha").c_str());
    other.TaskLoadCache();
    EXPECT_TRUE(other.m_vecSoft.empty());
    EXPECT_FALSE(other.m_bListReady);
    EXPECT_TRUE(other.notes.empty());
}
