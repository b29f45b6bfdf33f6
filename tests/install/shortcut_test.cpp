#include "install/shortcut.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(ShortcutFileName, KeepsWhatAFileNameHoldsAndMakesTheRestUnderscores)
{
    const std::pair<const char*, const char*> cases[] = {
        {"Kamery \xC5\x81\xC3\xB3\x64\xC5\xBA", "Kamery \xC5\x81\xC3\xB3\x64\xC5\xBA"},
        {"a<b>c:d\"e/f\\g|h?i*j", "a_b_c_d_e_f_g_h_i_j"},
        {"tab\there\x1F", "tab_here_"},
        {"Cameras 2.0", "Cameras 2.0"},
        // Device names, also before a dot or blanks, in any letter case.
        {"CON", "CON_"}, {"nul", "nul_"}, {"Com1.app", "Com1_.app"}, {"LPT9 ", "LPT9 _"},
        {"CONSOLE", "CONSOLE"}, {"COM10", "COM10"}, {"COM0", "COM0"}, {"My CON", "My CON"},
    };
    for (const auto& [title, name] : cases) {
        char out[64];
        ASSERT_EQ(shortcut_file_name(title, out, sizeof out), 1) << title;
        EXPECT_STREQ(out, name) << title;
    }
    char small[4];
    EXPECT_EQ(shortcut_file_name("CON", small, sizeof small), 0);
    EXPECT_EQ(shortcut_file_name("abc", small, sizeof small), 1);
}

TEST(ShortcutRecord, ReadsBackWhatItWroteAndPassesOverLinesItCannotRead)
{
    const std::vector<ShortcutEntry> entries = {
        {"C:\\s\\k.nlp", "Kamery \xC5\x81\xC3\xB3\x64\xC5\xBA", "C:\\c\\k.ico",
         SHORTCUT_DESKTOP | SHORTCUT_MENU, {"C:\\d\\K.lnk", "C:\\m\\K.lnk"}},
        {"C:\\s\\b.nlp", "B", "C:\\L.exe", SHORTCUT_MENU, {}}};
    std::string text;
    ASSERT_TRUE(shortcut_record_format(entries, &text));
    EXPECT_EQ(text, "C:\\s\\k.nlp\tKamery \xC5\x81\xC3\xB3\x64\xC5\xBA\tC:\\c\\k.ico\tdesktop menu"
                    "\tC:\\d\\K.lnk\tC:\\m\\K.lnk\r\nC:\\s\\b.nlp\tB\tC:\\L.exe\tmenu\r\n");
    // Too few fields, no descriptor, an unknown place: passed over.
    std::string again;
    ASSERT_TRUE(shortcut_record_format(
        shortcut_record_parse(("a\tb\r\n\tt\ti\tmenu\r\nx\ty\tz\tstart\r\n" + text).c_str()),
        &again));
    EXPECT_EQ(again, text);
    EXPECT_FALSE(shortcut_record_format({{"a", "tab\there", "i", SHORTCUT_MENU, {}}}, &again));
    EXPECT_EQ(again, text);
}

} // namespace
