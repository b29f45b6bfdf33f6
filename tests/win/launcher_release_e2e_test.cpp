// Whole releases with the real Launcher.exe: what the server did not
// publish never starts, the previous release starts as it stood when the
// new one cannot be had whole, and a silent server holds no cached start.
#include "tests/win/launcher_net_fixture.h"

#include <map>

namespace {

const char SILENT_LOG[] = "no answer within 4 s";

CannedResponse not_modified()
{
    return http_response("304 Not Modified", {}, "");
}

class LauncherReleaseE2E : public LauncherNetE2E {
protected:
    // Serves each jar (name to body) with a 304 for a conditional request.
    void serve(const std::map<std::string, std::string>& jars)
    {
        for (const auto& [name, body] : jars) {
            server_.on("/app/" + name, ok(body));
            server_.on_conditional("/app/" + name, not_modified());
        }
    }

    std::string cached(const std::string& name) { return read_file(site_folder(server_.port()) + name); }

    std::string log() { return read_file(LAUNCH_LOG); }

    // The java.exe command line of the last start.
    std::string started()
    {
        std::vector<std::string> starts = java_starts();
        return starts.empty() ? "<none>" : starts.back();
    }
};

TEST_F(LauncherReleaseE2E, APortalPageForEveryJarLeavesTheCachedReleaseToStart)
{
    place_fake_java();
    serve({{"a.jar", body_of("a")}, {"b.jar", body_of("b")}});
    std::string path = descriptor("\"a.jar\", \"b.jar\"");
    run_java(path);
    // A hotel's network answers every request with its own page, dated now.
    CannedResponse portal = http_response(
        "200 OK", {"Content-Type: text/html", "Content-Length: 27"}, "<html>Sign in here.</html>\n");
    for (const char* name : {"/app/a.jar", "/app/b.jar"}) {
        server_.on(name, portal);
        server_.on_conditional(name, portal);
    }
    run_java(SITES + "app.nlp");
    EXPECT_EQ(cached("a.jar"), body_of("a"));
    EXPECT_EQ(cached("b.jar"), body_of("b"));
    EXPECT_NE(log().find("/app/a.jar: 200, body refused: not a zip archive"), std::string::npos);
    EXPECT_TRUE(dialogs_.records().empty());

    // Back on the real network, the request still carries the real date.
    serve({{"a.jar", body_of("a")}, {"b.jar", body_of("b")}});
    run_java(SITES + "app.nlp");
    std::vector<std::string> requests = server_.requests();
    EXPECT_NE(requests.back().find(std::string("\r\nIf-Modified-Since: ") + LAST_MODIFIED + "\r\n"),
              std::string::npos);
    EXPECT_EQ(java_starts().size(), 3u);
}

TEST_F(LauncherReleaseE2E, AReleaseCutAfterItsFirstFileStartsThePreviousOneWhole)
{
    place_fake_java();
    serve({{"a.jar", body_of("a")}, {"b.jar", body_of("b")}});
    run_java(descriptor("\"a.jar\", \"b.jar\""));

    // The new release changes both jars; the second is cut off.
    server_.on_conditional("/app/a.jar", ok(body_of("a2")));
    CannedResponse cut = ok(body_of("b2"));
    cut.close_after = cut.head.size() + 100;
    server_.on_conditional("/app/b.jar", cut);
    run_java(SITES + "app.nlp");
    EXPECT_EQ(cached("a.jar"), body_of("a"));
    EXPECT_EQ(cached("b.jar"), body_of("b"));
    EXPECT_NE(log().find("the new release is held back by " + url_of(server_.port(), "/app/b.jar") +
                         ": body cut short"),
              std::string::npos)
        << log();

    // The next launch has the first file aside and brings the rest.
    server_.on_conditional("/app/a.jar", not_modified());
    server_.on_conditional("/app/b.jar", ok(body_of("b2")));
    run_java(SITES + "app.nlp");
    EXPECT_EQ(cached("a.jar"), body_of("a2"));
    EXPECT_EQ(cached("b.jar"), body_of("b2"));
    EXPECT_TRUE(listing(staged_folder(server_.port())).empty());
    EXPECT_TRUE(dialogs_.records().empty());
}

TEST_F(LauncherReleaseE2E, ANewReleaseWhileTheJarsAreHeldWaitsAsideForTheNextLaunch)
{
    place_fake_java();
    serve({{"a.jar", body_of("a")}});
    run_java(descriptor("\"a.jar\""));
    // The running application holds its jar open without sharing deletion.
    HANDLE held = CreateFileA((site_folder(server_.port()) + "a.jar").c_str(), GENERIC_READ,
                              FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    server_.on_conditional("/app/a.jar", ok(body_of("a2")));
    run_java(SITES + "app.nlp");
    CloseHandle(held);
    EXPECT_EQ(cached("a.jar"), body_of("a"));
    EXPECT_EQ(read_file(staged_folder(server_.port()) + "a.jar"), body_of("a2"));
    EXPECT_TRUE(dialogs_.records().empty());

    // Once it is free, the kept body moves in without being fetched again.
    server_.on_conditional("/app/a.jar", not_modified());
    size_t asked = server_.requests().size();
    run_java(SITES + "app.nlp");
    EXPECT_EQ(cached("a.jar"), body_of("a2"));
    ASSERT_EQ(server_.requests().size(), asked + 1);
    EXPECT_TRUE(has_date(server_.requests().back()));
    EXPECT_TRUE(dialogs_.records().empty());
}

TEST_F(LauncherReleaseE2E, ASilentServerOrAnUnansweredHandshakeHoldsNoCachedStart)
{
    place_fake_java();
    serve({{"a.jar", body_of("a")}});
    run_java(descriptor("\"a.jar\""));
    CannedResponse silent;
    silent.never_answer = true;
    server_.serve_raw(silent);
    run_java(SITES + "app.nlp");
    EXPECT_NE(log().find(url_of(server_.port(), "/app/a.jar") + ": failed: " + SILENT_LOG),
              std::string::npos)
        << log();

    // The same server behind https:// never answers the handshake either.
    std::string secure = nlp("\"a.jar\"");
    secure.replace(secure.find("http://"), 7, "https://");
    write_file(SITES + "secure.nlp", secure);
    std::string site = site_folder(server_.port());
    std::string secure_site = "C:\\quorvel\\launcher\\cache\\https" + site.substr(site.find("###"));
    harness_make_folders(secure_site);
    write_file(secure_site + "a.jar", body_of("a"));
    run_java(SITES + "secure.nlp");
    EXPECT_EQ(started(), std::string(JAVA) + " -cp " + secure_site + "* app.Main ");
    EXPECT_TRUE(dialogs_.records().empty());
}

// The release that the publishers' script pinned (tests/win/
// make_pinned_release.py): its descriptor for this server, and its jars.
TEST_F(LauncherReleaseE2E, ThePublishersPinsAreCheckedNotAsked)
{
    place_fake_java();
    const std::string a = read_file(PINNED_RELEASE "a.jar");
    serve({{"a.jar", a}, {"lib/b.jar", read_file(PINNED_RELEASE "b.jar")}});
    std::string pinned = read_file(PINNED_RELEASE "app.nlp");
    const std::string placeholder = "http://codebase/app/";
    pinned.replace(pinned.find(placeholder), placeholder.size(), url_of(server_.port(), "/app/"));
    run_java(write_descriptor("app.nlp", pinned));
    size_t asked = server_.requests().size();
    ASSERT_EQ(asked, 2u);
    run_java(SITES + "app.nlp");
    EXPECT_EQ(server_.requests().size(), asked);

    // A copy changed on disk is fetched again, whole.
    write_file(site_folder(server_.port()) + "a.jar", body_of("x"));
    run_java(SITES + "app.nlp");
    ASSERT_EQ(server_.requests().size(), asked + 1);
    EXPECT_FALSE(has_date(server_.requests().back()));
    EXPECT_EQ(cached("a.jar"), a);

    // A body that is not the pinned one is refused.
    const std::string a_pin = pinned.substr(pinned.find("\"a.jar\": \"") + 10, 64);
    std::string other = write_descriptor(
        "other.nlp", nlp("\"a.jar\"", ", \"sha256\": {\"a.jar\": \"" + std::string(64, '0') + "\"}"));
    write_file(site_folder(server_.port()) + "a.jar", "");
    close_main_window_after_box(dialogs_, 1, start("/S \"" + other + "\""));
    EXPECT_EQ(dialogs_.records(), std::vector<DialogRecord>{error_box("Error downloading resource")});
    EXPECT_NE(log().find("body refused: sha256 expected " + std::string(64, '0') + ", got " + a_pin),
              std::string::npos)
        << log();

    std::string bad = write_descriptor("bad.nlp", nlp("\"a.jar\"", ", \"sha256\": [\"a.jar\"]"));
    close_main_window_after_box(dialogs_, 2, start("/S \"" + bad + "\""));
    EXPECT_EQ(dialogs_.records().back(), error_box("Error, \"sha256\" is not valid in nlp file"));
    EXPECT_EQ(java_starts().size(), 3u);
}

TEST_F(LauncherReleaseE2E, AnHrefReleaseThatCannotBeHadLeavesTheCopyToStart)
{
    place_fake_java();
    std::string href = ", \"href\": \"" + url_of(server_.port(), "/app/app.nlp") + "\"";
    std::string first = nlp("\"a.jar\"", href);
    server_.on("/app/app.nlp", ok(first));
    server_.on_conditional("/app/app.nlp", not_modified());
    serve({{"a.jar", body_of("a")}});
    run_java(descriptor("\"a.jar\"", href));

    // The server's next release adds a jar that is not there yet.
    std::string next = nlp("\"a.jar\", \"c.jar\"", ", \"arguments\": \"next\"" + href);
    server_.on("/app/app.nlp", ok(next));
    server_.on_conditional("/app/app.nlp", ok(next));
    run_java(SITES + "app.nlp");
    EXPECT_EQ(read_file(SITES + "app.nlp"), first);
    EXPECT_EQ(started(), java_line(server_.port(), "app.Main "));
    EXPECT_EQ(read_file("C:\\quorvel\\launcher\\releases\\http###127.0.0.1#" +
                        std::to_string(server_.port()) + "#app#\\release.nlp"),
              next)
        << log();

    serve({{"c.jar", body_of("c")}});
    server_.on_conditional("/app/app.nlp", not_modified());
    run_java(SITES + "app.nlp");
    EXPECT_EQ(read_file(SITES + "app.nlp"), next);
    EXPECT_EQ(cached("c.jar"), body_of("c"));
    EXPECT_EQ(started(), java_line(server_.port(), "app.Main next"));
    EXPECT_TRUE(dialogs_.records().empty());
}

} // namespace
