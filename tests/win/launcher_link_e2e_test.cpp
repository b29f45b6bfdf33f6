// The real Launcher.exe started by a web page's link: the question asked
// once per site, and the administrator's list of allowed sites, which Wine
// lets the test write below HKEY_LOCAL_MACHINE (on Windows an administrator
// would).
#include "tests/support/test_server.h"
#include "tests/win/launcher_fixture.h"

namespace {

const char TRUSTED_SITES[] = "Software\\Quorvel\\Launcher\\TrustedSites";
const char LOG[] = "C:\\quorvel\\launcher\\launcher.log";

std::string origin(const TestServer& server)
{
    return "http://127.0.0.1:" + std::to_string(server.port());
}

DialogRecord question(const std::string& site)
{
    return {"Launch", "Do you want to start an application from " + site + "?", "question"};
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
            server->on("/app/a.jar", ok("jar a"));
        }
    }

    static CannedResponse ok(const std::string& body)
    {
        return http_response("200 OK", {"Content-Length: " + std::to_string(body.size())}, body);
    }

    static std::string nlp(const std::string& codebase)
    {
        return "{\"codebase\": \"" + codebase +
               "\", \"resources\": [\"a.jar\"], \"mainclass\": \"app.Main\"}";
    }

    static std::string link(const TestServer& server)
    {
        return "\"nlp://127.0.0.1:" + std::to_string(server.port()) + "/app/app.nlp\"";
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

    static void allow(const std::vector<std::string>& lines)
    {
        std::string list;
        for (const std::string& line : lines)
            list += line + '\0';
        list += '\0';
        ASSERT_EQ(RegSetKeyValueA(HKEY_LOCAL_MACHINE, "Software\\Policies\\Quorvel\\Launcher",
                                  "AllowedSites", REG_MULTI_SZ, list.data(),
                                  static_cast<DWORD>(list.size())),
                  ERROR_SUCCESS);
    }

    TestServer server_;
    TestServer other_;
};

TEST_F(LauncherLinkE2E, ALinkAsksOnceForItsSite)
{
    // No: nothing is asked of the server, nothing starts, the program ends.
    dialogs_.answer(IDNO);
    run(link(server_));
    ASSERT_EQ(dialogs_.records(), std::vector<DialogRecord>{question(origin(server_))});
    EXPECT_EQ(dialogs_.records()[0].buttons, "Yes No");
    EXPECT_TRUE(server_.requests().empty());
    EXPECT_TRUE(java_starts().empty());
    EXPECT_FALSE(read_value(HKEY_CURRENT_USER, TRUSTED_SITES, origin(server_).c_str()).found);

    // Yes: the site is trusted from then on, and its next link asks nothing.
    dialogs_.answer(IDYES);
    launch(link(server_));
    launch(link(server_));
    EXPECT_EQ(dialogs_.records(),
              (std::vector<DialogRecord>{question(origin(server_)), question(origin(server_))}));
    EXPECT_TRUE(read_value(HKEY_CURRENT_USER, TRUSTED_SITES, origin(server_).c_str()).found);
    EXPECT_EQ(read_file("C:\\quorvel\\launcher\\sites\\app.nlp"), nlp(origin(server_) + "/app/"));
    EXPECT_EQ(java_starts().size(), 2u);
}

TEST_F(LauncherLinkE2E, TheAdministratorsListAloneSaysWhichSitesMayStartApplications)
{
    allow({origin(server_), "http://*.sites.invalid"});
    // A listed link asks nothing and trusts nothing.
    launch(link(server_));
    EXPECT_EQ(dialogs_.records(), std::vector<DialogRecord>{});
    EXPECT_FALSE(read_value(HKEY_CURRENT_USER, TRUSTED_SITES, origin(server_).c_str()).key_found);

    // Another site's link is refused without a question, and so is a file
    // whose code base is of another site; neither reaches that site.
    launch_refused(link(other_));
    std::string file = write_descriptor("other.nlp", nlp(origin(other_) + "/app/"));
    launch_refused("\"" + file + "\"");
    EXPECT_EQ(dialogs_.records(),
              (std::vector<DialogRecord>{refusal(origin(other_)), refusal(origin(other_))}));
    EXPECT_TRUE(other_.requests().empty());
    const std::string log = read_file(LOG);
    EXPECT_NE(log.find("site policy: the link http://127.0.0.1:" + std::to_string(other_.port())),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("site policy: the codebase " + origin(other_) + "/app/"), std::string::npos)
        << log;

    // "*." allows the sub-domains (here a host that does not resolve, so
    // the cached jar serves), not the domain itself.
    const std::string sub = "http://app.sites.invalid/app/";
    harness_make_folders("C:\\quorvel\\launcher\\cache\\http###app.sites.invalid#app#\\");
    write_file("C:\\quorvel\\launcher\\cache\\http###app.sites.invalid#app#\\a.jar", "cached");
    launch("\"" + write_descriptor("sub.nlp", nlp(sub)) + "\"");
    launch_refused("\"" + write_descriptor("domain.nlp", nlp("http://sites.invalid/app/")) + "\"");
    EXPECT_EQ(dialogs_.records().back(), refusal("http://sites.invalid"));
    EXPECT_EQ(dialogs_.records().size(), 3u);
    EXPECT_EQ(java_starts().size(), 2u);
}

} // namespace
