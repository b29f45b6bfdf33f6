// The real Launcher.exe against https:// code bases: certificates that pass
// and fail the check, redirects, a stream cut without close_notify.
#include "tests/win/launcher_servers_fixture.h"

namespace {

using LauncherTlsE2E = LauncherServersE2E;

TEST_F(LauncherTlsE2E, AnHttpsCodeBaseIsFetchedThenRevalidated)
{
    std::string path = descriptor(codebase("good"));
    launch(path);
    launch(path);
    EXPECT_EQ(read_file(site(codebase("good")) + "a.jar"), JAR_A);
    EXPECT_EQ(served("good"), (std::vector<std::string>{"GET /app/a.jar 200", "GET /app/a.jar 304"}));
    EXPECT_EQ(java_starts().size(), 2u);
    EXPECT_EQ(dialogs_.records(), std::vector<DialogRecord>{});
}

TEST_F(LauncherTlsE2E, AWarmLaunchAsksForEveryFileOnOneConnection)
{
    std::string resources;
    for (char name = 'b'; name <= 'f'; name++) {
        write_file(SERVERS + "www/app/" + name + ".jar",
                   make_jar("a.txt", std::string("jar ") + name));
        resources += std::string(resources.empty() ? "" : "\", \"") + name + ".jar";
    }
    std::string path = descriptor(codebase("good"), resources);
    launch(path);
    write_file(SERVERS + "access.log", "");
    launch(path);
    std::vector<Served> warm = log_of("good");
    ASSERT_EQ(warm.size(), 5u);
    for (int i = 0; i < 5; i++) {
        EXPECT_EQ(warm[i].line, "GET /app/" + std::string(1, static_cast<char>('b' + i)) +
                                    ".jar 304");
        EXPECT_EQ(warm[i].connection, warm[0].connection);
        EXPECT_EQ(warm[i].place, i + 1);
    }
    EXPECT_EQ(read_file(site(codebase("good")) + "f.jar"), make_jar("a.txt", "jar f"));
    EXPECT_EQ(dialogs_.records(), std::vector<DialogRecord>{});
}

TEST_F(LauncherTlsE2E, CertificatesThatFailTheCheckAreRefused)
{
    const std::pair<const char*, std::string> faults[] = {
        {"wrong", "wrong name (0x800B010F)"},
        {"expired", "expired (0x800B0101)"},
        // Wine's chain from an unknown authority is partial; its policy passes it.
        {"unknown", "untrusted root (0x00010000)"},
    };
    for (const auto& [server, fault] : faults) {
        SCOPED_TRACE(server);
        std::string path = descriptor(codebase(server));
        launch_failing(path);
        EXPECT_EQ(dialogs_.records().back(), error_box(UNTRUSTED));
        EXPECT_FALSE(file_exists(site(codebase(server)) + "a.jar"));
        std::string log = read_file("C:\\quorvel\\launcher\\launcher.log");
        EXPECT_NE(log.find(codebase(server) + "a.jar: failed: certificate not trusted: " + fault),
                  std::string::npos)
            << log;

        // With a copy in the cache, the launch goes on with it.
        harness_make_folders(site(codebase(server)));
        write_file(site(codebase(server)) + "a.jar", "cached a");
        size_t boxes = dialogs_.records().size();
        launch(path);
        EXPECT_EQ(read_file(site(codebase(server)) + "a.jar"), "cached a");
        EXPECT_EQ(dialogs_.records().size(), boxes);
        EXPECT_TRUE(served(server).empty());
    }
}

TEST_F(LauncherTlsE2E, RedirectsReachHttpsButNeverLeaveIt)
{
    // http:// answers 301 with the https:// address; the file keeps its name.
    std::string upgraded = codebase("plain", "http");
    launch(descriptor(upgraded));
    EXPECT_EQ(read_file(site(upgraded) + "a.jar"), JAR_A);
    EXPECT_EQ(served("plain"), std::vector<std::string>{"GET /app/a.jar 301"});

    // https:// answering with an http:// address is refused.
    std::string good = "https://localhost:" + std::to_string(ports_.at("good")) + "/down/";
    launch_failing(descriptor(good));
    EXPECT_EQ(dialogs_.records(), std::vector<DialogRecord>{error_box("Error downloading resource")});
    EXPECT_FALSE(file_exists(site(good) + "a.jar"));
    EXPECT_EQ(served("plain").size(), 1u);
}

TEST_F(LauncherTlsE2E, AStreamCutWithoutCloseNotifyKeepsTheCachedCopy)
{
    std::string cut = codebase("cut");
    harness_make_folders(site(cut));
    write_file(site(cut) + "a.jar", "cached a");
    launch(descriptor(cut));
    EXPECT_EQ(read_file(site(cut) + "a.jar"), "cached a");
    EXPECT_EQ(dialogs_.records(), std::vector<DialogRecord>{});
}

TEST_F(LauncherTlsE2E, ADescriptorIsLaunchedFromItsUrlAndItsCopyServesWithoutTheServer)
{
    const std::string text = "{\"codebase\": \"" + codebase("good") +
                             "\", \"resources\": [\"a.jar\"], \"mainclass\": \"app.Main\"}";
    write_file(SERVERS + "www/app/cameras.nlp", text);
    launch(codebase("good") + "cameras.nlp");
    EXPECT_EQ(read_file("C:\\quorvel\\launcher\\sites\\cameras.nlp"), text);
    // A descriptor that arrived is asked for its signature too.
    const std::string signature = "GET /app/cameras.nlp.minisig 404";
    EXPECT_EQ(served("good"), (std::vector<std::string>{"GET /app/cameras.nlp 200", signature,
                                                        "GET /app/a.jar 200"}));

    // A server with no usable answer: the copy serves, the jar revalidated.
    DeleteFileA((SERVERS + "www/app/cameras.nlp").c_str());
    launch(codebase("good") + "cameras.nlp");
    EXPECT_EQ(read_file("C:\\quorvel\\launcher\\sites\\cameras.nlp"), text);
    EXPECT_EQ(served("good"),
              (std::vector<std::string>{"GET /app/cameras.nlp 200", signature, "GET /app/a.jar 200",
                                        "GET /app/cameras.nlp 404", "GET /app/a.jar 304"}));
    EXPECT_EQ(java_starts().size(), 2u);
    EXPECT_EQ(dialogs_.records(), std::vector<DialogRecord>{});

    // The same name from a server that is down is another application:
    // this one's copy never serves it.
    launch_failing(codebase("down") + "cameras");
    EXPECT_EQ(dialogs_.records(), std::vector<DialogRecord>{error_box("Error loading nlp file")});
    EXPECT_EQ(java_starts().size(), 2u);

    // No copy either.
    launch_failing(codebase("down") + "other.nlp");
    EXPECT_EQ(dialogs_.records(), std::vector<DialogRecord>(2, error_box("Error loading nlp file")));
    EXPECT_FALSE(file_exists("C:\\quorvel\\launcher\\sites\\other.nlp"));
}

TEST_F(LauncherTlsE2E, AnNlpsLinkIsLaunchedOverHttpsOnceTheUserTrustsItsSite)
{
    const std::string site = "https://localhost:" + std::to_string(ports_.at("good"));
    write_file(SERVERS + "www/app/cameras.nlp",
               "{\"codebase\": \"" + codebase("good") +
                   "\", \"resources\": [\"a.jar\"], \"mainclass\": \"app.Main\"}");
    launch("nlps://localhost:" + std::to_string(ports_.at("good")) + "/app/cameras.nlp");
    const DialogRecord question = {
        "Launch", "Do you want to start an application from " + site + "?", "question"};
    EXPECT_EQ(dialogs_.records(), std::vector<DialogRecord>{question});
    EXPECT_EQ(served("good"),
              (std::vector<std::string>{"GET /app/cameras.nlp 200",
                                        "GET /app/cameras.nlp.minisig 404", "GET /app/a.jar 200"}));
    EXPECT_EQ(java_starts().size(), 1u);
}

} // namespace
