#include "app/descriptor.h"

#include "tests/support/tempdir.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const char LOADING[] = "Error loading nlp file";
const char PARSING[] = "Error parsing nlp file";
const char NO_CODEBASE[] = "Error, \"codebase\" not found in nlp file";
const char NO_RESOURCES[] = "Error, \"resources\" not found in nlp file";
const char NO_MAINCLASS[] = "Error, \"mainclass\" not found in nlp file";

struct Loaded {
    std::string message; // empty on success
    Descriptor descriptor;
};

class DescriptorTest : public testing::Test {
protected:
    void TearDown() override { descriptor_free(&loaded_.descriptor); }

    const Loaded& load(const std::string& text)
    {
        write_file(dir_.file("app.nlp"), text);
        return load_path(dir_.file("app.nlp"));
    }

    const Loaded& load_path(const std::string& path)
    {
        descriptor_free(&loaded_.descriptor);
        const char* message = descriptor_load(path.c_str(), &loaded_.descriptor);
        loaded_.message = message ? message : "";
        return loaded_;
    }

    std::vector<std::string> resources() const
    {
        std::vector<std::string> items;
        for (int i = 0; const char* item = descriptor_resource(&loaded_.descriptor, i); i++)
            items.push_back(item);
        return items;
    }

    TempDir dir_;
    Loaded loaded_{};
};

TEST_F(DescriptorTest, ReadsEveryMember)
{
    const Loaded& d = load(R"({"codebase": "http://host:81/app/",
        "resources": ["a.jar", "lib/b.jar", "c.jar"],
        "mainclass": "app.Main", "arguments": "-x \"y z\"",
        "jre": "jre-1.8.0_181.zip", "launcher": "http://other/launcher-2.0.exe",
        "href": "https://host/app.nlp", "vmargs": "-Xmx1g -Da=\"b c\"",
        "title": "Kamery \u0141\u00f3d\u017a", "icon": "img/k.ico", "shortcut": ["menu"],
        "unknown": {"ignored": [1, 2]}})");
    ASSERT_EQ(d.message, "");
    EXPECT_STREQ(d.descriptor.codebase, "http://host:81/app/");
    EXPECT_EQ(resources(), (std::vector<std::string>{"a.jar", "lib/b.jar", "c.jar"}));
    EXPECT_STREQ(d.descriptor.mainclass, "app.Main");
    EXPECT_STREQ(d.descriptor.arguments, "-x \"y z\"");
    EXPECT_STREQ(d.descriptor.jre, "jre-1.8.0_181.zip");
    EXPECT_STREQ(d.descriptor.launcher, "http://other/launcher-2.0.exe");
    EXPECT_STREQ(d.descriptor.href, "https://host/app.nlp");
    EXPECT_STREQ(d.descriptor.vmargs, "-Xmx1g -Da=\"b c\"");
    // The shortcut members as they stand, for their own checks.
    EXPECT_STREQ(d.descriptor.title->valuestring, "Kamery \xC5\x81\xC3\xB3\x64\xC5\xBA");
    EXPECT_STREQ(d.descriptor.icon->valuestring, "img/k.ico");
    EXPECT_STREQ(cJSON_GetArrayItem(d.descriptor.shortcut, 0)->valuestring, "menu");
}

TEST_F(DescriptorTest, OptionalMembersMayBeAbsent)
{
    const Loaded& d = load(R"({"codebase": "c/", "resources": [], "mainclass": "M"})");
    ASSERT_EQ(d.message, "");
    EXPECT_STREQ(d.descriptor.arguments, "");
    EXPECT_EQ(d.descriptor.jre, nullptr);
    EXPECT_EQ(d.descriptor.launcher, nullptr);
    EXPECT_EQ(d.descriptor.href, nullptr);
    EXPECT_EQ(d.descriptor.vmargs, nullptr);
    EXPECT_EQ(d.descriptor.title, nullptr);
    EXPECT_EQ(d.descriptor.icon, nullptr);
    EXPECT_EQ(d.descriptor.shortcut, nullptr);
    EXPECT_TRUE(resources().empty());
}

