#include "runtime/version.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

// Fills a buffer with a marker so untouched bytes show.
struct VersionBuffer {
    VersionBuffer() { memset(bytes, '@', sizeof bytes); }
    char bytes[300];
};

TEST(VersionFromFileName, CutsBetweenTheLastDashAndTheLastDot)
{
    struct Case {
        const char* name;
        int result;
        const char* text;
    };
    const Case cases[] = {
        {"jre-1.8.0_181.zip", 1, "1.8.0_181"},
        {"launcher-2.1.3.exe", 1, "2.1.3"},
        {"my-app-3.0.exe", 1, "3.0"},
        {"http://host/x-y/jre-1.2.3.4.zip", 1, "1.2.3.4"},
        {"jre-18", 0, "18"},
        {"jre-.zip", 1, ""},
        {"jre-", 0, ""},
        {"http://host/a-1.0/jre", 1, "1"},
        {"http://host/a-1.0/jre.zip", 1, "1.0/jre"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        VersionBuffer out;
        EXPECT_EQ(version_from_file_name(c.name, out.bytes, 256), c.result);
        EXPECT_STREQ(out.bytes, c.text);
        // The copy is NUL-padded to n bytes; nothing is written past them.
        size_t copied = strlen(strrchr(c.name, '-') + 1);
        EXPECT_EQ(std::string(out.bytes, copied).find(c.text), 0u);
        for (size_t i = copied; i < 256; i++)
            ASSERT_EQ(out.bytes[i], '\0') << "at " << i;
        EXPECT_EQ(out.bytes[256], '@');
    }
}

TEST(VersionFromFileName, WithoutDashTheBufferIsUntouched)
{
    VersionBuffer out;
    EXPECT_EQ(version_from_file_name("jre.zip", out.bytes, 256), 0);
    EXPECT_EQ(version_from_file_name("", out.bytes, 256), 0);
    EXPECT_EQ(out.bytes[0], '@');
    EXPECT_EQ(out.bytes[255], '@');
}

TEST(VersionFromFileName, LongTextIsCutAndTerminated)
{
    std::string name = "jre-" + std::string(400, '7') + ".zip";
    VersionBuffer out;
    EXPECT_EQ(version_from_file_name(name.c_str(), out.bytes, 256), 0);
    EXPECT_EQ(std::string(out.bytes), std::string(255, '7'));
    EXPECT_EQ(out.bytes[256], '@');

    VersionBuffer small;
    EXPECT_EQ(version_from_file_name("jre-1.2.zip", small.bytes, 4), 1);
    EXPECT_STREQ(small.bytes, "1");
    EXPECT_EQ(small.bytes[4], '@');

    VersionBuffer one;
    EXPECT_EQ(version_from_file_name("jre-1.2.zip", one.bytes, 1), 0);
    EXPECT_EQ(one.bytes[0], '\0');
    EXPECT_EQ(one.bytes[1], '@');

    VersionBuffer none;
    EXPECT_EQ(version_from_file_name("jre-1.2.zip", none.bytes, 0), 0);
    EXPECT_EQ(none.bytes[0], '@');
}

std::string wanted(const char* value)
{
    char out[VERSION_TEXT_SIZE];
    memset(out, 'x', sizeof out);
    component_wanted_version(value, out, sizeof out);
    return out;
}

TEST(ComponentWantedVersion, TakesTheTextAfterTheLastDashUpToItsLastDot)
{
    EXPECT_EQ(wanted("jre-1.2.3.4.zip"), "1.2.3.4");
    EXPECT_EQ(wanted("Launcher-1.2.2.0.exe"), "1.2.2.0");
    EXPECT_EQ(wanted("jre-8.zip"), "8");
    EXPECT_EQ(wanted("jre-8"), "8");
    // The last version part is taken for an extension.
    EXPECT_EQ(wanted("jre-1.2.3.4"), "1.2.3");
    EXPECT_EQ(wanted("http://host/runtime/my-jre-1.8.0_181.zip"), "1.8.0_181");
    // In a URL the last "-" anywhere counts, the host's included.
    EXPECT_EQ(wanted("http://my-host.example/files/jre.zip"), "host.example/files/jre");
}

TEST(ComponentWantedVersion, NoDashGivesTheEmptyText)
{
    EXPECT_EQ(wanted("http://host/files/jre.zip"), "");
    EXPECT_EQ(wanted(""), "");
}

TEST(ComponentWantedVersion, CutsATextThatDoesNotFitTheBuffer)
{
    char out[8];
    memset(out, 'x', sizeof out);
    component_wanted_version("jre-1234567890", out, sizeof out);
    EXPECT_EQ(std::string(out), "1234567");
}

struct Decision {
    int installed_known;
    const char* wanted;
    const char* installed;
    int fetch;
};

TEST(ComponentNeedsUpdate, ComparesDottedDecimalsAsNumbersAndOtherTextsByteByByte)
{
    const Decision decisions[] = {
        {1, "1.2.2.0", "1.2.1.0", 1},
        {1, "1.2.1.0", "1.2.1.0", 0},
        {1, "1.2.0.9", "1.2.1.0", 0},
        // Numbers, not texts: the tenth build and two-digit runtimes.
        {1, "1.10", "1.9", 1},
        {1, "1.9", "1.10", 0},
        {1, "1.2.10.0", "1.2.9.0", 1},
        {1, "11.0.2.0", "8.0.1810.13", 1},
        {1, "8.0.1810.13", "11.0.2.0", 0},
        // A missing field counts as 0; leading zeros do not count.
        {1, "1.2", "1.2.0.0", 0},
        {1, "1.2.0.0", "1.2", 0},
        {1, "1.2.0.0.1", "1.2", 1},
        {1, "1.02", "1.2.0.0", 0},
        {1, "1.2.2", "1.2.1.0", 1},
        // Fields of any size: the highest 16-bit field and beyond.
        {1, "65535.65535.65535.65535", "65535.65535.65535.65534", 1},
        {1, "65536", "65535.65535.65535.65535", 1},
        {1, "99999999999999999999999", "99999999999999999999998.9", 1},
        // Not both dotted decimals: byte by byte, a prefix the smaller.
        {1, "1.8.0_181", "1.8.0.0", 1},
        {1, "1.10.a", "1.9.0.0", 0},
        {1, "1.2.", "1.2.0.0", 0},
        {1, ".1", "0.0.0.0", 0},
        {1, "\xE9", "z", 1},
        {1, "z", "\xE9", 0},
        // A value without "-" never replaces a readable installed version.
        {1, "", "0.0.0.0", 0},
        // Nothing readable installed: always fetched.
        {0, "", "", 1},
        {0, "0", "65535.65535.65535.65535", 1},
    };
    for (const Decision& d : decisions) {
        SCOPED_TRACE(std::string(d.wanted) + " over " + d.installed);
        EXPECT_EQ(component_needs_update(d.installed_known, d.wanted, d.installed), d.fetch);
    }
}

TEST(ComponentNeedsUpdate, DescriptorValuesAgainstTheInstalledLauncher)
{
    EXPECT_EQ(component_needs_update(1, wanted("Launcher-1.2.2.0.exe").c_str(), "1.2.1.0"), 1);
    EXPECT_EQ(component_needs_update(1, wanted("Launcher-1.2.1.0.exe").c_str(), "1.2.1.0"), 0);
    EXPECT_EQ(component_needs_update(1, wanted("Launcher-1.2.0.9.exe").c_str(), "1.2.1.0"), 0);
    EXPECT_EQ(component_needs_update(1, wanted("http://host/Launcher.exe").c_str(), "1.2.1.0"), 0);
    EXPECT_EQ(component_needs_update(0, wanted("http://host/Launcher.exe").c_str(), ""), 1);
}

} // namespace
