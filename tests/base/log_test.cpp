#include "base/log.h"

#include "tests/support/log_lines.h"
#include "tests/support/tempdir.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(LogFormatLine, PrefixTextAndLineEndAlwaysWhole)
{
    const LogTime time = {2026, 12, 8, 23, 5, 40, 7};
    const std::string prefix = "2026-12-08 23:05:40.007 [4242] ";
    struct Case {
        const char* text;
        size_t size;
        std::string line;
    };
    const Case cases[] = {
        {"GET http://a/b.jar directly", LOG_LINE_SIZE, prefix + "GET http://a/b.jar directly\r\n"},
        // A control character cannot end the line and forge another.
        {"a\r\n2026-01-01 [1] forged\tb", LOG_LINE_SIZE, prefix + "a  2026-01-01 [1] forged b\r\n"},
        {"abcdefgh", prefix.size() + 6, prefix + "abc\r\n"},
        {"abcdefgh", 10, "2026-12\r\n"},
        {"", 3, "\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        char out[LOG_LINE_SIZE];
        size_t length = log_format_line(out, c.size, &time, 4242, c.text);
        EXPECT_EQ(std::string(out), c.line);
        EXPECT_EQ(length, c.line.size());
    }
    char none[2] = "x";
    EXPECT_EQ(log_format_line(none, sizeof none, &time, 1, "text"), 0u);
    EXPECT_STREQ(none, "x");
}

TEST(LogOpen, ALogOverOneMebibyteIsTurnedOverOnceAndASmallerOneAppended)
{
    TempDir dir;
    const std::string log = dir.file("launcher.log");
    const std::string old(LOG_TURN_OVER_SIZE + 1, 'o');
    write_file(log + ".1", "oldest");
    write_file(log, old);
    log_open(log.c_str());
    log_line("first %d", 1);
    log_close();
    log_open(log.c_str());
    log_line("second");
    log_close();
    log_line("not written");
    EXPECT_EQ(read_file(log + ".1"), old);
    std::vector<LogLine> lines = log_lines(read_file(log));
    ASSERT_EQ(lines.size(), 2u);
    for (size_t i = 0; i < lines.size(); i++) {
        EXPECT_NE(lines[i].process, 0u);
        EXPECT_EQ(lines[i].text, i == 0 ? "first 1" : "second");
    }
}

TEST(LogHide, NoPartOfASecretReachesTheLogWhereSecretsOverlapOrTheLineIsCut)
{
    TempDir dir;
    const std::string log = dir.file("launcher.log");
    log_open(log.c_str());
    log_hide("");
    log_hide("Spring");
    log_hide("Spring2026!x");
    log_hide("Spring");
    log_line("folder http###admin#Spring2026!x@host#app#, again SpringSpring");
    const std::string filler(LOG_LINE_SIZE - 50, 'f');
    log_line("%s Spring2026!x", filler.c_str());
    log_close();
    std::vector<LogLine> lines = log_lines(read_file(log));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].text, "folder http###admin#***@host#app#, again ***");
    EXPECT_EQ(lines[1].text.find("2026"), std::string::npos) << lines[1].text;
    EXPECT_EQ(lines[1].text.substr(lines[1].text.size() - 4), " ***");
}

} // namespace
