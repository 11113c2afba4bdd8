// The sample package that leaves things behind, for real: installed by its NSIS installer, uninstalled by its
// own silent uninstaller inside the job wait, then scanned with a guard built from discovery. The scan finds
// exactly what the uninstaller left, and the case removes it afterwards.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <algorithm>

#include "DustTestKit.h"
#include "Dustman.h"
#include "JobWait.h"
#include "KxLog.h"
#include "KxUninstAPI.h"
#include "kxtest/HostLayout.h"
#include "kxtest/TempDir.h"

namespace {

using dusttest::Folder;
using dusttest::Lower;
using Texts = std::vector<std::wstring>;
const wchar_t kName[] = L"KxSample Diary 3.0";
const wchar_t kKey[] = L"KxSampleDiary";
const wchar_t kRun[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

std::wstring InstallFolder() { return Folder(CSIDL_PROGRAM_FILES) + L"\\KxSampleDiary"; }
std::wstring StartFolder() { return Folder(CSIDL_COMMON_PROGRAMS) + L"\\" + kName; }
std::wstring DesktopLink() { return Folder(CSIDL_DESKTOPDIRECTORY) + L"\\" + kName + L".lnk"; }

// Whatever an earlier run or this one left of the package.
void RemovePackage() {
    kxtest::RemoveTree(InstallFolder());
    kxtest::RemoveTree(StartFolder());
    DeleteFileW(DesktopLink().c_str());
    HKEY hRun = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kRun, 0, KEY_SET_VALUE, &hRun) == ERROR_SUCCESS) {
        RegDeleteValueW(hRun, kKey);
        RegCloseKey(hRun);
    }
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, (std::wstring(UNINST_API::kUninstallPath) + kKey).c_str());
}

Texts Sorted(const std::deque<std::wstring>& lst) {
    Texts v(lst.begin(), lst.end());
    std::sort(v.begin(), v.end());
    return v;
}

TEST(DustPackage, TheScanAfterTheRealUninstallFindsExactlyItsLeftovers) {
    CKxLog::Instance().Open();
    RemovePackage();
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    std::wstring setup = L"\"" + kxtest::ExeFolder() + L"KxSampleDiarySetup.exe\" /S";
    ASSERT_TRUE(CreateProcessW(nullptr, &setup[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    WaitForSingleObject(pi.hProcess, 120000);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);

    // The uninstall task's view: the program's record, its command run to the end, the program gone.
    InsideMap before;
    CreateUnItemInside(before, nullptr);
    ASSERT_EQ(before.count(kName), 1u);
    const UnItemInside item = *before.at(kName);
    EXPECT_EQ(item.UninstallKey, kKey);
    EXPECT_EQ(Lower(item.InstallLocation), Lower(InstallFolder() + L"\\"));
    // The guard's lighter pass: the same folder, no walk (no size, no use).
    InsideMap listed;
    ListInstalledPrograms(listed, nullptr);
    ASSERT_EQ(listed.count(kName), 1u);
    EXPECT_EQ(listed.at(kName)->InstallLocation, item.InstallLocation);
    EXPECT_EQ(listed.at(kName)->Size, 0u);
    EXPECT_EQ(listed.at(kName)->Use, 0u);
    EXPECT_NE(item.Use, 0u);
    ASSERT_TRUE(UNINST_API::WaitForAllProcess(item.UninstallString + L" /S", nullptr, nullptr));
    ASSERT_TRUE(UNINST_API::IsSoftwareGone(item.UninstallKey, item.UninstallString));

    CDustman dust(item.UninstallKey.c_str(), item.InstallLocation.c_str(), nullptr);
    dust.Parse();
    const std::wstring folder = Lower(InstallFolder() + L"\\");
    const std::wstring start = Lower(StartFolder() + L"\\" + kName + L".lnk");
    EXPECT_EQ(Sorted(dust.Files()), (Texts{folder + L"Entries\\first.txt", folder + L"diary.dat"}));
    EXPECT_EQ(Sorted(dust.Folders()), Texts{folder});
    EXPECT_EQ(dusttest::ToVector(dust.Links()), (Texts{Lower(DesktopLink()), start, start}));
    EXPECT_EQ(dusttest::ToVector(dust.Regs()),
              Texts{L"HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run\\\\kxsamplediary"});
    EXPECT_EQ(dust.GetDustCount(), 7u);
    RemovePackage();
}

}  // namespace
