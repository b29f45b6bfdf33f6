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
        {"C:\\quorvel\\launcher\\sites\\kamery.nlp", "Kamery \xC5\x81\xC3\xB3\x64\xC5\xBA",
         "C:\\quorvel\\launcher\\cache\\s\\k.ico", SHORTCUT_DESKTOP | SHORTCUT_MENU,
         {"C:\\d\\Kamery.lnk", "C:\\m\\Kamery.lnk"}},
        {"C:\\quorvel\\launcher\\sites\\b.nlp", "B", "C:\\L.exe", SHORTCUT_MENU, {}},
    };
    std::string text;
    ASSERT_TRUE(shortcut_record_format(entries, &text));
    EXPECT_EQ(text.substr(text.find('\t', text.find("k.ico"))),
              "\tdesktop menu\tC:\\d\\Kamery.lnk\tC:\\m\\Kamery.lnk\r\n"
              "C:\\quorvel\\launcher\\sites\\b.nlp\tB\tC:\\L.exe\tmenu\r\n");
    std::vector<ShortcutEntry> read = shortcut_record_parse(
        ("too\tfew\r\n\tno\tdescriptor\tmenu\r\nx\ty\tz\tstart\r\n" + text).c_str());
    ASSERT_EQ(read.size(), 2u);
    for (size_t i = 0; i < 2; i++) {
        EXPECT_EQ(read[i].descriptor, entries[i].descriptor);
        EXPECT_EQ(read[i].title, entries[i].title);
        EXPECT_EQ(read[i].icon, entries[i].icon);
        EXPECT_EQ(read[i].places, entries[i].places);
        EXPECT_EQ(read[i].links, entries[i].links);
    }
    std::string kept = "kept";
    EXPECT_FALSE(shortcut_record_format({{"a", "tab\there", "i", SHORTCUT_MENU, {}}}, &kept));
    EXPECT_EQ(kept, "kept");
}

} // namespace
