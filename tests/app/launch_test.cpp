#include "app/launch.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

// A buffer with guard bytes behind its declared size, to show that nothing
// is written past it.
struct Guarded {
    explicit Guarded(size_t size) : size(size) { memset(bytes, '@', sizeof bytes); }
    bool guard_intact() const
    {
        for (size_t i = size; i < sizeof bytes; i++)
            if (bytes[i] != '@')
                return false;
        return true;
    }
    size_t size;
    char bytes[4096];
};

TEST(LaunchUrls, ResourceUrlsAreThePlainConcatenation)
{
    Guarded out(LAUNCH_URL_SIZE);
    ASSERT_EQ(launch_resource_url("http://h/app", "a.jar", out.bytes, out.size), 1);
    EXPECT_STREQ(out.bytes, "http://h/appa.jar");
    ASSERT_EQ(launch_resource_url("http://h/app/", "lib/b.jar", out.bytes, out.size), 1);
    EXPECT_STREQ(out.bytes, "http://h/app/lib/b.jar");
    std::string item(LAUNCH_URL_SIZE - 1 - strlen("http://h/"), 'x');
    EXPECT_EQ(launch_resource_url("http://h/", item.c_str(), out.bytes, out.size), 1);
    EXPECT_EQ(launch_resource_url("http://h/", (item + "x").c_str(), out.bytes, out.size), 0);
    EXPECT_TRUE(out.guard_intact());
}

TEST(LaunchUrls, ComponentUrlsWithASchemeStandAlone)
{
    Guarded out(LAUNCH_URL_SIZE);
    ASSERT_EQ(launch_component_url("http://h/app/", "http://other/jre-1.8.zip", out.bytes, out.size), 1);
    EXPECT_STREQ(out.bytes, "http://other/jre-1.8.zip");
    ASSERT_EQ(launch_component_url("http://h/app/", "files/jre-1.8.zip", out.bytes, out.size), 1);
    EXPECT_STREQ(out.bytes, "http://h/app/files/jre-1.8.zip");
    std::string long_url = "http://h/" + std::string(LAUNCH_URL_SIZE, 'u');
    EXPECT_EQ(launch_component_url("c/", long_url.c_str(), out.bytes, out.size), 0);
    EXPECT_TRUE(out.guard_intact());
}

TEST(LaunchComponentFilePath, IsTheComponentsOwnFolderAndTheUrlsLastPart)
{
    Guarded out(LAUNCH_PATH_SIZE);
    const char* runtimes = launch_component_folder("runtime");
    EXPECT_STREQ(runtimes, "C:\\quorvel\\launcher\\components\\runtime\\");
    EXPECT_STREQ(launch_component_folder("launcher"),
                 "C:\\quorvel\\launcher\\components\\launcher\\");
    ASSERT_EQ(launch_component_file_path(runtimes, "http://h/app/jre-1.8.0_181.zip", out.bytes,
                                         out.size), 1);
    EXPECT_STREQ(out.bytes, "C:\\quorvel\\launcher\\components\\runtime\\jre-1.8.0_181.zip");
    EXPECT_EQ(launch_component_file_path(runtimes, "jre-1.8.zip", out.bytes, out.size), 0);
    // Folder (39) + name below 260 bytes: 220 fits.
    EXPECT_EQ(launch_component_file_path(runtimes, ("h/" + std::string(220, 'j')).c_str(),
                                         out.bytes, out.size), 1);
    EXPECT_EQ(launch_component_file_path(runtimes, ("h/" + std::string(221, 'j')).c_str(),
                                         out.bytes, out.size), -1);
    EXPECT_TRUE(out.guard_intact());
}

