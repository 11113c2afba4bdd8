// Included by a test binary whose code under test logs: the component's log beside the binary is open for every
// test, as it is once DllMain ran.
#pragma once

#include <gtest/gtest.h>

#include "KxLog.h"

namespace kxtest {

struct OpenComponentLog : testing::Environment {
    void SetUp() override { CKxLog::Instance().Open(); }
};
inline testing::Environment* const g_openComponentLog = testing::AddGlobalTestEnvironment(new OpenComponentLog);

}  // namespace kxtest
