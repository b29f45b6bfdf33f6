#include "app/shortcut_members.h"

#include "install/shortcut.h"
#include "tests/support/tempdir.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const char SITE[] = "C:\\quorvel\\launcher\\cache\\http###host#app#\\";
const std::string POLISH = "\xC5\x81\xC3\xB3\x64\xC5\xBA"; // "Łódź", 4 characters in 7 bytes

struct Read {
    std::string problem; // empty when the members are good
    ShortcutMembers members;
    std::string title;   // members.title's text, "(none)" for null
};

Read read_members(const std::string& members)
{
    TempDir dir;
    write_file(dir.file("app.nlp"), R"({"codebase": "http://host/app/", "resources": [],
        "mainclass": "M")" + members + "}");
    Descriptor descriptor;
    EXPECT_EQ(descriptor_load(dir.file("app.nlp").c_str(), &descriptor), nullptr);
    Read read;
    const char* problem = shortcut_members_read(&descriptor, SITE, &read.members);
    read.problem = problem ? problem : "";
    read.title = read.members.title ? read.members.title : "(none)";
    descriptor_free(&descriptor);
    return read;
}

TEST(ShortcutMembers, GoodMembersGiveTheTitleThePlacesAndTheIcon)
{
    Read read = read_members(R"(, "title": "Kamery )" + POLISH +
                             R"(", "icon": "img/kamery.ICO", "shortcut": ["menu", "desktop"])");
    ASSERT_EQ(read.problem, "");
    EXPECT_TRUE(read.members.valid);
    EXPECT_EQ(read.title, "Kamery " + POLISH);
    EXPECT_EQ(read.members.places, SHORTCUT_DESKTOP | SHORTCUT_MENU);
    EXPECT_STREQ(read.members.icon_url, "http://host/app/img/kamery.ICO");
    EXPECT_EQ(std::string(read.members.icon_path), std::string(SITE) + "kamery.ICO");

    // 120 characters, more bytes, still fit.
    EXPECT_EQ(read_members(R"(, "title": ")" + std::string(116, 't') + POLISH + "\"").problem, "");
    // Without a title no place is asked for; without members nothing is.
    for (const char* members : {R"(, "shortcut": ["desktop"])", ""}) {
        read = read_members(members);
        ASSERT_EQ(read.problem, "") << members;
        EXPECT_TRUE(read.members.valid);
        EXPECT_EQ(read.members.places, 0) << members;
        EXPECT_EQ(read.title, "(none)");
        EXPECT_STREQ(read.members.icon_url, "");
    }
}

TEST(ShortcutMembers, ABadMemberIsNamedAndAsksForNothing)
{
    const std::string array = "\"shortcut\" is no array of \"desktop\" and \"menu\"";
    const std::string no_ico = "\"icon\" names no .ico file that can be stored";
    const std::pair<std::string, std::string> cases[] = {
        {R"("title": 7)", "\"title\" is no text"},
        {R"("title": "")", "\"title\" is empty"},
        {R"("title": ")" + std::string(117, 't') + POLISH + "\"",
         "\"title\" is longer than 120 characters"},
        {R"("title": "a\nb")", "\"title\" holds a control character"},
        {R"("shortcut": "desktop")", array},
        {R"("shortcut": ["desktop", "start"])", array},
        {R"("shortcut": [1])", array},
        {R"("icon": ["a.ico"])", "\"icon\" is no text"},
        {R"("icon": "kamery.png")", no_ico},
        {R"("icon": "img/")", no_ico},
        {R"("icon": ".ico")", no_ico},
        {R"("icon": "a|b.ico")", no_ico},
        {R"("icon": "ftp://host/a.ico")",
         "\"icon\" is an absolute URL but no http:// or https:// one"},
        {R"("icon": ")" + std::string(250, 'i') + ".ico\"",
         "\"icon\" gives a path too long for the site cache folder"},
    };
    for (const auto& [member, problem] : cases) {
        // The first of duplicate members wins: the bad one stands first.
        Read read = read_members(", " + member + R"(, "title": "T", "shortcut": ["menu"])");
        EXPECT_EQ(read.problem, problem) << member;
        EXPECT_FALSE(read.members.valid) << member;
    }
}

} // namespace
