#include "install/install.h"

#include <gtest/gtest.h>

namespace {

TEST(InstallCommandNames, ComparesTheStartedProgramOnly)
{
    const char* launcher = "C:\\quorvel\\launcher\\Launcher.exe";
    for (const char* command : {"\"C:\\QUORVEL\\launcher\\launcher.EXE\" \"%1\"",
                                " C:\\quorvel\\launcher\\Launcher.exe %1"})
        EXPECT_TRUE(install_command_names(command, launcher)) << command;
    for (const char* command : {"\"C:\\other\\viewer.exe\" \"C:\\quorvel\\launcher\\Launcher.exe\"",
                                "\"C:\\quorvel\\launcher\\Launcher.exe",
                                "C:\\quorvel\\launcher\\Launcher", ""})
        EXPECT_FALSE(install_command_names(command, launcher)) << command;
}

} // namespace
