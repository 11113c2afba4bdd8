#include <windows.h>

#include <gtest/gtest.h>

#include "DumpFile.h"
#include "kxtest/HostLayout.h"
#include "kxtest/Log.h"

// A dump is written only when its switch is 1; then as UTF-16 with a byte-order mark, CR LF line ends, the
// header with the count and the footer, under the name the pattern gives.
TEST(DumpFile, OnlyWhenSwitchedOnUtf16WithBomCrLfHeaderAndFooter) {
    kxtest::RemoveDumps(L"D_Probe_");
    for (int on : {-1, 0, 1}) {
        if (on < 0) kxtest::SetDiagConfig(L"Dump", nullptr, 0);
        else kxtest::SetDiagConfig(L"Dump", L"Probe", on);
        CDumpFile dump;
        ASSERT_EQ(dump.Open(L"Probe", L"Log\\D_Probe_%Y%m%d_%H%M%S.txt"), on == 1) << on;
        if (on != 1) continue;
        dump.WriteHeader(2);
        dump.Write(L"No.0\t名称\n");
        dump.Write(L"second");
        dump.Close();
    }
    kxtest::SetDiagConfig(L"Dump", nullptr, 0);
    auto files = kxtest::DumpFiles(L"D_Probe_");
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].size(), kxtest::LogFolder().size() + wcslen(L"D_Probe_20261205_154401.txt"));
    EXPECT_EQ(kxtest::ReadFileBytes(files[0]),
              "\xFF\xFE" + kxtest::Utf16Bytes(L"Dump begin, Total Find: 2\r\n\r\nNo.0\t名称\r\n\r\nsecond\r\nDump end\r\n"));
    kxtest::RemoveDumps(L"D_Probe_");
}
