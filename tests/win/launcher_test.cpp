#include "tests/win/harness.h"

#include <gtest/gtest.h>

namespace {

TEST(Launcher, StartsAndEndsWithExitCodeZero)
{
    RunResult run = harness_run("\"" + harness_program_folder() + "Launcher.exe\"", 30000);
    ASSERT_TRUE(run.started);
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exit_code, 0u);
}

} // namespace
