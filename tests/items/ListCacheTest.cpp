// The list cache file: its bytes, the checks of a load with their log and standard-output lines, the
// deletion of every file that does not load, and the cache load task.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <memory>

#include "KxUninstStartup.h"
#include "ListenerHost.h"
#include "ListCache.h"
#include "ListTestSupport.h"
#include "kxtest/HostLayout.h"
#include "kxtest/RegistryOverride.h"
#include "kxtest/TempDir.h"

using listtest::Bytes;
using listtest::CacheBytes;
using listtest::CaptureStdout;
using listtest::MakeSoft;
using listtest::RecordingMgr;
using listtest::TestDataMgr;
using listtest::XLogLines;

namespace {

const wchar_t kUninstall[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

std::wstring HklmKey(const std::wstring& subkey) { return std::wstring(L"HKEY_LOCAL_MACHINE\\") + kUninstall + subkey; }

class ListCacheTest : public ::testing::Test {
protected:
    void SetUp() override {
        KxUninstStartup(nullptr);
        mgr.m_strCacheDir = dir.Path();
        path = CacheFilePath(mgr.m_strCacheDir, 0x20);
    }
    // Three items with everything filled, Chinese text included.
    void FillThree(RecordingMgr& m) {
        m.m_vecSoft = {MakeSoft(L"Alpha", HklmKey(L"alpha"), L"工具", 11),
                       MakeSoft(L"贝塔 Beta", HklmKey(L"beta"), L"其他", 12),
                       MakeSoft(L"Gamma", HklmKey(L"gamma"), L"Games", 13)};
        m.m_vecSoft[1]->Brief = L"简介";
        m.m_vecSoft[2]->Virtual = 1;
    }
    std::string ThreePayload() {
        RecordingMgr m;
        FillThree(m);
        return Bytes(*m.m_vecSoft[0]) + Bytes(*m.m_vecSoft[1]) + Bytes(*m.m_vecSoft[2]);
    }
    HRESULT Load(UINT type, UINT version) {
        BSTR b = SysAllocString(path.c_str());
        HRESULT hr = mgr.LoadFromDisk(type, version, b);
        SysFreeString(b);
        return hr;
    }
    HRESULT Dump(UINT type, UINT version) {
        BSTR b = SysAllocString(path.c_str());
        HRESULT hr = mgr.DumpToDisk(type, version, b);
        SysFreeString(b);
        return hr;
    }
    // The kxxlog lines written while fn ran.
    std::vector<std::wstring> XLogOf(const std::function<void()>& fn) {
        size_t from = XLogLines().size();
        fn();
        return XLogLines(from);
    }
    static bool EndsWith(const std::wstring& line, const std::wstring& tail) {
        return line.size() >= tail.size() && line.compare(line.size() - tail.size(), tail.size(), tail) == 0;
    }

    kxtest::TempDir dir;
    RecordingMgr mgr;
    std::wstring path;
};

}  // namespace

TEST_F(ListCacheTest, PathIsTheFixedApplicationDataFolderUnlessTheHostGaveOne) {
    wchar_t szAppData[MAX_PATH] = {};
    ASSERT_HRESULT_SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, szAppData));
    RecordingMgr fresh;
    EXPECT_EQ(CacheFilePath(fresh.m_strCacheDir, 0x20),
              std::wstring(szAppData) + L"\\Orvane\\OrvaneVarnok\\solvend2\\data\\KxUninstall_32");
    EXPECT_EQ(CacheFilePath(fresh.m_strCacheDir, 0x100),
              std::wstring(szAppData) + L"\\Orvane\\OrvaneVarnok\\solvend2\\data\\KxUninstall_256");
    fresh.m_strCacheDir = L"C:\\cache\\";
    EXPECT_EQ(CacheFilePath(fresh.m_strCacheDir, 0x20), L"C:\\cache\\KxUninstall_32");
    fresh.m_strCacheDir = L"C:\\cache";
    EXPECT_EQ(CacheFilePath(fresh.m_strCacheDir, 0x20), L"C:\\cache\\KxUninstall_32");
}

