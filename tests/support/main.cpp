#include <gtest/gtest.h>

#include "kxtest/ChildProcess.h"

int main(int argc, char** argv) {
    int exitCode = 0;
    if (kxtest::DispatchChildMode(argc, argv, exitCode)) return exitCode;
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
