#include <gtest/gtest.h>

#include "kxtest/ChildProcess.h"
#include "kxtest/SandboxedPrefix.h"

int main(int argc, char** argv) {
    // Every test binary deletes (temp folders, scratch registry keys, files the component writes).
    if (!kxtest::RequireSandboxedPrefix()) return 3;
    int exitCode = 0;
    if (kxtest::DispatchChildMode(argc, argv, exitCode)) return exitCode;
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