TEST_F(ListCacheTest, RoundTripIsByteForByte) {
    FillThree(mgr);
    ASSERT_EQ(Dump(0x20, 7), S_OK);
    const std::string expected = CacheBytes(7, 0x20, ThreePayload());
    const std::string written = kxtest::ReadFileBytes(path);
    EXPECT_EQ(written, expected);

    RecordingMgr loaded;
    loaded.m_strCacheDir = dir.Path();
    BSTR b = SysAllocString(path.c_str());
    EXPECT_EQ(loaded.LoadFromDisk(0x20, 7, b), S_OK);
    SysFreeString(b);
    ASSERT_EQ(loaded.m_vecSoft.size(), 3u);
    for (size_t i = 0; i < 3; ++i) EXPECT_EQ(Bytes(*loaded.m_vecSoft[i]), Bytes(*mgr.m_vecSoft[i])) << i;
    EXPECT_EQ(kxtest::ReadFileBytes(path), expected) << "a good file stays";

    // Written again from the loaded list: the same file.
    mgr.ClearLists();
    std::swap(mgr.m_vecSoft, loaded.m_vecSoft);
    ASSERT_EQ(Dump(0x20, 7), S_OK);
    EXPECT_EQ(kxtest::ReadFileBytes(path), expected);
}

TEST_F(ListCacheTest, TracerLinesFrameEachOperation) {
    FillThree(mgr);
    auto lines = XLogOf([&] { Dump(0x20, 1); });
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(EndsWith(lines[0], L"[64] 进入函数:CKxListMgr::DumpToDisk")) << lines[0];
    EXPECT_NE(lines[1].find(L"[64] 离开函数:CKxListMgr::DumpToDisk 执行耗时:"), std::wstring::npos) << lines[1];
    lines = XLogOf([&] { Load(0x20, 1); });
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(EndsWith(lines[0], L"[64] 进入函数:CKxListMgr::LoadFromDisk")) << lines[0];
    EXPECT_NE(lines[1].find(L"[64] 离开函数:CKxListMgr::LoadFromDisk 执行耗时:"), std::wstring::npos) << lines[1];
}

TEST_F(ListCacheTest, OtherListTypesWriteAnEmptyPayload) {
    FillThree(mgr);
    ASSERT_EQ(Dump(0x100, 3), S_OK);
    EXPECT_EQ(kxtest::ReadFileBytes(path), CacheBytes(3, 0x100, ""));
}

TEST_F(ListCacheTest, VersionMismatchIsRejectedAndTheFileDeleted) {
    kxtest::WriteFileBytes(path, CacheBytes(7, 0x20, ThreePayload()));
    std::vector<std::wstring> lines;
    HRESULT hr = S_OK;
    std::string out = CaptureStdout([&] { lines = XLogOf([&] { hr = Load(0x20, 8); }); });
    EXPECT_EQ(hr, E_FAIL);
    EXPECT_EQ(out, "protocol version7\n");
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_TRUE(EndsWith(lines[1], L"[64] 版本信息失败[type=32 version=8 path=" + path + L"]")) << lines[1];
    EXPECT_FALSE(kxtest::PathExists(path));
    EXPECT_TRUE(mgr.m_vecSoft.empty());
}

TEST_F(ListCacheTest, TypeMismatchIsRejectedWithTheValueRead) {
    kxtest::WriteFileBytes(path, CacheBytes(7, 256, ThreePayload()));
    std::vector<std::wstring> lines;
    HRESULT hr = S_OK;
    std::string out = CaptureStdout([&] { lines = XLogOf([&] { hr = Load(0x20, 7); }); });
    EXPECT_EQ(hr, E_FAIL);
    EXPECT_EQ(out, "protocol version7\n");
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_TRUE(EndsWith(lines[1], L"[64] CLSID检查失败[type=32 version=7 path=" + path + L" clsid=256]"))
        << lines[1];
    EXPECT_FALSE(kxtest::PathExists(path));
}

TEST_F(ListCacheTest, MissingFileLogsTheOpenFailure) {
    std::vector<std::wstring> lines;
    HRESULT hr = S_OK;
    std::string out = CaptureStdout([&] { lines = XLogOf([&] { hr = Load(0x20, 5); }); });
    EXPECT_EQ(hr, E_FAIL);
    EXPECT_EQ(out, "");
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_TRUE(EndsWith(lines[1], L"[64] 打开文件失败[type=32 version=5 path=" + path + L"]")) << lines[1];
}

TEST_F(ListCacheTest, EmptyPayloadLoadsNothingAndSucceeds) {
    kxtest::WriteFileBytes(path, CacheBytes(7, 0x20, ""));
    EXPECT_EQ(Load(0x20, 7), S_OK);
    EXPECT_TRUE(mgr.m_vecSoft.empty());
    EXPECT_TRUE(kxtest::PathExists(path));
}

