// Applications that share a descriptor's name, as one table of steps: each
// step opens one application's descriptor (as downloaded, or its sites
// copy) while its server answers in one way, and names the main class that
// must start, or none (an error box). Both applications are "launch.nlp",
// from two servers.
#include "tests/win/launcher_net_fixture.h"

namespace {

enum Serve {
    SERVES,  // 200, and 304 to any If-Modified-Since, whatever its date
    FAILS,   // 500 for everything
    SILENT,  // never answers
};

struct Step {
    char app;             // 'a' or 'b'
    Serve serve;
    bool open_copy;       // its sites copy rather than the downloaded file
    const char* started;  // the main class that starts; "" for an error box
};

struct App {
    TestServer server;
    std::string title, main_class, downloaded, date;
};

class LauncherAppsE2E : public LauncherE2E {
protected:
    void SetUp() override
    {
        LauncherE2E::SetUp();
        place_fake_java();
        for (char name : {'a', 'b'}) {
            App& app = apps_[name - 'a'];
            app.title = std::string("App ") + static_cast<char>(toupper(name));
            app.main_class = std::string(1, name) + ".Main";
            app.date = name == 'a' ? "Tue, 15 Nov 1994 08:12:31 GMT" : "Wed, 16 Nov 1994 09:13:32 GMT";
            std::string folder = dir_.file(std::string(1, name)) + "\\";
            harness_make_folders(folder);
            app.downloaded = folder + "launch.nlp";
            write_file(app.downloaded, text(app));
        }
    }

    void TearDown() override
    {
        for (App& app : apps_) {
            app.server.release_pauses();
            DeleteFileA(link(app.title).c_str());
        }
        LauncherE2E::TearDown();
    }

    static std::string text(const App& app)
    {
        return "{\"codebase\": \"" + url_of(app.server.port(), "/app/") +
               "\", \"resources\": [\"app.jar\"], \"mainclass\": \"" + app.main_class +
               "\", \"title\": \"" + app.title + "\", \"shortcut\": [\"desktop\"]}";
    }

    static std::string link(const std::string& title)
    {
        return known_folder(FOLDERID_Desktop) + "\\" + title + ".lnk";
    }

    void serve(App& app, Serve how)
    {
        const std::string jar = body_of(app.main_class);
        CannedResponse whole = http_response(
            "200 OK", {"Content-Length: " + std::to_string(jar.size()), "Last-Modified: " + app.date},
            jar);
        CannedResponse fails = http_response("500 Internal Server Error", {"Content-Length: 0"}, "");
        CannedResponse silent;
        silent.never_answer = true;
        CannedResponse not_modified = http_response("304 Not Modified", {}, "");
        for (const std::string target : {"/app/app.jar", "/app/launch.nlp"}) {
            app.server.on(target, how == FAILS ? fails : how == SILENT ? silent : whole);
            app.server.on_conditional(target, how == FAILS    ? fails
                                              : how == SILENT ? silent
                                                              : not_modified);
        }
    }

    std::string started_since(size_t before)
    {
        std::vector<std::string> starts = java_starts();
        if (starts.size() != before + 1)
            return "";
        std::string line = starts.back();
        size_t end = line.rfind(".Main");
        return end == std::string::npos ? line : line.substr(end - 1, 6);
    }

    void run_step(const Step& step, size_t index)
    {
        App& app = apps_[step.app - 'a'];
        serve(app, step.serve);
        std::string path = step.open_copy ? copy_of(app) : app.downloaded;
        SCOPED_TRACE("step " + std::to_string(index) + ": " + path);
        size_t starts = java_starts().size();
        size_t boxes = dialogs_.records().size();
        if (*step.started) {
            ResetEvent(java_started_);
            run("/S \"" + path + "\"");
            ASSERT_TRUE(wait_for_java());
            EXPECT_EQ(started_since(starts), step.started);
            EXPECT_EQ(dialogs_.records().size(), boxes);
        } else {
            close_main_window_after_box(dialogs_, boxes + 1, start("/S \"" + path + "\""));
            EXPECT_EQ(java_starts().size(), starts);
        }
    }

    // The sites copy a step opens: the one whose text is the application's.
    std::string copy_of(const App& app)
    {
        for (const char* name : {"launch.nlp", "launch (127.0.0.1).nlp"})
            if (read_file(SITES + name) == text(app))
                return SITES + name;
        return SITES + "none";
    }

    App apps_[2];
};

TEST_F(LauncherAppsE2E, TwoApplicationsOfOneNameEachStartOnlyThemselves)
{
    const Step steps[] = {
        {'a', SERVES, false, "a.Main"},
        // b has no release yet: a's never stands in for it.
        {'b', FAILS, false, ""},
        {'b', SERVES, false, "b.Main"},
        // A silent server starts b's own previous release.
        {'b', SILENT, false, "b.Main"},
        // Servers that call any date current: each is asked with its own.
        {'a', SERVES, false, "a.Main"},
        {'b', SERVES, true, "b.Main"},
        {'a', SILENT, true, "a.Main"},
    };
    for (size_t i = 0; i < sizeof steps / sizeof steps[0]; i++)
        run_step(steps[i], i);

    // Both copies stay, each its application's, each with its own shortcut.
    EXPECT_EQ(read_file(SITES + "launch.nlp"), text(apps_[0]));
    EXPECT_EQ(read_file(SITES + "launch (127.0.0.1).nlp"), text(apps_[1]));
    EXPECT_EQ(read_shortcut(link("App A")).arguments, "\"" + SITES + "launch.nlp\"");
    EXPECT_EQ(read_shortcut(link("App B")).arguments, "\"" + SITES + "launch (127.0.0.1).nlp\"");
    // Each server was asked only with the date it gave.
    for (App& app : apps_) {
        for (const std::string& request : app.server.requests()) {
            if (has_date(request)) {
                EXPECT_NE(request.find("If-Modified-Since: " + app.date), std::string::npos)
                    << request;
            }
        }
    }
}

} // namespace