TEST_F(DescriptorTest, MemberNamesMatchInAnyLetterCase)
{
    const Loaded& d = load(R"({"CODEBASE": "c/", "Resources": ["r.jar"], "MainClass": "M",
        "ARGUMENTS": "a", "Jre": "j-1.zip", "LAUNCHER": "l-2.exe"})");
    ASSERT_EQ(d.message, "");
    EXPECT_STREQ(d.descriptor.codebase, "c/");
    EXPECT_EQ(resources(), std::vector<std::string>{"r.jar"});
    EXPECT_STREQ(d.descriptor.mainclass, "M");
    EXPECT_STREQ(d.descriptor.arguments, "a");
    EXPECT_STREQ(d.descriptor.jre, "j-1.zip");
    EXPECT_STREQ(d.descriptor.launcher, "l-2.exe");
}

TEST_F(DescriptorTest, FirstOfDuplicateMembersWins)
{
    const Loaded& d = load(R"({"codebase": "first/", "CodeBase": "second/", "resources": ["1"],
        "mainclass": "M", "resources": ["2"], "codebase": "third/"})");
    ASSERT_EQ(d.message, "");
    EXPECT_STREQ(d.descriptor.codebase, "first/");
    EXPECT_EQ(resources(), std::vector<std::string>{"1"});
}

TEST_F(DescriptorTest, MissingMembersAreReportedInOrder)
{
    EXPECT_EQ(load(R"({"resources": [], "mainclass": "M"})").message, NO_CODEBASE);
    EXPECT_EQ(load(R"({"resources": []})").message, NO_CODEBASE);
    EXPECT_EQ(load(R"({"mainclass": "M"})").message, NO_CODEBASE);
    EXPECT_EQ(load(R"({})").message, NO_CODEBASE);
    EXPECT_EQ(load(R"({"codebase": "c/", "mainclass": "M"})").message, NO_RESOURCES);
    EXPECT_EQ(load(R"({"codebase": "c/"})").message, NO_RESOURCES);
    EXPECT_EQ(load(R"({"codebase": "c/", "resources": []})").message, NO_MAINCLASS);
    EXPECT_EQ(load(R"({"codebase": "c/", "resources": [], "main class": "M"})").message,
              NO_MAINCLASS);
}

TEST_F(DescriptorTest, MessagesAreExact)
{
    EXPECT_EQ(load_path(dir_.file("missing.nlp")).message, LOADING);
    EXPECT_EQ(load("{").message, PARSING);
    EXPECT_EQ(load("{}").message, NO_CODEBASE);
    EXPECT_EQ(load(R"({"codebase": ""})").message, NO_RESOURCES);
    EXPECT_EQ(load(R"({"codebase": "", "resources": []})").message, NO_MAINCLASS);
}

TEST_F(DescriptorTest, TextThatIsNotJsonFailsToParse)
{
    const char* texts[] = {"", " ", " \t\r\n ", "not json", "{\"codebase\": \"c/\"",
                           "{'codebase': 'c/'}", "{\"codebase\" \"c/\"}"};
    for (const char* text : texts) {
        SCOPED_TRACE(text);
        EXPECT_EQ(load(text).message, PARSING);
    }
}

TEST_F(DescriptorTest, ByteOrderMarkIsRefused)
{
    const std::string body = R"({"codebase": "c/", "resources": [], "mainclass": "M"})";
    EXPECT_EQ(load("\xEF\xBB\xBF" + body).message, PARSING);
    EXPECT_EQ(load(body).message, "");
}

TEST_F(DescriptorTest, LowBytesBeforeTheValueAndTextAfterItAreIgnored)
{
    const Loaded& d = load(std::string("\x01\x1f \t\r\n") +
                           R"({"codebase": "c/", "resources": [], "mainclass": "M"} trailing {[)");
    ASSERT_EQ(d.message, "");
    EXPECT_STREQ(d.descriptor.mainclass, "M");
}

