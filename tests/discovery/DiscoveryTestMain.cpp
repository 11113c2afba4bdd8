// The component's log is open in every discovery test, as it is under DllMain.
#include <gtest/gtest.h>

#include "KxUninstStartup.h"

namespace {
class OpenLog : public testing::Environment {
public:
    void SetUp() override { KxUninstStartup(nullptr); }
};
const testing::Environment* const kOpenLog = testing::AddGlobalTestEnvironment(new OpenLog);
}  // namespace