TEST(LaunchCommandLines, JavaGetsTheCachedClassPathMainClassAndArguments)
{
    const char java[] = "C:\\quorvel\\launcher\\java\\bin\\java.exe";
    Guarded out(LAUNCH_COMMAND_SIZE);
    ASSERT_EQ(launch_java_command_line(java, "C:\\quorvel\\launcher\\cache\\http###host#81#app#\\",
                                       nullptr, "app.Main", "", out.bytes, out.size), 1);
    EXPECT_STREQ(out.bytes, "C:\\quorvel\\launcher\\java\\bin\\java.exe -cp "
                            "C:\\quorvel\\launcher\\cache\\http###host#81#app#\\* app.Main ");
    ASSERT_EQ(launch_java_command_line(java, "F\\", nullptr, "M", "-x \"a b\"", out.bytes,
                                       out.size), 1);
    EXPECT_STREQ(out.bytes, "C:\\quorvel\\launcher\\java\\bin\\java.exe -cp F\\* M -x \"a b\"");
    ASSERT_EQ(launch_java_command_line("C:\\quorvel\\launcher\\runtimes\\17\\bin\\java.exe", "F\\",
                                       "-Xmx1g -Dd=\"a b\"", "M", "x", out.bytes, out.size),
              1);
    EXPECT_STREQ(out.bytes, "C:\\quorvel\\launcher\\runtimes\\17\\bin\\java.exe -Xmx1g "
                            "-Dd=\"a b\" -cp F\\* M x");
    const std::string longest(1000, 'a');
    EXPECT_EQ(launch_java_command_line(java, "F\\", nullptr, "M", longest.c_str(), out.bytes,
                                       out.size),
              0);
    EXPECT_EQ(launch_java_command_line(java, "F\\", longest.c_str(), "M", "", out.bytes, out.size),
              0);
    EXPECT_TRUE(out.guard_intact());
}

TEST(LaunchFromUrl, NamesTheDescriptorAfterTheUrlsLastSegment)
{
    // 1019 bytes of name and ".nlp" fill the name's 1024 bytes.
    const std::string longest(1019, 'n');
    const std::pair<std::string, std::string> kept[] = {
        {"HTTPS://h/apps/Cameras.NLP", "Cameras.NLP"},
        {"http://h/cameras", "cameras.nlp"},
        {"http://h/" + longest, longest + ".nlp"},
    };
    char out[LAUNCH_FILE_NAME_SIZE];
    for (const auto& [url, name] : kept) {
        EXPECT_EQ(launch_is_descriptor_url(url.c_str()), 1);
        ASSERT_EQ(launch_url_descriptor_name(url.c_str(), out, sizeof out), 1) << url;
        EXPECT_EQ(out, name);
    }
    for (const char* refused : {"http://h/apps/", "http://h/a.nlp?v=2", "http://h/.."})
        EXPECT_EQ(launch_url_descriptor_name(refused, out, sizeof out), 0) << refused;
    EXPECT_EQ(launch_url_descriptor_name(("http://h/n" + longest).c_str(), out, sizeof out), -1);
    for (const char* path : {"C:\\apps\\a.nlp", "ftp://h/a.nlp", "http:/h/a.nlp"})
        EXPECT_EQ(launch_is_descriptor_url(path), 0) << path;
}

TEST(LaunchCommandLines, RelaunchQuotesTheDescriptorPath)
{
    Guarded out(LAUNCH_COMMAND_SIZE);
    ASSERT_EQ(launch_relaunch_command_line("C:\\quorvel\\launcher\\launcher-2.0.exe",
                                           "C:\\Users\\Ann Lee\\Downloads\\app.nlp", out.bytes,
                                           out.size), 1);
    EXPECT_STREQ(out.bytes,
                 "C:\\quorvel\\launcher\\launcher-2.0.exe \"C:\\Users\\Ann Lee\\Downloads\\app.nlp\"");
    EXPECT_EQ(launch_relaunch_command_line("C:\\l.exe", std::string(1020, 'p').c_str(), out.bytes,
                                           out.size), 0);
    EXPECT_TRUE(out.guard_intact());
}

} // namespace
