// "update": "background" as one table of launches: what the server does,
// which main class starts (from the cache at once, or after the check),
// and which release the sites copy holds when the launcher has ended.
#include "tests/win/launcher_net_fixture.h"

namespace {

enum Serve {
    FIRST,          // release 1 (app.Main in one.jar)
    HELD,           // release 2 (app.Second in two.jar), every answer held until Java runs
    MISSING,        // 404 for everything
    PORTAL,         // 200 with a login page for everything
    SILENT,         // never answers
    SECOND,         // release 2, answered at once
};

struct Launch {
    Serve serve;
    const char* started;  // the main class that starts
    const char* copy;     // the main class of the sites copy at the end
    bool second_launch;   // another launch of it while the first is at work
    bool check_first;     // the administrator's UpdateCheck = "timeout"
};

class LauncherBackgroundE2E : public LauncherE2E {
protected:
    void SetUp() override
    {
        LauncherE2E::SetUp();
        place_fake_java();
    }

    void TearDown() override
    {
        server_.release_pauses();
        LauncherE2E::TearDown();
    }

    std::string release(const char* main_class, const char* jar)
    {
        return "{\"codebase\": \"" + url_of(server_.port(), "/app/") + "\", \"href\": \"" +
               url_of(server_.port(), "/app/app.nlp") + "\", \"resources\": [\"" + jar +
               "\"], \"mainclass\": \"" + main_class + "\", \"update\": \"background\"}";
    }

    void serve(Serve how)
    {
        CannedResponse held;
        for (const char* target : {"/app/app.nlp", "/app/one.jar", "/app/two.jar"}) {
            CannedResponse response = http_response("404 Not Found", {"Content-Length: 0"}, "");
            std::string path = target;
            bool first = how == FIRST;
            if ((how == FIRST || how == HELD || how == SECOND) && path == "/app/app.nlp")
                response = ok(first ? release("app.Main", "one.jar") : release("app.Second", "two.jar"));
            else if (how == FIRST && path == "/app/one.jar")
                response = ok(body_of("one"));
            else if ((how == HELD || how == SECOND) && path == "/app/two.jar")
                response = ok(body_of("two"));
            else if (how == PORTAL)
                response = http_response("200 OK", {"Content-Type: text/html", "Content-Length: 21"},
                                         "<html>Sign in</html>\n");
            if (how == HELD) {
                response.pause_at = 0;
                response.pause_ms = RUN_TIMEOUT_MS;
            }
            response.never_answer = how == SILENT;
            server_.on(target, response);
            server_.on_conditional(target, how == FIRST || how == SECOND
                                               ? http_response("304 Not Modified", {}, "")
                                               : response);
        }
    }

    std::string main_class_of(const std::string& line)
    {
        size_t at = line.rfind("app.");
        return at == std::string::npos ? line : line.substr(at, line.find_first_of(" \",", at) - at);
    }

    void wait_for_requests(size_t count, HANDLE process)
    {
        while (server_.requests().size() < count)
            ASSERT_EQ(WaitForSingleObject(process, 50), WAIT_TIMEOUT) << "ended before asking";
    }

