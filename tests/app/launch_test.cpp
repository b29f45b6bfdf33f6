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

TEST(LaunchSiteCacheFolder, ReplacesTheNineCharactersAndEndsInABackslash)
{
    Guarded out(LAUNCH_PATH_SIZE);
    ASSERT_EQ(launch_site_cache_folder("http://host:81/app/", out.bytes, out.size), 1);
    EXPECT_STREQ(out.bytes, "C:\\quorvel\\launcher\\cache\\http###host#81#app#\\");

    ASSERT_EQ(launch_site_cache_folder("a<b>c:d\"e/f\\g|h?i*j.-% \x01\xe9", out.bytes, out.size), 1);
    EXPECT_STREQ(out.bytes, "C:\\quorvel\\launcher\\cache\\a#b#c#d#e#f#g#h#i#j.-% \x01\xe9\\");

    ASSERT_EQ(launch_site_cache_folder("", out.bytes, out.size), 1);
    EXPECT_STREQ(out.bytes, "C:\\quorvel\\launcher\\cache\\\\");
}

TEST(LaunchSiteCacheFolder, CodeBasesDifferingInAReplacedCharacterShareAFolder)
{
    char slash[LAUNCH_PATH_SIZE], question[LAUNCH_PATH_SIZE];
    ASSERT_EQ(launch_site_cache_folder("http://h/a/b", slash, sizeof slash), 1);
    ASSERT_EQ(launch_site_cache_folder("http://h/a?b", question, sizeof question), 1);
    EXPECT_STREQ(slash, question);
}

TEST(LaunchSiteCacheFolder, RefusesACodeBaseTooLongForThePath)
{
    // Cache root (26) + name + "\" must stay below 272 bytes: 244 fits.
    Guarded out(LAUNCH_PATH_SIZE);
    ASSERT_EQ(launch_site_cache_folder(std::string(244, 'a').c_str(), out.bytes, out.size), 1);
    EXPECT_EQ(strlen(out.bytes), 271u);
    EXPECT_EQ(launch_site_cache_folder(std::string(245, 'a').c_str(), out.bytes, out.size), 0);
    EXPECT_STREQ(out.bytes, "");
    EXPECT_TRUE(out.guard_intact());
}

TEST(LaunchSiteLockName, OneNamePerFolderWhateverItsLetterCase)
{
    char a[64], b[64], c[64];
    ASSERT_EQ(launch_site_lock_name("C:\\quorvel\\cache\\http###Host#a#\\", a, sizeof a), 1);
    ASSERT_EQ(launch_site_lock_name("C:\\QUORVEL\\cache\\http###host#A#\\", b, sizeof b), 1);
    ASSERT_EQ(launch_site_lock_name("C:\\quorvel\\cache\\http###host#b#\\", c, sizeof c), 1);
    EXPECT_EQ(std::string(a).substr(0, 19), "Local\\quorvel-site-");
    EXPECT_EQ(strlen(a), 19u + 16u);
    EXPECT_STREQ(a, b);
    EXPECT_STRNE(a, c);
}

TEST(LaunchSitesCopyPath, TakesTheFileNameAfterTheLastBackslash)
{
    Guarded out(LAUNCH_PATH_SIZE);
    EXPECT_EQ(launch_sites_copy_path("C:\\Users\\Ann Lee\\Downloads\\app.nlp", out.bytes, out.size), 1);
    EXPECT_STREQ(out.bytes, "C:\\quorvel\\launcher\\sites\\app.nlp");
    EXPECT_EQ(launch_sites_copy_path("C:\\QUORVEL\\LAUNCHER\\SITES\\x.nlp", out.bytes, out.size), 1);
    EXPECT_STREQ(out.bytes, "C:\\quorvel\\launcher\\sites\\x.nlp");
}

TEST(LaunchSitesCopyPath, BareFileNameIsNotCopied)
{
    Guarded out(LAUNCH_PATH_SIZE);
    EXPECT_EQ(launch_sites_copy_path("app.nlp", out.bytes, out.size), 0);
    EXPECT_EQ(launch_sites_copy_path("C:/a/app.nlp", out.bytes, out.size), 0);
}

TEST(LaunchSitesCopyPath, RefusesNamesTooLong)
{
    Guarded out(LAUNCH_PATH_SIZE);
    // Sites folder (26) + name below 272 bytes: 245 fits.
    EXPECT_EQ(launch_sites_copy_path(("C:\\" + std::string(245, 'n')).c_str(), out.bytes, out.size), 1);
    EXPECT_EQ(launch_sites_copy_path(("C:\\" + std::string(246, 'n')).c_str(), out.bytes, out.size), -1);
    EXPECT_EQ(launch_sites_copy_path(("C:\\" + std::string(5000, 'n')).c_str(), out.bytes, out.size), -1);
    EXPECT_TRUE(out.guard_intact());
}

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
    // Folder (39) + name below 272 bytes: 232 fits.
    EXPECT_EQ(launch_component_file_path(runtimes, ("h/" + std::string(232, 'j')).c_str(),
                                         out.bytes, out.size), 1);
    EXPECT_EQ(launch_component_file_path(runtimes, ("h/" + std::string(233, 'j')).c_str(),
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

TEST(LaunchFromUrl, KeepsTheDescriptorUnderTheUrlsLastSegment)
{
    const std::string sites = "C:\\quorvel\\launcher\\sites\\";
    // Sites folder (26), 241 bytes of name and ".nlp" fill the 272 bytes.
    const std::string longest(241, 'n');
    const std::pair<std::string, std::string> kept[] = {
        {"HTTPS://h/apps/Cameras.NLP", sites + "Cameras.NLP"},
        {"http://h/cameras", sites + "cameras.nlp"},
        {"http://h/" + longest, sites + longest + ".nlp"},
    };
    char out[LAUNCH_PATH_SIZE];
    for (const auto& [url, path] : kept) {
        EXPECT_EQ(launch_is_descriptor_url(url.c_str()), 1);
        ASSERT_EQ(launch_url_descriptor_path(url.c_str(), out, sizeof out), 1) << url;
        EXPECT_EQ(out, path);
    }
    for (const char* refused : {"http://h/apps/", "http://h/a.nlp?v=2", "http://h/.."})
        EXPECT_EQ(launch_url_descriptor_path(refused, out, sizeof out), 0) << refused;
    EXPECT_EQ(launch_url_descriptor_path(("http://h/n" + longest).c_str(), out, sizeof out), -1);
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
