// The real Launcher.exe with names and texts beyond the system code page
// (this test program's is Windows-1252, the launcher's UTF-8), and the
// applications' shortcuts on the desktop and in the Start menu.
#include "base/fileutil.h"
#include "tests/support/jar_maker.h"
#include "tests/support/test_server.h"
#include "tests/win/launcher_fixture.h"

#include <knownfolders.h>

namespace {

const std::string LODZ = "\xC5\x81\xC3\xB3\x64\xC5\xBA"; // "Łódź"
const std::string SITES = "C:\\quorvel\\launcher\\sites\\";
const std::string LOG = "C:\\quorvel\\launcher\\launcher.log";

bool exists(const std::string& path)
{
    return file_attributes(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

TEST_F(LauncherE2E, NamesAndArgumentsBeyondTheCodePageArriveWhole)
{
    place_fake_java();
    const std::string path = dir_.folder() + "Kamery " + LODZ + ".nlp";
    // Polish as it stands, and Polish and Chinese escaped.
    const std::string text = R"({"codebase": "http://host:81/app/", "resources": [],
        "mainclass": "app.Main", "vmargs": "-Dkamery.dom=\"C:\\Kamery )" + LODZ + R"(\"",
        "arguments": "--miasto )" + LODZ +
        R"( \"Za\u017c\u00f3\u0142\u0107 g\u0119\u015bl\u0105\" \u6444\u50cf"})";
    ASSERT_EQ(write_whole_file(path.c_str(), text.data(), text.size()),
              static_cast<int>(text.size()));
    // An earlier launcher's descriptor, in the system code page.
    const std::string legacy = write_descriptor("legacy.nlp", R"({"codebase": "http://host:81/app/",
        "resources": [], "mainclass": "app.Main", "arguments": "caf)" "\xE9" R"("})");
    for (const std::string& opened : {path, legacy}) {
        ResetEvent(java_started_);
        run("/S \"" + opened + "\"");
        ASSERT_TRUE(wait_for_java()) << opened;
    }
    const std::string start = std::string(JAVA) + " ";
    // Two applications of one code base, each with its folder.
    const std::string class_path =
        "-cp C:\\quorvel\\launcher\\cache\\http###host#81#app#\\* app.Main ";
    const std::string class_path_2 =
        "-cp C:\\quorvel\\launcher\\cache\\http###host#81#app#~2\\* app.Main ";
    EXPECT_EQ(java_starts(),
              (std::vector<std::string>{
                  start + "-Dkamery.dom=\"C:\\Kamery " + LODZ + "\" " + class_path + "--miasto " +
                      LODZ + " \"Za\xC5\xBC\xC3\xB3\xC5\x82\xC4\x87 g\xC4\x99\xC5\x9Bl\xC4\x85\" "
                      "\xE6\x91\x84\xE5\x83\x8F",
                  start + class_path_2 + "caf\xC3\xA9"}));
    // The copy keeps its name, and the log says it in UTF-8.
    EXPECT_TRUE(exists(SITES + "Kamery " + LODZ + ".nlp"));
    EXPECT_NE(read_file(LOG).find(", sites copy Kamery " + LODZ + ".nlp\r\n"), std::string::npos);
    EXPECT_TRUE(dialogs_.records().empty());
}

CannedResponse ok(const std::string& body)
{
    return http_response("200 OK",
                         {"Content-Length: " + std::to_string(body.size()),
                          "Last-Modified: Tue, 15 Nov 1994 08:12:31 GMT"},
                         body);
}

class ShortcutE2E : public LauncherE2E {
protected:
    void TearDown() override
    {
        for (const std::string& title : titles_) {
            file_delete(link(FOLDERID_Desktop, title).c_str());
            file_delete(link(FOLDERID_Programs, title).c_str());
        }
        LauncherE2E::TearDown();
    }

    // Writes the descriptor kamery.nlp with title, the icon and more
    // members, and launches it until Java starts.
    void launch(const std::string& title, const std::string& shortcut = R"(["desktop", "menu"])")
    {
        titles_.push_back(title);
        std::string path = write_descriptor(
            "kamery.nlp", R"({"codebase": ")" + codebase() + R"(", "resources": ["a.jar"],
                "mainclass": "app.Main", "title": ")" + title + R"(", "icon": "img/kamery.ico",
                "shortcut": )" + shortcut + "}");
        ResetEvent(java_started_);
        run("/S \"" + path + "\"");
        ASSERT_TRUE(wait_for_java());
    }

    std::string codebase() const
    {
        return "http://127.0.0.1:" + std::to_string(server_.port()) + "/app/";
    }

    std::string site() const
    {
        return "C:\\quorvel\\launcher\\cache\\http###127.0.0.1#" + std::to_string(server_.port()) +
               "#app#\\";
    }

    static std::string link(REFKNOWNFOLDERID place, const std::string& name)
    {
        return known_folder(place) + "\\" + name + ".lnk";
    }

    std::vector<std::string> titles_;
    TestServer server_;
};

