#include "app/command_line.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

CommandLineOptions scan(std::vector<const char*> args)
{
    args.insert(args.begin(), "Launcher.exe");
    return command_line_scan(args.data(), static_cast<int>(args.size()));
}

TEST(CommandLineScan, NoArgumentsNoDescriptor)
{
    CommandLineOptions options = scan({});
    EXPECT_FALSE(options.silent);
    EXPECT_FALSE(options.no_shortcut);
    EXPECT_EQ(options.descriptor_index, 1);
}

TEST(CommandLineScan, OptionsInAnyLetterCaseAndOrder)
{
    for (const char* silent : {"/S", "/s", "--silent", "--SILENT", "--Silent"}) {
        SCOPED_TRACE(silent);
        CommandLineOptions options = scan({silent});
        EXPECT_TRUE(options.silent);
        EXPECT_FALSE(options.no_shortcut);
        EXPECT_EQ(options.descriptor_index, 2);
    }
    CommandLineOptions options = scan({"--NO-Cameras-Shortcut", "/s", "--no-cameras-shortcut", "a.nlp"});
    EXPECT_TRUE(options.silent);
    EXPECT_TRUE(options.no_shortcut);
    EXPECT_EQ(options.descriptor_index, 4);
}

TEST(CommandLineScan, FirstNonOptionIsTheDescriptorAndEndsTheScan)
{
    CommandLineOptions options = scan({"--silent", "a.nlp", "--no-cameras-shortcut", "b.nlp"});
    EXPECT_TRUE(options.silent);
    EXPECT_FALSE(options.no_shortcut);
    EXPECT_EQ(options.descriptor_index, 2);

    for (const char* other : {"-S", "S", "/silent", "--silent ", "-silent", ""}) {
        SCOPED_TRACE(other);
        CommandLineOptions not_option = scan({other});
        EXPECT_FALSE(not_option.silent);
        EXPECT_EQ(not_option.descriptor_index, 1);
    }
}

TEST(CommandLineScan, UninstallOptions)
{
    for (const char* uninstall : {"--uninstall", "/UNINSTALL", "--UnInstall"}) {
        CommandLineOptions options = scan({uninstall, "/S"});
        EXPECT_TRUE(options.uninstall && options.silent) << uninstall;
        EXPECT_EQ(options.descriptor_index, 3) << uninstall;
    }
    EXPECT_EQ(scan({"--Finish-Uninstall=18446744073709551615"}).finish_uninstall, ~0ull);
    for (const char* other : {"-uninstall", "--finish-uninstall=", "--finish-uninstall=0",
                              "--finish-uninstall=12a",
                              "--finish-uninstall=18446744073709551616"}) {
        CommandLineOptions options = scan({other});
        EXPECT_FALSE(options.uninstall || options.finish_uninstall) << other;
        EXPECT_EQ(options.descriptor_index, 1) << other;
    }
}

TEST(CommandLineScan, AnArgumentThatDidNotFitIsNoOption)
{
    CommandLineOptions options = scan({"/S", nullptr, "--no-cameras-shortcut"});
    EXPECT_TRUE(options.silent);
    EXPECT_FALSE(options.no_shortcut);
    EXPECT_EQ(options.descriptor_index, 2);
}

} // namespace
