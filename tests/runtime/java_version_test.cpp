#include "runtime/installed.h"
#include "runtime/line.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// A version, or an archive name and the version as it writes it (found):
// line folder ("" no version), update, patch and build (-1: none).
struct Form {
    const char *text, *found, *line;
    unsigned update, patch;
    int build;
};

const Form forms[] = {
    {"1.8.0_181", nullptr, "1.8", 181, 0, -1}, {"8u181", nullptr, "1.8", 181, 0, -1},
    {"8u392b08", nullptr, "1.8", 392, 0, 8}, {"1.8.0_181-b13", nullptr, "1.8", 181, 0, 13},
    {"8.0.1810.13", nullptr, "1.8", 181, 0, 13}, {"8.392.08.1", nullptr, "1.8", 392, 0, 8},
    {"17", nullptr, "17", 0, 0, -1}, {"17.0.9", nullptr, "17", 9, 0, -1},
    {"17.0.9+9-LTS", nullptr, "17", 9, 0, 9}, {"17.0.9_9", nullptr, "17", 9, 0, 9},
    {"17.0.9.0", nullptr, "17", 9, 0, -1}, {"11.0.16.1", nullptr, "11", 16, 1, -1},
    {"17.0.9.8.1", nullptr, "17", 9, 0, 8}, {"21+35", nullptr, "21", 0, 0, 35},
    {"0.9", nullptr, "", 0, 0, -1}, {"17.0.9 ", nullptr, "", 0, 0, -1},
    {"1234567", nullptr, "", 0, 0, -1},
    {"jre-1.8.0_181.zip", "1.8.0_181", "1.8", 181, 0, -1},
    {"jre-17.0.1.0.zip", "17.0.1.0", "17", 1, 0, -1},
    {"jre-8.zip", "8", "1.8", 0, 0, -1},
    {"jre-1.2.3.4", "1.2.3.4", "1.2", 4, 0, -1},
    {"http://h/x-1.0/OpenJDK17U-jre_x64_windows_hotspot_17.0.9_9.zip", "17.0.9_9", "17", 9, 0, 9},
    {"zulu17.46.19-ca-jre17.0.9-win_x64.zip", "17.0.9", "17", 9, 0, -1},
    {"jdk-17.0.9_windows-x64_bin.zip", "17.0.9", "17", 9, 0, -1},
    {"microsoft-jdk-17.0.9-windows-x64.zip", "17.0.9", "17", 9, 0, -1},
    {"amazon-corretto-17.0.9.8.1-windows-x64-jre.zip", "17.0.9.8.1", "17", 9, 0, 8},
    {"OpenJDK8U-jre_x64_windows_hotspot_8u392b08.zip", "8u392b08", "1.8", 392, 0, 8},
    {"zulu8.76.0.17-ca-jre8.0.402-win_x64.zip", "8.0.402", "1.8", 402, 0, -1},
    {"http://my-host.example/files/jre.zip", "", "", 0, 0, -1},
    {"jre_x64.zip", "", "", 0, 0, -1},
};

TEST(JavaVersion, EveryFormAndArchiveNameGivesItsLineUpdateAndBuild)
{
    for (const Form& form : forms) {
        SCOPED_TRACE(form.text);
        JavaVersion version;
        char found[VERSION_TEXT_SIZE] = "";
        int parsed = form.found ? java_version_of_archive(form.text, &version, found, sizeof found)
                                : java_version_parse(form.text, &version);
        EXPECT_STREQ(found, form.found ? form.found : "");
        char line[LINE_TEXT_SIZE] = "";
        EXPECT_EQ(parsed && java_version_line(&version, line, sizeof line), form.line[0] != '\0');
        EXPECT_STREQ(line, form.line);
        EXPECT_EQ(version.update, form.update);
        EXPECT_EQ(version.patch, form.patch);
        EXPECT_EQ(version.has_build ? static_cast<int>(version.build) : -1, form.build);
        if (form.found) {
            EXPECT_EQ(line_of_member(form.text, line, sizeof line), parsed);
            EXPECT_STREQ(line, form.line);
        }
    }
}

TEST(JavaVersion, AWantedBuildIsFetchedOnlyOverAnOlderOneOfTheLine)
{
    // What is wanted, what the runtime says ("" nothing), what it was
    // installed as ("" no record), whether it is fetched.
    const char* const decisions[][4] = {
        {"1.8.0_191", "8u181", "", "1"},       {"8u181", "8.0.1810.13", "", "0"},
        {"17.0.9", "17.0.9+9", "", "0"},       {"17.0.9_9", "17.0.9.0", "", "0"},
        {"17.0.9_10", "17.0.9_9", "", "1"},    {"17.0.9_9", "17.0.9_10", "", "0"},
        {"17.0.10", "17.0.9+9", "", "1"},      {"17.0.9.8.1", "17.0.9+8", "", "0"},
        // A record keeps an archive whose contents say otherwise from
        // coming again; the runtime's word serves without one.
        {"17.0.9_9", "17.0.8", "17.0.9_9", "0"}, {"17.0.9_10", "17.0.8", "17.0.9_9", "1"},
        {"8u191", "", "1.8.0_191", "0"},       {"8u191", "", "", "1"},
    };
    for (const auto& d : decisions) {
        SCOPED_TRACE(std::string(d[0]) + " over " + d[1] + " / " + d[2]);
        InstalledRuntime installed = {};
        JavaVersion wanted;
        ASSERT_TRUE(java_version_parse(d[0], &wanted));
        installed.own_known = d[1][0] && java_version_parse(d[1], &installed.own);
        installed.recorded_known = d[2][0] && java_version_parse(d[2], &installed.recorded);
        EXPECT_EQ(installed_needs_update(&wanted, &installed), d[3][0] - '0');
    }
}

TEST(JavaVersion, AReleaseFileSaysTheRuntimeVersionElseTheJavaVersion)
{
    const char* const releases[][2] = {
        {"A=\"X\"\r\nJAVA_VERSION=\"17.0.9\"\r\nJAVA_RUNTIME_VERSION=\"17.0.9+9\"\r\n", "17.0.9+9"},
        {"JAVA_VERSION=\"1.8.0_181\"\n", "1.8.0_181"},
        {"JAVA_VERSION=1.8\nOS_NAME=\"Windows\"\n", ""},
    };
    for (const auto& release : releases) {
        JavaVersion version;
        char text[VERSION_TEXT_SIZE] = "";
        EXPECT_EQ(installed_release_version(release[0], &version, text, sizeof text),
                  release[1][0] != '\0');
        EXPECT_STREQ(text, release[1]);
    }
}

} // namespace
