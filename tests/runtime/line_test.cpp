#include "runtime/line.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

TEST(LineOfVersion, TheSecondNumberAfterAOneElseTheFirst)
{
    struct Case {
        const char* version;
        int result;
        const char* line;
    };
    const Case cases[] = {
        // From archive names and from java.exe's file versions.
        {"1.8.0_181", 1, "1.8"},
        {"1.8.0.181", 1, "1.8"},
        {"1.10", 1, "1.10"},
        {"17.0.1.0", 1, "17"},
        {"21+35", 1, "21"},
        {"8.0.1810.13", 1, "8"},
        // Leading zeros do not make another line; a 1 alone is its own.
        {"01.08.0", 1, "1.8"},
        {"017", 1, "17"},
        {"1.x", 1, "1"},
        // No number first: no line; nor one that does not fit.
        {"", 0, ""},
        {"x1.8", 0, ""},
        {"123456789012345", 1, "123456789012345"},
        {"1234567890123456", 0, ""},
        {"1.12345678901234", 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.version);
        char out[LINE_TEXT_SIZE + 1];
        memset(out, '@', sizeof out);
        EXPECT_EQ(line_of_version(c.version, out, LINE_TEXT_SIZE), c.result);
        EXPECT_STREQ(out, c.line);
        EXPECT_EQ(out[LINE_TEXT_SIZE], '@');
    }
    char untouched = '@';
    EXPECT_EQ(line_of_version("17", &untouched, 0), 0);
    EXPECT_EQ(untouched, '@');
}

} // namespace
