#include "cache/tally.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const NumberStyle ENGLISH = {".", ","};
const NumberStyle FRENCH = {",", "\xE2\x80\xAF"};  // narrow no-break space
const NumberStyle PLAIN = {".", ""};

TEST(TallyText, SizesRatesAndTimesLeft)
{
    struct Case {
        long long bytes;
        const NumberStyle* style;
        const char* size;
        const char* rate;
    } cases[] = {
        {0, &ENGLISH, "0 bytes", "0 bytes/s"},
        {999, &ENGLISH, "999 bytes", "999 bytes/s"},
        {1000, &ENGLISH, "1.0 KB", "1.0 KB/s"},
        {1536, &FRENCH, "1,5 KB", "1,5 KB/s"},
        {1023948, &ENGLISH, "999.9 KB", "999.9 KB/s"},
        {1023999, &ENGLISH, "1.0 MB", "1.0 MB/s"},
        {200LL << 20, &ENGLISH, "200.0 MB", "200.0 MB/s"},
        {1234LL << 30, &ENGLISH, "1.2 TB", "1.2 TB/s"},
        {5000LL << 40, &ENGLISH, "5,000.0 TB", "5,000.0 TB/s"},
        {5000LL << 40, &FRENCH, "5\xE2\x80\xAF" "000,0 TB", "5\xE2\x80\xAF" "000,0 TB/s"},
        {5000LL << 40, &PLAIN, "5000.0 TB", "5000.0 TB/s"},
        {-5, &ENGLISH, "0 bytes", "0 bytes/s"},
    };
    for (const Case& c : cases) {
        char text[64];
        tally_size_text(c.bytes, c.style, text, sizeof text);
        EXPECT_STREQ(text, c.size) << c.bytes;
        tally_rate_text(static_cast<double>(c.bytes), c.style, text, sizeof text);
        EXPECT_STREQ(text, c.rate) << c.bytes;
    }

    struct Left {
        long long seconds;
        const char* text;
    } lefts[] = {
        {0, "0 s left"}, {59, "59 s left"}, {60, "1 min 0 s left"}, {130, "2 min 10 s left"},
        {3599, "59 min 59 s left"}, {3600, "1 h 0 min left"}, {3900, "1 h 5 min left"},
        {100 * 3600 + 61, "100 h 1 min left"},
    };
    for (const Left& l : lefts) {
        char text[64];
        tally_time_left_text(l.seconds, text, sizeof text);
        EXPECT_STREQ(text, l.text) << l.seconds;
    }
}

TEST(TallyText, DetailLinesAndTheWholeLaunch)
{
    struct Case {
        TallyFigures figures;
        TallyMoment moment;
        const char* detail;
        int permille;
    } cases[] = {
        // Nothing answered yet: by files.
        {{3, 0, 0, 0, 0, 0, false}, {-1, -1}, "0 of 3 files, 0 bytes", 0},
        // Two kept copies (304) of three: by files.
        {{3, 2, 0, 2, 0, 0, false}, {-1, -1}, "2 of 3 files, 0 bytes", 666},
        // One length known of three files: the other two count as its mean.
        {{3, 0, 1, 0, 1 << 20, 1 << 19, false}, {-1, -1}, "0 of 3 files, 512.0 KB of 3.0 MB", 166},
        {{3, 1, 2, 0, 3 << 20, 3 << 19, false}, {524288, 3},
         "1 of 3 files, 1.5 MB of 4.5 MB, 512.0 KB/s, 3 s left", 333},
        // A kept copy counts for nothing in bytes.
        {{3, 2, 2, 1, 2 << 20, 2 << 20, false}, {1 << 20, 0},
         "2 of 3 files, 2.0 MB of 2.0 MB, 1.0 MB/s, 0 s left", 1000},
        {{0, 0, 0, 0, 0, 0, false}, {-1, -1}, "0 of 0 files, 0 bytes", 0},
    };
    for (const Case& c : cases) {
        char text[128];
        tally_detail_text(&c.figures, &c.moment, &ENGLISH, text, sizeof text);
        EXPECT_STREQ(text, c.detail);
        EXPECT_EQ(tally_permille(&c.figures), c.permille) << c.detail;
    }

    // Cut at a whole character: the narrow space's three bytes go together.
    TallyFigures big = {1, 0, 1, 0, 5000LL << 40, 0, false};
    TallyMoment none = {-1, -1};
    char text[28];
    tally_detail_text(&big, &none, &FRENCH, text, sizeof text);
    EXPECT_STREQ(text, "0 of 1 files, 0 bytes of 5");
}

TEST(TallySpeed, RateAfterASecondOfDataAndTimeLeft)
{
    TallySpeed speed = tally_speed_start();
    TallyFigures figures = {1, 0, 1, 0, 10000, 0, false};
    struct Step {
        long long at_ms;
        long long bytes;
        double rate;
        long long left;
    } steps[] = {
        {0, 0, -1, -1},       {250, 1000, -1, -1},  {1000, 2000, -1, -1},
        {1250, 3000, 2400, 3}, {2250, 5000, 2222.2, 3},
    };
    for (const Step& s : steps) {
        figures.bytes_done = s.bytes;
        TallyMoment moment = tally_moment(&speed, s.at_ms, &figures);
        EXPECT_NEAR(moment.rate, s.rate, 0.1) << s.at_ms;
        EXPECT_EQ(moment.seconds_left, s.left) << s.at_ms;
    }
}

} // namespace