TEST_F(ListCacheTest, ShortFilesAndImplausibleLengthsAreFailedLoads) {
    const std::string good = CacheBytes(7, 0x20, ThreePayload());
    struct Case {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"empty file", ""},
        {"half a version", good.substr(0, 2)},
        {"no type", good.substr(0, 4)},
        {"no length", good.substr(0, 10)},
        {"payload cut short", good.substr(0, good.size() - 1)},
        {"length beyond the file", CacheBytes(7, 0x20, "").substr(0, 8) + listtest::U32(0xFFFFFFF0u)},
    };
    for (const Case& c : cases) {
        kxtest::WriteFileBytes(path, c.bytes);
        CaptureStdout([&] { EXPECT_EQ(Load(0x20, 7), E_FAIL) << c.what; });
        EXPECT_FALSE(kxtest::PathExists(path)) << c.what;
        EXPECT_TRUE(mgr.m_vecSoft.empty()) << c.what;
    }
}

TEST_F(ListCacheTest, FailedWriteIsReportedOnStandardOutput) {
    FillThree(mgr);
    path = dir / L"missing\\KxUninstall_32";
    HRESULT hr = S_OK;
    std::string out = CaptureStdout([&] { hr = Dump(0x20, 1); });
    EXPECT_EQ(hr, E_FAIL);
    EXPECT_EQ(out, "open binary file failed! error code:3\n");
}

TEST_F(ListCacheTest, PayloadEndingInsideTheThirdItemKeepsWhatWasRead) {
    RecordingMgr m;
    FillThree(m);
    const std::string first2 = Bytes(*m.m_vecSoft[0]) + Bytes(*m.m_vecSoft[1]);
    // The third item up to and including its name: everything after is missing.
    const std::string third = Bytes(*m.m_vecSoft[2]);
    const size_t cut = 4 + (4 + m.m_vecSoft[2]->SoftId.size() * 2) + (4 + m.m_vecSoft[2]->Name.size() * 2);
    kxtest::WriteFileBytes(path, CacheBytes(7, 0x20, first2 + third.substr(0, cut + 1)));
    ASSERT_EQ(Load(0x20, 7), S_OK);
    ASSERT_EQ(mgr.m_vecSoft.size(), 3u);
    EXPECT_EQ(Bytes(*mgr.m_vecSoft[1]), Bytes(*m.m_vecSoft[1]));
    EXPECT_EQ(mgr.m_vecSoft[2]->Name, L"Gamma");
    EXPECT_EQ(mgr.m_vecSoft[2]->Id, 13u);
    EXPECT_TRUE(mgr.m_vecSoft[2]->Key.empty());
    EXPECT_TRUE(mgr.m_vecSoft[2]->Category.empty());
}

class CacheLoadTaskTest : public ListCacheTest {
protected:
    void SetUp() override {
        ListCacheTest::SetUp();
        for (const wchar_t* k : {L"alpha", L"beta", L"gamma"})
            kxtest::SetString(HKEY_LOCAL_MACHINE, std::wstring(kUninstall) + k, L"DisplayName", k);
    }
    kxtest::RegistryOverride registry;
};

TEST_F(CacheLoadTaskTest, ListIsReadyFromTheCacheWithFreshIds) {
    RecordingMgr m;
    FillThree(m);
    kxtest::WriteFileBytes(path, CacheBytes(4, 0x20, Bytes(*m.m_vecSoft[0]) + Bytes(*m.m_vecSoft[1]) +
                                                         Bytes(*m.m_vecSoft[2])));
    TestDataMgr data;
    data.version = 4;
    data.ids[L"soft-Alpha"] = 101;
    mgr.m_pDataMgr.reset(&data);
    mgr.TaskLoadCache();
    (void)mgr.m_pDataMgr.detach();

    ASSERT_EQ(mgr.m_vecSoft.size(), 3u);
    EXPECT_EQ(mgr.m_vecSoft[0]->Id, 101u) << "the data component's id replaces the cached one";
    EXPECT_EQ(mgr.m_vecSoft[1]->Id, 12u) << "an id the data component does not know stays";
    EXPECT_TRUE(mgr.m_bListReady);
    ASSERT_GE(mgr.notes.size(), 2u);
    EXPECT_EQ(mgr.notes[mgr.notes.size() - 2], std::make_pair(WPARAM(0x1000001), LPARAM(0)));
    EXPECT_EQ(mgr.notes.back(), std::make_pair(WPARAM(0x200001), LPARAM(0)));

    std::vector<std::wstring> steps;
    for (const auto& line : kxtest::ReadLogLines(kxtest::ComponentLogPath()))
        if (line.find(L"[F.CKxUninstMgr::TaskLoadCache()]") != std::wstring::npos) steps.push_back(line);
    ASSERT_GE(steps.size(), 4u);
    const wchar_t* expected[] = {L"Begin", L"step.1 加载Cache", L"step.2 分析Cache", L"End"};
    for (size_t i = 0; i < 4; ++i)
        EXPECT_TRUE(EndsWith(steps[steps.size() - 4 + i], std::wstring(L"] ") + expected[i])) << steps[steps.size() - 4 + i];
}