TEST_F(ShortcutE2E, MadeWhenAskedRenewedOnAChangeAndRemovedByTheUninstall)
{
    place_fake_java();
    // A real icon: the shell reads it for the desktop.
    const std::string icon = read_file(harness_program_folder() + "res\\launcher.ico");
    server_.on("/app/a.jar", ok(make_jar("a.txt", "a")));
    server_.on("/app/img/kamery.ico", ok(icon));
    for (const char* target : {"/app/a.jar", "/app/img/kamery.ico"})
        server_.on_conditional(target, http_response("304 Not Modified", {}, ""));
    ASSERT_NO_FATAL_FAILURE(launch("Kamery " + LODZ));
    // The icon is cached beside the jars and outlives the prune; Java's
    // class path, the folder's jars, is what it was.
    EXPECT_EQ(read_file(site() + "kamery.ico"), icon);
    EXPECT_EQ(java_starts().back(), std::string(JAVA) + " -cp " + site() + "* app.Main ");
    for (REFKNOWNFOLDERID place : {FOLDERID_Desktop, FOLDERID_Programs}) {
        Shortcut shortcut = read_shortcut(link(place, "Kamery " + LODZ));
        ASSERT_TRUE(shortcut.loaded) << link(place, "Kamery " + LODZ);
        EXPECT_EQ(shortcut.target, INSTALLED);
        EXPECT_EQ(shortcut.arguments, "\"" + SITES + "kamery.nlp\"");
        EXPECT_EQ(shortcut.folder, "C:\\quorvel\\launcher\\");
        EXPECT_EQ(shortcut.description, "Kamery " + LODZ);
        EXPECT_EQ(shortcut.icon, site() + "kamery.ico");
        EXPECT_EQ(shortcut.icon_index, 0);
        EXPECT_EQ(shortcut.show, SW_SHOWNORMAL);
    }

    // A new title renames both; what a file name cannot hold becomes "_".
    const std::string renamed = "Kamery: " + LODZ + "/Krak\xC3\xB3w";
    const std::string file_name = "Kamery_ " + LODZ + "_Krak\xC3\xB3w";
    ASSERT_NO_FATAL_FAILURE(launch(renamed));
    for (REFKNOWNFOLDERID place : {FOLDERID_Desktop, FOLDERID_Programs}) {
        EXPECT_FALSE(exists(link(place, "Kamery " + LODZ)));
        EXPECT_EQ(read_shortcut(link(place, file_name)).description, renamed);
    }

    // One the user deleted is not made again while the members stay.
    ASSERT_TRUE(file_delete(link(FOLDERID_Desktop, file_name).c_str()));
    ASSERT_NO_FATAL_FAILURE(launch(renamed));
    EXPECT_FALSE(exists(link(FOLDERID_Desktop, file_name)));
    EXPECT_TRUE(exists(link(FOLDERID_Programs, file_name)));

    // A bad member is told in the log and changes nothing.
    ASSERT_NO_FATAL_FAILURE(launch("Kamery", R"("menu")"));
    EXPECT_TRUE(exists(link(FOLDERID_Programs, file_name)));
    EXPECT_FALSE(exists(link(FOLDERID_Programs, "Kamery")));
    EXPECT_NE(read_file(LOG).find("shortcuts: \"shortcut\" is no array of \"desktop\" and "
                                  "\"menu\": none made or changed"),
              std::string::npos);

    // The uninstall takes every shortcut the launcher made, Cameras too.
    ASSERT_TRUE(exists(cameras_shortcut()));
    run("--uninstall --silent", INSTALLED);
    wait_for_process_named("Launcher-uninstall.exe");
    EXPECT_FALSE(exists(link(FOLDERID_Programs, file_name)));
    EXPECT_FALSE(exists(cameras_shortcut()));
    EXPECT_FALSE(harness_folder_exists("C:\\quorvel"));
    EXPECT_TRUE(dialogs_.records().empty());
}

} // namespace
