#include "install/install.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

TEST(InstallShortcutScript, FillsTheNineLinesInPlaceholderOrder)
{
    char script[INSTALL_SCRIPT_SIZE];
    int length = install_shortcut_script(script, sizeof script, "Cameras",
                                         "Launcher Cameras Shortcut",
                                         "C:\\quorvel\\launcher\\Launcher.exe",
                                         "C:\\quorvel\\launcher\\sites\\", "C:\\quorvel\\launcher\\");
    const std::string expected =
        "Set Shell = CreateObject(\"WScript.Shell\")\r\n"
        "DesktopPath = Shell.SpecialFolders(\"Desktop\")\r\n"
        "Set link = Shell.CreateShortcut(DesktopPath & \"\\Cameras.lnk\")\r\n"
        "link.Description = \"Launcher Cameras Shortcut\"\r\n"
        "link.IconLocation = \"C:\\quorvel\\launcher\\Launcher.exe,0\"\r\n"
        "link.TargetPath = \"C:\\quorvel\\launcher\\sites\\\"\r\n"
        "link.WindowStyle = 3\r\n"
        "link.WorkingDirectory = \"C:\\quorvel\\launcher\\\"\r\n"
        "link.Save\r\n";
    EXPECT_EQ(std::string(script), expected);
    EXPECT_EQ(length, static_cast<int>(expected.size()));
}

TEST(InstallShortcutScript, TemplateHas288CharactersWithItsPlaceholders)
{
    char script[INSTALL_SCRIPT_SIZE];
    int length = install_shortcut_script(script, sizeof script, "%s", "%s", "%s", "%s", "%s");
    EXPECT_EQ(length, 288);
}

TEST(InstallShortcutScript, RefusesAScriptThatDoesNotFit)
{
    char script[64 + 8];
    memset(script, '@', sizeof script);
    EXPECT_EQ(install_shortcut_script(script, 64, "a", "b", "c", "d", "e"), -1);
    EXPECT_EQ(script[0], '\0');
    EXPECT_EQ(script[64], '@');
}

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