TEST_F(DescriptorTest, TopLevelValuesOtherThanAnObjectLackTheCodeBase)
{
    for (const char* text : {R"(["codebase", "resources"])", R"("codebase")", "42", "null",
                             R"([{"codebase": "c/"}])"}) {
        SCOPED_TRACE(text);
        EXPECT_EQ(load(text).message, NO_CODEBASE);
    }
}

TEST_F(DescriptorTest, MembersOfTheWrongTypeAreParseErrors)
{
    const char* texts[] = {
        R"({"codebase": 1, "resources": [], "mainclass": "M"})",
        R"({"codebase": null, "resources": [], "mainclass": "M"})",
        R"({"codebase": "c/", "resources": "a.jar", "mainclass": "M"})",
        R"({"codebase": "c/", "resources": {"a": "a.jar"}, "mainclass": "M"})",
        R"({"codebase": "c/", "resources": ["a.jar", 2], "mainclass": "M"})",
        R"({"codebase": "c/", "resources": [["a.jar"]], "mainclass": "M"})",
        R"({"codebase": "c/", "resources": [], "mainclass": true})",
        R"({"codebase": "c/", "resources": [], "mainclass": "M", "arguments": ["-x"]})",
        R"({"codebase": "c/", "resources": [], "mainclass": "M", "jre": 8})",
        R"({"codebase": "c/", "resources": [], "mainclass": "M", "launcher": {}})",
        R"({"codebase": "c/", "resources": [], "mainclass": "M", "href": 1})",
        R"({"codebase": "c/", "resources": [], "mainclass": "M", "vmargs": ["-Xmx1g"]})",
    };
    for (const char* text : texts) {
        SCOPED_TRACE(text);
        EXPECT_EQ(load(text).message, PARSING);
    }
}

TEST_F(DescriptorTest, AMissingMemberIsReportedBeforeALaterWrongType)
{
    EXPECT_EQ(load(R"({"resources": 5, "mainclass": 5})").message, NO_CODEBASE);
    EXPECT_EQ(load(R"({"codebase": "c/", "mainclass": 5})").message, NO_RESOURCES);
}

} // namespace

TEST_F(DescriptorTest, Sha256PinsFilesByNameAndAnythingElseIsNotValid)
{
    const std::string a(64, 'a');
    const std::string head = R"({"codebase": "c/", "resources": ["lib/a.jar"], "mainclass": "M", )";
    const Loaded& d = load(head + R"("sha256": {"A.jar": ")" + a + R"(", "other.jar": ")" +
                           std::string(64, '0') + "\"}}");
    ASSERT_EQ(d.message, "");
    EXPECT_EQ(descriptor_sha256(&d.descriptor, "a.jar"), a);
    EXPECT_EQ(descriptor_sha256(&d.descriptor, "b.jar"), nullptr);
    EXPECT_EQ(load(head + R"("sha256": {}})").message, "");
    EXPECT_EQ(descriptor_sha256(&loaded_.descriptor, "a.jar"), nullptr);

    const char SHA256[] = "Error, \"sha256\" is not valid in nlp file";
    for (const std::string& value :
         std::vector<std::string>{"[]", "\"" + a + "\"", R"({"a.jar": 1})",
          R"({"a.jar": ")" + std::string(64, 'A') + "\"}", R"({"a.jar": ")" + a.substr(1) + "\"}",
          R"({"a.jar": ")" + a + "0\"}", R"({"a.jar": ")" + a.substr(1) + "g\"}"}) {
        SCOPED_TRACE(value);
        EXPECT_EQ(load(head + "\"sha256\": " + value + "}").message, SHA256);
    }
}