    void launch(const Launch& step, size_t index)
    {
        SCOPED_TRACE("launch " + std::to_string(index));
        serve(step.serve);
        if (step.check_first)
            RegSetKeyValueA(HKEY_LOCAL_MACHINE, "Software\\Policies\\Quorvel\\Launcher",
                            "UpdateCheck", REG_SZ, "timeout", 8);
        size_t starts = java_starts().size();
        size_t asked = server_.requests().size();
        std::string path = file_exists(SITES + "app.nlp") ? SITES + "app.nlp" : first_;
        ResetEvent(java_started_);
        PROCESS_INFORMATION first = start("/S \"" + path + "\"");
        if (step.check_first) {
            // The check comes first: Java waits for the held answer.
            wait_for_requests(asked + 1, first.hProcess);
            EXPECT_EQ(java_starts().size(), starts);
            server_.release_pauses();
        }
        ASSERT_TRUE(wait_for_java());
        if (step.serve == HELD && !step.check_first) {
            // Java runs while every answer is still held back, and the
            // window is told away for good.
            while (read_file(LAUNCH_LOG).find("the window stays hidden") == std::string::npos)
                ASSERT_EQ(WaitForSingleObject(first.hProcess, 50), WAIT_TIMEOUT);
            HWND window = FindWindowA("Quorvel Launcher", "Quorvel Launcher");
            EXPECT_TRUE(!window || !IsWindowVisible(window));
            if (step.second_launch) {
                // Once the first asks, the second finds it at work.
                wait_for_requests(asked + 1, first.hProcess);
                asked = server_.requests().size();
                ResetEvent(java_started_);
                run("/S \"" + path + "\"");
                ASSERT_TRUE(wait_for_java());
                EXPECT_EQ(server_.requests().size(), asked) << "the second launch asked";
                starts++;
            }
            server_.release_pauses();
        }
        ASSERT_EQ(WaitForSingleObject(first.hProcess, RUN_TIMEOUT_MS), WAIT_OBJECT_0);
        DWORD exit_code = 1;
        GetExitCodeProcess(first.hProcess, &exit_code);
        CloseHandle(first.hProcess);
        EXPECT_EQ(exit_code, 0u);
        std::vector<std::string> lines = java_starts();
        ASSERT_EQ(lines.size(), starts + 1);
        EXPECT_EQ(main_class_of(lines.back()), step.started);
        EXPECT_EQ(main_class_of(read_file(SITES + "app.nlp")), step.copy);
        EXPECT_EQ(dialogs_.records(), std::vector<DialogRecord>{});
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Software\\Policies\\Quorvel");
    }

    TestServer server_;
    std::string first_;
};

TEST_F(LauncherBackgroundE2E, ACachedReleaseStartsAtOnceAndTheNextComesForTheNextLaunch)
{
    first_ = write_descriptor("app.nlp", release("app.Main", "one.jar"));
    const Launch launches[] = {
        // Nothing cached: the launch fetches first.
        {FIRST, "app.Main", "app.Main", false, false},
        // Failures in the background tell nothing and change nothing.
        {MISSING, "app.Main", "app.Main", false, false},
        {PORTAL, "app.Main", "app.Main", false, false},
        {SILENT, "app.Main", "app.Main", false, false},
        // The cached release starts while the server holds its answers; a
        // second launch meanwhile starts too and asks nothing; the new
        // release waits staged whole (the running Java reads the folder)
        // and moves in before the next start.
        {HELD, "app.Main", "app.Main", true, false},
        {SECOND, "app.Second", "app.Second", false, false},
    };
    for (size_t i = 0; i < sizeof launches / sizeof launches[0]; i++)
        launch(launches[i], i);
}

TEST_F(LauncherBackgroundE2E, TheAdministratorCanHaveEveryLaunchCheckFirst)
{
    first_ = write_descriptor("app.nlp", release("app.Main", "one.jar"));
    launch({FIRST, "app.Main", "app.Main", false, false}, 0);
    launch({HELD, "app.Second", "app.Second", false, true}, 1);
}

// A release staged in the background that is older than the release in
// place (a power cut came between a later commit and the staged one's
// removal) is never moved in over it.
TEST_F(LauncherBackgroundE2E, AStagedReleaseOlderThanTheOneInPlaceNeverMovesIn)
{
    first_ = write_descriptor("app.nlp", release("app.Main", "one.jar"));
    launch({FIRST, "app.Main", "app.Main", false, false}, 0);
    const std::string next = "C:\\quorvel\\launcher\\releases\\http###127.0.0.1#" +
                             std::to_string(server_.port()) + "#app#\\next.nlp";
    write_file(next, release("app.Second", "two.jar"));
    HANDLE file = CreateFileA(next.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0,
                              nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    SYSTEMTIME long_ago = {1990, 1, 1, 1, 0, 0, 0, 0};
    FILETIME written;
    SystemTimeToFileTime(&long_ago, &written);
    EXPECT_TRUE(SetFileTime(file, nullptr, nullptr, &written));
    CloseHandle(file);
    launch({FIRST, "app.Main", "app.Main", false, false}, 1);
    EXPECT_FALSE(file_exists(next));
}

} // namespace
