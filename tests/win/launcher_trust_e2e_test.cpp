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

#include <cstring>
#include <filesystem>
#include <set>

namespace {

const std::string LOG = "C:\\quorvel\\launcher\\launcher.log";

CannedResponse ok(const std::string& body)
{
    return http_response("200 OK", {"Content-Length: " + std::to_string(body.size())}, body);
}

std::set<std::string> root_names()
{
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator("C:\\quorvel\\launcher"))
        names.insert(entry.path().filename().string());
    return names;
}

// One launch of a descriptor of the code base $SITE/app/ (a.jar, app.Main
// unless members say otherwise): "$SITE" and "$OTHER" in the texts stand
// for the origins of the two servers; only $SITE is on the list when there
// is one. $OTHER is never asked for anything.
struct TrustCase {
    const char* name;
    bool listed;
    std::string members;          // after the code base and resources
    bool redirect;                // a.jar answers 302 to $OTHER/app/a.jar
    int zone;                     // the descriptor file's ZoneId; -1 none
    int answer;                   // to a question
    int launches;                 // of the same descriptor
    std::vector<std::string> dialogs;  // the boxes' texts, over every launch
    std::string java;             // what Java got after java.exe, "" when it never started
};

const std::string QUESTION = "Do you want to start an application from $SITE?";
const std::string DEFAULT_MAIN = R"(, "mainclass": "app.Main")";
const std::string CLASS_PATH = "-cp C:\\quorvel\\launcher\\cache\\$FOLDER\\* app.Main ";

const TrustCase CASES[] = {
    {"OrdinaryOptionsPassTheList", true,
     DEFAULT_MAIN + R"(, "vmargs": "-Xmx64m -Dq=\"a b\" -XX:+UseG1GC --add-opens java.base/java.lang=ALL-UNNAMED")",
     false, -1, IDYES, 1, {},
     "-Xmx64m \"-Dq=a b\" -XX:+UseG1GC --add-opens java.base/java.lang=ALL-UNNAMED " + CLASS_PATH},
    {"WithoutAListOptionsStandAsGiven", false,
     DEFAULT_MAIN + R"(, "vmargs": "-javaagent:agent.jar -Dq=\"a b\"")", false, -1, IDYES, 1, {},
     "-javaagent:agent.jar -Dq=\"a b\" " + CLASS_PATH},
    {"AMainClassThatIsAnOption", false, R"(, "mainclass": "-jar \\\\attacker\\DavWWWRoot\\x.jar")",
     false, -1, IDYES, 1, {"Error, \"mainclass\" is not valid in nlp file"}, ""},
    {"AnAgent", true, DEFAULT_MAIN + R"(, "vmargs": "-Xmx64m -javaagent:\\\\host\\a.jar")", false,
     -1, IDYES, 1, {"Your administrator does not allow the Java option -javaagent:\\\\host\\a.jar"},
     ""},
    {"AnArgumentFile", true, DEFAULT_MAIN + R"(, "vmargs": "@\\\\host\\args")", false, -1, IDYES, 1,
     {"Your administrator does not allow the Java option @\\\\host\\args"}, ""},
    {"ABootClassPath", true, DEFAULT_MAIN + R"(, "vmargs": "-Xbootclasspath/a:\\\\host\\x.jar")",
     false, -1, IDYES, 1,
     {"Your administrator does not allow the Java option -Xbootclasspath/a:\\\\host\\x.jar"}, ""},
    {"AQuoteLeftOpen", true, DEFAULT_MAIN + R"(, "vmargs": "-Dq=\"", "arguments": "\" -jar x")",
     false, -1, IDYES, 1, {"Your administrator does not allow the Java option -Dq=\""}, ""},
    {"ARedirectToAnotherSite", true, DEFAULT_MAIN, true, -1, IDYES, 1,
     {"Error downloading resource"}, ""},
    {"AnIconOfAnotherSite", true,
     DEFAULT_MAIN + R"(, "title": "Trust icon", "shortcut": ["desktop"], "icon": "$OTHER/app/i.ico")",
     false, -1, IDYES, 1, {}, CLASS_PATH},
    {"ADownloadedDescriptorDeclined", false, DEFAULT_MAIN, false, 3, IDNO, 1, {QUESTION}, ""},
    {"ADownloadedDescriptorTrustedOnce", false, DEFAULT_MAIN, false, 3, IDYES, 2, {QUESTION},
     CLASS_PATH},
    {"ARestrictedSitesDescriptor", false, DEFAULT_MAIN, false, 4, IDNO, 1, {QUESTION}, ""},
    {"AnIntranetDescriptorAsksNothing", false, DEFAULT_MAIN, false, 1, IDNO, 1, {}, CLASS_PATH},
    {"ADownloadedDescriptorUnderTheList", true, DEFAULT_MAIN, false, 3, IDNO, 1, {}, CLASS_PATH},
    {"ARuntimeNamedLikeTheRecord", false, DEFAULT_MAIN + R"(, "jre": "$SITE/shortcuts.txt")", false,
     -1, IDYES, 1, {"Error, \"jre\" is not valid in nlp file"}, ""},
    {"ARuntimeNamedLikeTheLauncher", false, DEFAULT_MAIN + R"(, "jre": "Launcher.exe")", false, -1,
     IDYES, 1, {"Error, \"jre\" is not valid in nlp file"}, ""},
    {"ALauncherThatIsNoProgram", false, DEFAULT_MAIN + R"(, "launcher": "shortcuts.txt")", false,
     -1, IDYES, 1, {"Error, \"launcher\" is not valid in nlp file"}, ""},
};

