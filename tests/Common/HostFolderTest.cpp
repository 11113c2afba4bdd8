#include <windows.h>

#include <gtest/gtest.h>

#include "KxUninstAPI.h"
#include "kxtest/ChildProcess.h"
#include "kxtest/HostLayout.h"

// The host folder is cached for the process, so each case runs in a fresh child.
KXTEST_CHILD_MODE(host_folder_plain) {
    (void)args;
    std::wstring exe = kxtest::ExeFolder();
    exe.pop_back();
    if (GetHostFolder() != exe) return 1;
    if (GetSoftIniPath() != exe + L"\\conf\\soft.ini") return 2;
    return 0;
}

KXTEST_CHILD_MODE(host_folder_suite) {
    (void)args;
    std::wstring suite = kxtest::ExeFolder() + L"suite";
    if (!LoadLibraryW((suite + L"\\KxInstUI.dll").c_str())) return 3;
    if (GetHostFolder() != suite) return 1;
    // Cached: unloading the module does not move it again.
    FreeLibrary(GetModuleHandleW(L"KxInstUI.dll"));
    if (GetHostFolder() != suite) return 2;
    return 0;
}

TEST(HostFolder, IsTheExecutablesFolderWithoutTheInstallerModule) { EXPECT_EQ(kxtest::RunChild("host_folder_plain"), 0u); }

TEST(HostFolder, IsTheInstallerModulesFolderWhenItIsLoaded) { EXPECT_EQ(kxtest::RunChild("host_folder_suite"), 0u); }
