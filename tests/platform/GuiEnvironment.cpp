// Ends the GUI run time that text tests start, once all tests have run, so
// the test program exits with Qt torn down (and leak checkers stay quiet).
#include "platform/GuiRuntime.h"

#include <gtest/gtest.h>

namespace {

class GuiRuntimeEnvironment : public ::testing::Environment {
public:
    void TearDown() override { plastora::shutdownGuiRuntime(); }
};

[[maybe_unused]] ::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new GuiRuntimeEnvironment);

}  // namespace