void PrintTo(const TrustCase& c, std::ostream* out)
{
    *out << c.name;
}

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
    const std::string jar = make_jar("a.txt", "jar");
    server_.on("/app/a.jar", c.redirect ? http_response("302 Found",
                                                        {"Location: " + origin(other_) + "/app/a.jar",
                                                         "Content-Length: 0"},
                                                        "")
                                        : ok(jar));
    server_.on_conditional("/app/a.jar", http_response("304 Not Modified", {}, ""));
    other_.on("/app/a.jar", ok(jar));
    other_.on("/app/i.ico", ok("icon"));
    if (c.listed) {
        const std::string list = origin(server_) + '\0' + '\0';
        ASSERT_EQ(RegSetKeyValueA(HKEY_LOCAL_MACHINE, "Software\\Policies\\Quorvel\\Launcher",
                                  "AllowedSites", REG_MULTI_SZ, list.data(),
                                  static_cast<DWORD>(list.size())),
                  ERROR_SUCCESS);
    }
    std::string path = write_descriptor(
        "app.nlp", filled(R"({"codebase": "$SITE/app/", "resources": ["a.jar"])" + c.members + "}"));
    if (c.zone >= 0)
        write_file(path + ":Zone.Identifier",
                   "[ZoneTransfer]\r\nZoneId=" + std::to_string(c.zone) + "\r\n");
    const std::set<std::string> root_before = root_names();
    dialogs_.answer(c.answer);
    for (int i = 0; i < c.launches; i++) {
        ResetEvent(java_started_);
        if (!c.java.empty()) {
            run("/S \"" + path + "\"");
            ASSERT_TRUE(wait_for_java());
        } else if (c.answer == IDNO) {
            run("/S \"" + path + "\"");
        } else {
            close_main_window_after_box(dialogs_, dialogs_.records().size() + 1,
                                        start("/S \"" + path + "\""));
        }
    }

    std::vector<std::string> texts;
    for (const DialogRecord& record : dialogs_.records())
        texts.push_back(record.text);
    std::vector<std::string> dialogs;
    for (const std::string& text : c.dialogs)
        dialogs.push_back(filled(text));
    EXPECT_EQ(texts, dialogs) << read_file(LOG);
    std::vector<std::string> started;
    for (int i = 0; !c.java.empty() && i < c.launches; i++)
        started.push_back(std::string(JAVA) + " " + filled(c.java));
    EXPECT_EQ(java_starts(), started);
    EXPECT_TRUE(other_.requests().empty());
    // Declined or refused when read: not even the code base was asked.
    if (c.java.empty() && !c.redirect) {
        EXPECT_TRUE(server_.requests().empty());
    }
    // Nothing came to the install root or went from it but the log, the
    // site's folders and, for a shortcut, the record.
    std::set<std::string> before = root_before;
    std::set<std::string> after = root_names();
    bool shortcut = c.members.find("\"title\"") != std::string::npos;
    // The built launcher installs itself as it starts; nothing replaces it.
    EXPECT_EQ(read_file(INSTALLED), read_file(built_launcher()));
    for (const char* made :
         {"Launcher.exe", "cache", "sites", "releases", "launcher.log", "shortcuts.txt"}) {
        if (strcmp(made, "shortcuts.txt") != 0 || shortcut) {
            before.erase(made);
            after.erase(made);
        }
    }
    EXPECT_EQ(after, before);
    if (c.redirect) {
        EXPECT_NE(read_file(LOG).find(origin(other_) +
                                      "/app/a.jar: not asked: its site is not among the allowed "
                                      "sites"),
                  std::string::npos);
    }
    file_delete((known_folder(FOLDERID_Desktop) + "\\Trust icon.lnk").c_str());
}

INSTANTIATE_TEST_SUITE_P(Cases, LauncherTrustE2E, testing::ValuesIn(CASES),
                         [](const auto& info) { return std::string(info.param.name); });

// The user's own files named like an application's shortcut survive its
// launch, its title's change and the uninstall; a link the record names
// that the user replaced is theirs from then on.
TEST_F(LauncherE2E, ShortcutsNeverTouchAFileTheLauncherDidNotMake)
{
    TestServer server;
    run("/S");
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

// Wine keeps no access list of its own (it shows one made from the file's
// mode): what it proves is that the root is made by the calls that set the
// list, and that they succeed.
TEST_F(LauncherE2E, TheInstallRootIsMadeTheUsersAlone)
{
    run("/S");
    const std::string log = read_file(LOG);
    for (const char* made : {"install root: C:\\quorvel\\ made, the user's alone",
                             "install root: C:\\quorvel\\launcher\\ made, the user's alone"})
        EXPECT_NE(log.find(made), std::string::npos) << made;
    EXPECT_TRUE(dialogs_.records().empty());
}

} // namespace