TEST_F(CacheLoadTaskTest, HostWindowsHearCategoriesThenTheSoftList) {
    RecordingMgr m;
    FillThree(m);
    kxtest::WriteFileBytes(path, CacheBytes(0, 0x20, Bytes(*m.m_vecSoft[0]) + Bytes(*m.m_vecSoft[1])));
    kxhost::CListenerHost host;
    HWND soft = host.CreateListener();
    HWND categories = host.CreateListener();
    auto* real = new CKxUninstMgr();
    real->AddRef();
    real->m_strCacheDir = dir.Path();
    ASSERT_EQ(real->AddListener(soft, 0x20), S_OK);
    ASSERT_EQ(real->AddListener(categories, 0x100), S_OK);
    real->TaskLoadCache();
    ASSERT_TRUE(host.Sync(soft));
    ASSERT_TRUE(host.Sync(categories));
    auto messages = host.Messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].hWnd, categories);
    EXPECT_EQ(messages[0].wParam, 0x1000001u);
    EXPECT_EQ(messages[1].hWnd, soft);
    EXPECT_EQ(messages[1].wParam, 0x200001u);
    EXPECT_EQ(messages[1].lParam, 0);
    UINT size = 0;
    EXPECT_EQ(real->GetSize(0x20, &size), S_OK);
    EXPECT_EQ(size, 2u);
    real->Release();
}

TEST_F(CacheLoadTaskTest, ItemsWhoseKeyLostItsDisplayNameAreDropped) {
    RecordingMgr m;
    FillThree(m);
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, (std::wstring(kUninstall) + L"beta").c_str());
    // The third item ends before its key: its key is empty and it is dropped too.
    const std::string third = Bytes(*m.m_vecSoft[2]);
    kxtest::WriteFileBytes(path, CacheBytes(0, 0x20, Bytes(*m.m_vecSoft[0]) + Bytes(*m.m_vecSoft[1]) +
                                                         third.substr(0, third.size() - 4)));
    mgr.TaskLoadCache();
    ASSERT_EQ(mgr.m_vecSoft.size(), 1u);
    EXPECT_EQ(mgr.m_vecSoft[0]->Name, L"Alpha");
    EXPECT_TRUE(mgr.m_bListReady);
}

TEST_F(CacheLoadTaskTest, NothingLeftMeansNoNotification) {
    RecordingMgr m;
    FillThree(m);
    kxtest::WriteFileBytes(path, CacheBytes(0, 0x20, Bytes(*m.m_vecSoft[0])));
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, (std::wstring(kUninstall) + L"alpha").c_str());
    mgr.TaskLoadCache();
    EXPECT_TRUE(mgr.m_vecSoft.empty());
    EXPECT_FALSE(mgr.m_bListReady);
    EXPECT_TRUE(mgr.notes.empty());
}

TEST_F(ListCacheTest, SaveUsesTheRuleDataVersionAndNeedsTheDataComponent) {
    FillThree(mgr);
    mgr.SaveSoftListCache();
    EXPECT_FALSE(kxtest::PathExists(path)) << "no data component, no save";
    TestDataMgr data;
    data.version = 9;
    mgr.m_pDataMgr.reset(&data);
    mgr.SaveSoftListCache();
    (void)mgr.m_pDataMgr.detach();
    EXPECT_EQ(kxtest::ReadFileBytes(path), CacheBytes(9, 0x20, ThreePayload()));

}
