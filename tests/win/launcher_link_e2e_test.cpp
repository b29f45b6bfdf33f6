// The real Launcher.exe started by a web page's link: the question asked
// once per site, and the administrator's list of allowed sites, which Wine
// lets the test write below HKEY_LOCAL_MACHINE (on Windows an administrator
// would).
#include "tests/support/jar_maker.h"
#include "tests/support/test_server.h"
#include "tests/win/launcher_fixture.h"

namespace {

const char TRUSTED_SITES[] = "Software\\Quorvel\\Launcher\\TrustedSites";

std::string origin(const TestServer& server)
{
    return "http://127.0.0.1:" + std::to_string(server.port());
}

std::string link(const TestServer& server)
{
    return "\"nlp://127.0.0.1:" + std::to_string(server.port()) + "/app/app.nlp\"";
}

std::string nlp(const std::string& codebase)
{
    return "{\"codebase\": \"" + codebase + "\", \"resources\": [\"a.jar\"], \"mainclass\": \"M\"}";
}

CannedResponse ok(const std::string& body)
{
    return http_response("200 OK", {"Content-Length: " + std::to_string(body.size())}, body);
}

DialogRecord refusal(const std::string& site)
{
    return error_box("Your administrator does not allow applications from " + site);
}

class LauncherLinkE2E : public LauncherE2E {
protected:
    void SetUp() override
    {
        LauncherE2E::SetUp();
        place_fake_java();
        for (TestServer* server : {&server_, &other_}) {
            server->on("/app/app.nlp", ok(nlp(origin(*server) + "/app/")));
            server->on("/app/a.jar", ok(make_jar("a.txt", "jar")));
        }
    }

    void launch(const std::string& argument)
    {
        ResetEvent(java_started_);
        run(argument);
        ASSERT_TRUE(wait_for_java());
    }

    void launch_refused(const std::string& argument)
    {
        close_main_window_after_box(dialogs_, dialogs_.records().size() + 1, start(argument));
    }

    bool trusted(const TestServer& server)
    {
        return read_value(HKEY_CURRENT_USER, TRUSTED_SITES, origin(server).c_str()).found;
    }

    TestServer server_;
    TestServer other_;
};

TEST_F(LauncherLinkE2E, ALinkAsksOnceForItsSite)
{
    // No: nothing is asked of the server, nothing starts, the program ends.
    const DialogRecord question = {
        "Launch", "Do you want to start an application from " + origin(server_) + "?",
        "question"};
    dialogs_.answer(IDNO);
    run(link(server_));
    ASSERT_EQ(dialogs_.records(), std::vector<DialogRecord>{question});
    EXPECT_EQ(dialogs_.records()[0].buttons, "Yes No");
    EXPECT_TRUE(server_.requests().empty());
    EXPECT_TRUE(java_starts().empty());
    EXPECT_FALSE(trusted(server_));

    // Yes: the site is trusted from then on, and its next link asks nothing.
    dialogs_.answer(IDYES);
    launch(link(server_));
    launch(link(server_));
    EXPECT_EQ(dialogs_.records(), (std::vector<DialogRecord>{question, question}));
    EXPECT_TRUE(trusted(server_));
    EXPECT_EQ(read_file("C:\\quorvel\\launcher\\sites\\app.nlp"), nlp(origin(server_) + "/app/"));
    EXPECT_EQ(java_starts().size(), 2u);
}

TEST_F(LauncherLinkE2E, TheAdministratorsListAloneSaysWhichSitesMayStartApplications)
{
    const std::string list = origin(server_) + '\0' + "http://*.sites.invalid" + '\0' + '\0';
    ASSERT_EQ(RegSetKeyValueA(HKEY_LOCAL_MACHINE, "Software\\Policies\\Quorvel\\Launcher",
                              "AllowedSites", REG_MULTI_SZ, list.data(),
                              static_cast<DWORD>(list.size())),
              ERROR_SUCCESS);
    // A listed link asks nothing and trusts nothing.
    launch(link(server_));
    EXPECT_EQ(dialogs_.records(), std::vector<DialogRecord>{});
    EXPECT_FALSE(trusted(server_));

    // Another site's link is refused without a question, and so is a file
    // whose code base is of another site; neither reaches that site.
    launch_refused(link(other_));
    launch_refused("\"" + write_descriptor("other.nlp", nlp(origin(other_) + "/app/")) + "\"");
    EXPECT_EQ(dialogs_.records(),
              (std::vector<DialogRecord>{refusal(origin(other_)), refusal(origin(other_))}));
    EXPECT_TRUE(other_.requests().empty());
    const std::string log = read_file("C:\\quorvel\\launcher\\launcher.log");
    EXPECT_NE(log.find("site policy: the codebase " + origin(other_) + "/app/ is of " +
                       origin(other_) + ", which is not among the allowed sites"),
              std::string::npos)
        << log;

    // "*." allows the sub-domains (here a host that never resolves, so the
    // cached jar serves), not the domain itself.
    const std::string site = "C:\\quorvel\\launcher\\cache\\http###app.sites.invalid#app#\\";
    harness_make_folders(site);
    write_file(site + "a.jar", "cached");
    launch("\"" + write_descriptor("sub.nlp", nlp("http://app.sites.invalid/app/")) + "\"");
    launch_refused("\"" + write_descriptor("domain.nlp", nlp("http://sites.invalid/app/")) + "\"");
    EXPECT_EQ(dialogs_.records().back(), refusal("http://sites.invalid"));
    EXPECT_EQ(java_starts().size(), 2u);
}

} // namespace
