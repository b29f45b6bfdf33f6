#include "runtime/installed.h"
#include "runtime/line.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Each form a version is written in, alone or in an archive's name: its
// line folder, update, patch and build (-1: none); "" for no version.
struct Form {
    const char* text;
    const char* line;
    unsigned update, patch;
    int build;
    const char* found; // an archive name's version as the name writes it
};

const Form versions[] = {
    {"1.8.0_181", "1.8", 181, 0, -1, nullptr},
    {"8u181", "1.8", 181, 0, -1, nullptr},
    {"8u392b08", "1.8", 392, 0, 8, nullptr},
    {"1.8.0_181-b13", "1.8", 181, 0, 13, nullptr},
    {"8.0.1810.13", "1.8", 181, 0, 13, nullptr},
    {"8.392.08.1", "1.8", 392, 0, 8, nullptr},
    {"1.8", "1.8", 0, 0, -1, nullptr},
    {"17", "17", 0, 0, -1, nullptr},
    {"17.0.9", "17", 9, 0, -1, nullptr},
    {"17.0.9+9", "17", 9, 0, 9, nullptr},
    {"17.0.9+9-LTS", "17", 9, 0, 9, nullptr},
    {"17.0.9_9", "17", 9, 0, 9, nullptr},
    {"17.0.9.0", "17", 9, 0, -1, nullptr},
    {"11.0.16.1", "11", 16, 1, -1, nullptr},
    {"17.0.9.8.1", "17", 9, 0, 8, nullptr},
    {"21+35", "21", 0, 0, 35, nullptr},
    {"", "", 0, 0, -1, nullptr},
    {"0.9", "", 0, 0, -1, nullptr},
    {"17.0.9 ", "", 0, 0, -1, nullptr},
    {"17.1.2.3.4.5", "", 0, 0, -1, nullptr},
    {"1234567", "", 0, 0, -1, nullptr},
};

const Form archives[] = {
    {"jre-1.8.0_181.zip", "1.8", 181, 0, -1, "1.8.0_181"},
    {"jre-17.0.1.0.zip", "17", 1, 0, -1, "17.0.1.0"},
    {"jre-8.zip", "1.8", 0, 0, -1, "8"},
    {"jre-1.2.3.4", "1.2", 4, 0, -1, "1.2.3.4"},
    {"http://h/x-1.0/OpenJDK17U-jre_x64_windows_hotspot_17.0.9_9.zip", "17", 9, 0, 9,
     "17.0.9_9"},
    {"zulu17.46.19-ca-jre17.0.9-win_x64.zip", "17", 9, 0, -1, "17.0.9"},
    {"jdk-17.0.9_windows-x64_bin.zip", "17", 9, 0, -1, "17.0.9"},
    {"microsoft-jdk-17.0.9-windows-x64.zip", "17", 9, 0, -1, "17.0.9"},
    {"amazon-corretto-17.0.9.8.1-windows-x64-jre.zip", "17", 9, 0, 8, "17.0.9.8.1"},
    {"OpenJDK8U-jre_x64_windows_hotspot_8u392b08.zip", "1.8", 392, 0, 8, "8u392b08"},
    {"http://my-host.example/files/jre.zip", "", 0, 0, -1, ""},
    {"jre_x64.zip", "", 0, 0, -1, ""},
    {"jre-latest.zip", "", 0, 0, -1, ""},
};

void expect_form(const Form& form, int parsed, const JavaVersion& version)
{
    EXPECT_EQ(parsed, form.line[0] != '\0');
    char line[LINE_TEXT_SIZE] = "?";
    EXPECT_EQ(parsed ? java_version_line(&version, line, sizeof line) : 0, parsed);
    EXPECT_STREQ(parsed ? line : "", form.line);
    EXPECT_EQ(version.update, form.update);
    EXPECT_EQ(version.patch, form.patch);
    EXPECT_EQ(version.has_build ? static_cast<int>(version.build) : -1, form.build);
}

TEST(JavaVersion, EveryFormAndArchiveNameGivesItsLineUpdateAndBuild)
{
    for (const Form& form : versions) {
        SCOPED_TRACE(form.text);
        JavaVersion version;
        expect_form(form, java_version_parse(form.text, &version), version);
    }
    for (const Form& form : archives) {
        SCOPED_TRACE(form.text);
        JavaVersion version;
        char found[VERSION_TEXT_SIZE] = "?";
        expect_form(form, java_version_of_archive(form.text, &version, found, sizeof found),
                    version);
        EXPECT_STREQ(found, form.found);
        char line[LINE_TEXT_SIZE] = "?";
        EXPECT_EQ(line_of_member(form.text, line, sizeof line), form.line[0] != '\0');
        EXPECT_STREQ(line, form.line);
    }
}

JavaVersion parsed(const char* text)
{
    JavaVersion version;
    EXPECT_TRUE(java_version_parse(text, &version)) << text;
    return version;
}

TEST(JavaVersion, AWantedBuildIsFetchedOnlyOverAnOlderOneOfTheLine)
{
    struct Decision {
        const char* wanted;
        const char* own;      // what the runtime says, "" for nothing
        const char* recorded; // what it was installed as, "" for no record
        int fetch;
    };
    const Decision decisions[] = {
        {"1.8.0_191", "8u181", "", 1},
        {"8u181", "8.0.1810.13", "", 0},
        {"1.8.0_181", "8.0.1810.13", "", 0},
        {"17.0.9", "17.0.9+9", "", 0},
        {"17.0.9_9", "17.0.9.0", "", 0},
        {"17.0.9_10", "17.0.9_9", "", 1},
        {"17.0.9_9", "17.0.9_10", "", 0},
        {"17.0.10", "17.0.9+9", "", 1},
        {"17", "11.0.16.1", "", 1},
        {"17.0.9.8.1", "17.0.9+8", "", 0},
        // A record keeps an archive whose contents say otherwise from
        // coming again; the runtime's word serves without one.
        {"17.0.9_9", "17.0.8", "17.0.9_9", 0},
        {"17.0.9_10", "17.0.8", "17.0.9_9", 1},
        {"8u191", "", "1.8.0_191", 0},
        {"8u191", "", "", 1},
    };
    for (const Decision& d : decisions) {
        SCOPED_TRACE(std::string(d.wanted) + " over " + d.own + " / " + d.recorded);
        InstalledRuntime installed = {};
        installed.own_known = d.own[0] && java_version_parse(d.own, &installed.own);
        installed.recorded_known = d.recorded[0] && java_version_parse(d.recorded, &installed.recorded);
        JavaVersion wanted = parsed(d.wanted);
        EXPECT_EQ(installed_needs_update(&wanted, &installed), d.fetch);
    }
}

TEST(JavaVersion, AReleaseFileSaysTheRuntimeVersionElseTheJavaVersion)
{
    JavaVersion version;
    char text[VERSION_TEXT_SIZE];
    EXPECT_EQ(installed_release_version("IMPLEMENTOR=\"X\"\r\nJAVA_VERSION=\"17.0.9\"\r\n"
                                        "JAVA_RUNTIME_VERSION=\"17.0.9+9\"\r\n",
                                        &version, text, sizeof text),
              1);
    EXPECT_STREQ(text, "17.0.9+9");
    EXPECT_EQ(installed_release_version("JAVA_VERSION=\"1.8.0_181\"\n", &version, text, sizeof text), 1);
    EXPECT_STREQ(text, "1.8.0_181");
    EXPECT_EQ(installed_release_version("JAVA_VERSION=1.8\nOS_NAME=\"Windows\"\n", &version, text,
                                        sizeof text),
              0);
}

} // namespace