TEST_F(DescriptorTest, TheMainClassAndTheBuildsNamesAreCheckedOnReading)
{
    const std::string head = R"({"codebase": "c/", "resources": [], )";
    const char MAINCLASS[] = "Error, \"mainclass\" is not valid in nlp file";
    const char JRE[] = "Error, \"jre\" is not valid in nlp file";
    const char LAUNCHER[] = "Error, \"launcher\" is not valid in nlp file";
    const struct {
        const char* members;
        const char* message;
    } cases[] = {
        {R"("mainclass": "my.mod/app.Main", "jre": "h/JRE-17.ZIP", "launcher": "l.exe")", ""},
        {R"("mainclass": "-jar \\\\attacker\\x.jar")", MAINCLASS},
        {R"("mainclass": "app.Main -jar")", MAINCLASS},
        {R"("mainclass": "M", "jre": "https://host/shortcuts.txt")", JRE},
        {R"("mainclass": "M", "jre": "Launcher.exe")", JRE},
        {R"("mainclass": "M", "jre": "h/.zip")", JRE},
        {R"("mainclass": "M", "jre": "h/a:b.zip")", JRE},
        {R"("mainclass": "M", "jre": "h/jre.zip/")", JRE},
        {R"("mainclass": "M", "launcher": "https://host/jre.zip")", LAUNCHER},
        {R"("mainclass": "M", "launcher": "h/l.exe?v=2")", LAUNCHER},
    };
    for (const auto& c : cases)
        EXPECT_EQ(load(head + c.members + "}").message, c.message) << c.members;
}

TEST_F(DescriptorTest, AJreWhoseNameCarriesNoVersionIsNotValid)
{
    const std::string head = R"({"codebase": "c/", "resources": [], "mainclass": "M", "jre": )";
    EXPECT_EQ(load(head + R"("http://a-b/jre.zip"})").message, "Error, \"jre\" is not valid in nlp file");
    EXPECT_EQ(load(head + R"("runtimes/jdk-17.0.9_windows-x64_bin.zip"})").message, "");
}

namespace {

// A signed descriptor ("publickey") pins every file it names, by the name
// the launch stores it under; an unsigned one may leave files unpinned.
TEST_F(DescriptorTest, ASignedDescriptorPinsEveryFileItNames)
{
    const std::string pin = "\"" + std::string(64, 'a') + "\"";
    const std::string key = R"("publickey": "RWQcEbmBmWKZ4HoZJnYZKTstIQcU4gNRT/IS8xKNCub9wNLjxAR5ILB5", )";
    const std::string head = R"({"codebase": "https://apps.example/c/", "mainclass": "M", )";
    const std::pair<std::string, bool> cases[] = {
        {R"("resources": ["lib/a.jar"], "sha256": {"A.jar": )" + pin + "}", true},
        {R"("resources": ["a.jar", "b.jar"], "sha256": {"a.jar": )" + pin + "}", false},
        {R"("resources": [], "jre": "java/jre-21.0.1.zip", "sha256": {"jre-21.0.1.zip": )" + pin +
             "}", true},
        {R"("resources": [], "jre": "https://cdn.example/jre-21.zip", "sha256": {})", false},
        {R"("resources": [], "launcher": "Launcher-1.3.0.0.exe", "sha256": {})", false},
        {R"("resources": [], "launcher": "Launcher-1.3.0.0.exe", "sha256": {"launcher-1.3.0.0.exe": )" +
             pin + "}", true},
        {R"("resources": ["a.jar"])", false},
    };
    for (const auto& [members, pinned] : cases) {
        SCOPED_TRACE(members);
        EXPECT_EQ(load(head + key + members + "}").message,
                  pinned ? "" : "Error, \"sha256\" is not valid in nlp file");
        EXPECT_EQ(load(head + members + "}").message, "");
    }
    ASSERT_EQ(load(head + key + R"("resources": []})").message, "");
    EXPECT_STREQ(loaded_.descriptor.publickey,
                 "RWQcEbmBmWKZ4HoZJnYZKTstIQcU4gNRT/IS8xKNCub9wNLjxAR5ILB5");
}

} // namespace
