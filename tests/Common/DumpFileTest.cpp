#include <windows.h>

#include <gtest/gtest.h>

#include "DumpFile.h"
#include "kxtest/HostLayout.h"

namespace {

std::vector<std::wstring> DumpFiles(const std::wstring& prefix) {
    std::vector<std::wstring> files;
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((kxtest::LogFolder() + prefix + L"*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return files;
    do files.push_back(kxtest::LogFolder() + fd.cFileName);
    while (FindNextFileW(h, &fd));
    FindClose(h);
    return files;
}

void RemoveDumps(const std::wstring& prefix) {
    for (const auto& f : DumpFiles(prefix)) DeleteFileW(f.c_str());
}

std::string Utf16(const std::wstring& s) {
    return std::string(reinterpret_cast<const char*>(s.data()), s.size() * 2);
}

}  // namespace

TEST(DumpFile, NoFileWhenTheSwitchIsOffOrAbsent) {
    RemoveDumps(L"D_Probe_");
    kxtest::SetDiagConfig(L"Dump", nullptr, 0);
    CDumpFile absent;
    EXPECT_FALSE(absent.Open(L"Probe", L"Log\\D_Probe_%Y%m%d_%H%M%S.txt"));
    kxtest::SetDiagConfig(L"Dump", L"Probe", 0);
    CDumpFile off;
    EXPECT_FALSE(off.Open(L"Probe", L"Log\\D_Probe_%Y%m%d_%H%M%S.txt"));
    EXPECT_TRUE(DumpFiles(L"D_Probe_").empty());
}

TEST(DumpFile, Utf16WithBomCrLfHeaderAndFooter) {
    RemoveDumps(L"D_Probe_");
    kxtest::SetDiagConfig(L"Dump", L"Probe", 1);
    {
        CDumpFile dump;
        ASSERT_TRUE(dump.Open(L"Probe", L"Log\\D_Probe_%Y%m%d_%H%M%S.txt"));
        dump.WriteHeader(2);
        dump.Write(L"No.0\t名称\n");
        dump.Write(L"second");
        dump.Close();
    }
    kxtest::SetDiagConfig(L"Dump", nullptr, 0);
    auto files = DumpFiles(L"D_Probe_");
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].size(), kxtest::LogFolder().size() + wcslen(L"D_Probe_20261205_154401.txt"));
    std::string expected = "\xFF\xFE" + Utf16(L"Dump begin, Total Find: 2\r\n\r\nNo.0\t名称\r\n\r\nsecond\r\nDump end\r\n");
    EXPECT_EQ(kxtest::ReadFileBytes(files[0]), expected);
    RemoveDumps(L"D_Probe_");
}
