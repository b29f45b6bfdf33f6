// The real Launcher.exe against a scripted code base server on 127.0.0.1:
// resources in order, the cache rule, unreachable hosts, the progress
// window, the runtime and the launcher updates, signed launcher builds.
#include "runtime/version.h"
#include "tests/win/launcher_net_fixture.h"

#include <commctrl.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <thread>

namespace {

TEST_F(LauncherNetE2E, ResourcesAreFetchedInOrderUntilOneFails)
{
    place_fake_java();
    server_.on("/app/a.jar", ok(body_of("a")));
    server_.on("/app/b.jar", http_response("404 Not Found", {}, "missing"));
    server_.on("/app/c.jar", ok(body_of("c")));
    std::string path = descriptor("\"a.jar\", \"b.jar\", \"c.jar\"");
    close_main_window_after_box(dialogs_, 1, start("/S \"" + path + "\""));
    EXPECT_EQ(dialogs_.records(), std::vector<DialogRecord>{error_box("Error downloading resource")});
    EXPECT_EQ(request_lines(server_),
              (std::vector<std::string>{"GET /app/a.jar HTTP/1.1", "GET /app/b.jar HTTP/1.1"}));
    // Nothing of a release that is not whole joins the cache; what arrived
    // waits aside for the next launch.
    EXPECT_EQ(read_file(staged_folder(server_.port()) + "a.jar"), body_of("a"));
    for (const char* name : {"a.jar", "b.jar", "c.jar"})
        EXPECT_FALSE(file_exists(site_folder(server_.port()) + name)) << name;
    EXPECT_TRUE(java_starts().empty());
}

TEST_F(LauncherNetE2E, AResourceNameThatIsNoSafeFileNameIsRefused)
{
    place_fake_java();
    // The file name after the last "/" would climb out of the cache.
    std::string path = descriptor("\"lib/..\\\\..\\\\Launcher.exe\"");
    close_main_window_after_box(dialogs_, 1, start("/S \"" + path + "\""));
    EXPECT_EQ(dialogs_.records(), std::vector<DialogRecord>{error_box("Error cannot write resource")});
    EXPECT_TRUE(server_.requests().empty());
    EXPECT_TRUE(java_starts().empty());
}

TEST_F(LauncherNetE2E, AWarmCacheIsRevalidatedAndKeptOn304)
{
    place_fake_java();
    server_.on("/app/a.jar", ok(body_of("a")));
    server_.on("/app/lib/b.jar", ok(body_of("b")));
    std::string path = descriptor("\"a.jar\", \"lib/b.jar\"");
    run_java(path);
    EXPECT_EQ(read_file(site_folder(server_.port()) + "b.jar"), body_of("b"));

    server_.on("/app/a.jar", http_response("304 Not Modified", {}, ""));
    server_.on("/app/lib/b.jar", http_response("304 Not Modified", {}, ""));
    run_java(path);
    std::vector<std::string> requests = server_.requests();
    ASSERT_EQ(requests.size(), 4u);
    for (size_t i = 2; i < 4; i++)
        EXPECT_NE(requests[i].find(std::string("\r\nIf-Modified-Since: ") + LAST_MODIFIED + "\r\n"),
                  std::string::npos)
            << requests[i];
    EXPECT_EQ(read_file(site_folder(server_.port()) + "a.jar"), body_of("a"));
    EXPECT_EQ(read_file(site_folder(server_.port()) + "b.jar"), body_of("b"));
    EXPECT_EQ(java_starts(), std::vector<std::string>(2, java_line(server_.port(), "app.Main ")));
    EXPECT_TRUE(dialogs_.records().empty());
}

TEST_F(LauncherNetE2E, AnUnreachableHostIsAnsweredFromTheCache)
{
    place_fake_java();
    RefusingPort refusing;
    std::string path = write_descriptor(
        "app.nlp", "{\"codebase\": \"" + url_of(refusing.port(), "/app/") +
                       "\", \"resources\": [\"a.jar\", \"b.jar\"], \"mainclass\": \"M\"}");
    harness_make_folders(site_folder(refusing.port()));
    write_file(site_folder(refusing.port()) + "a.jar", "cached a");
    write_file(site_folder(refusing.port()) + "b.jar", "cached b");
    run_java(path);
    EXPECT_TRUE(dialogs_.records().empty());
    EXPECT_EQ(read_file(site_folder(refusing.port()) + "a.jar"), "cached a");

    DeleteFileA((site_folder(refusing.port()) + "b.jar").c_str());
    close_main_window_after_box(dialogs_, 1, start("/S \"" + path + "\""));
    EXPECT_EQ(dialogs_.records(), std::vector<DialogRecord>{error_box("Error downloading resource")});
    EXPECT_EQ(java_starts().size(), 1u);
}

struct Progress {
    std::string label;
    LRESULT position;
};

// Polls the window's controls until they show what the test waits for;
// returns what they showed last.
Progress wait_for_progress(HWND window, const std::string& label_text, LRESULT position)
{
    Progress seen = {"", -1};
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < deadline) {
        HWND label = FindWindowExA(window, nullptr, "Static", nullptr);
        HWND bar = FindWindowExA(window, nullptr, "msctls_progress32", nullptr);
        char text[256] = "";
        GetWindowTextA(label, text, sizeof text);
        seen = {text, SendMessageA(bar, PBM_GETPOS, 0, 0)};
        if (seen.label == label_text && seen.position == position)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return seen;
}

TEST_F(LauncherNetE2E, TheWindowFollowsTheDownloadAndClosesAtOnce)
{
    place_fake_java();
    const std::string big = body_of("big", 100000);
    CannedResponse held = ok(big);
    // Hold the body back part of the way: the bar must show what came.
    held.pause_at = 40960;
    held.pause_ms = 60000;
    server_.on("/app/big.jar", held);
    PROCESS_INFORMATION process = start("/S \"" + descriptor("\"big.jar\"") + "\"");
    HWND window = nullptr;
    for (int i = 0; i < 1500 && !window; i++) {
        window = FindWindowA("Quorvel Launcher", "Quorvel Launcher");
        if (!window)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_NE(window, nullptr);
    Progress progress = wait_for_progress(window, "big.jar", 40960);
    EXPECT_EQ(progress.label, "big.jar");
    EXPECT_EQ(progress.position, 40960);
    HWND bar = FindWindowExA(window, nullptr, "msctls_progress32", nullptr);
    EXPECT_EQ(SendMessageA(bar, PBM_GETRANGE, TRUE, 0), 0);
    EXPECT_EQ(SendMessageA(bar, PBM_GETRANGE, FALSE, 0), static_cast<LRESULT>(big.size()));

    PostMessageA(window, WM_CLOSE, 0, 0);
    ASSERT_EQ(WaitForSingleObject(process.hProcess, 10000), WAIT_OBJECT_0);
    DWORD exit_code = 1;
    GetExitCodeProcess(process.hProcess, &exit_code);
    EXPECT_EQ(exit_code, 0u);
    CloseHandle(process.hProcess);
    EXPECT_FALSE(file_exists(site_folder(server_.port()) + "big.jar"));
    EXPECT_TRUE(java_starts().empty());
}

// The stand-in runtime's zip: the 1.8.0.0 build, or the one of suffix
// "-<version>".
std::string runtime_zip(const std::string& suffix = "")
{
    return read_file(harness_program_folder() + "runtime" + suffix + ".zip");
}

// The file version of the program at path, "" when none can be read.
std::string version_of(const std::string& path)
{
    char version[VERSION_TEXT_SIZE];
    return query_file_version(path.c_str(), version, sizeof version) ? version : "";
}

TEST_F(LauncherNetE2E, ARuntimeInUseStaysWholeAndTheNextLaunchReplacesItWhole)
{
    // The installed runtime (version 1.8.0.0) has a file the new one lacks.
    place_fake_java();
    write_file(RUNTIME + "release", "older runtime");
    harness_make_folders(RUNTIME + "lib\\");
    write_file(RUNTIME + "lib\\older.jar", "older");
    server_.on("/app/jre-1.8.0.1.zip", ok(runtime_zip("-1.8.0.1")));
    server_.on_conditional("/app/jre-1.8.0.1.zip", http_response("304 Not Modified", {}, ""));
    std::string path = descriptor("", ", \"jre\": \"jre-1.8.0.1.zip\"");
    const std::set<std::string> root = {"Launcher.exe", "cache",    "components", "java",
                                        "launcher.log", "releases", "sites"};
    // A running application holds its runtime's program and folders open,
    // without sharing deletion, so none of them can be moved.
    std::vector<HANDLE> held;
    for (const std::string& name : {RUNTIME, RUNTIME + "bin", std::string(JAVA)}) {
        held.push_back(CreateFileA(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        ASSERT_NE(held.back(), INVALID_HANDLE_VALUE);
    }
    run_java(path);
    for (HANDLE handle : held)
        CloseHandle(handle);
    harness_wait_for_programs_below("C:\\quorvel\\launcher\\java");
    EXPECT_EQ(listing(RUNTIME), (std::set<std::string>{"bin", "bin/java.exe", "bin/java-starts.txt",
                                                       "lib", "lib/older.jar", "release"}));
    EXPECT_EQ(read_file(RUNTIME + "release"), "older runtime");
    EXPECT_EQ(install_root_names(), root);

    run_java(path);
    EXPECT_EQ(listing(RUNTIME), (std::set<std::string>{"bin", "bin/java.exe", "bin/java-starts.txt",
                                                       "release", "installed-as.txt"}));
    EXPECT_EQ(read_file(RUNTIME + "release"), "JAVA_VERSION=\"1.8.0.1\"\n");
    EXPECT_EQ(install_root_names(), root);
    // The archive stayed: the second launch only revalidated it.
    std::vector<std::string> requests = server_.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_FALSE(has_date(requests[0]));
    EXPECT_TRUE(has_date(requests[1]));
    EXPECT_TRUE(dialogs_.records().empty());
}

// Polls the launcher windows, for up to a minute, until one's label shows text.
bool wait_for_a_label(const char* text)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(RUN_TIMEOUT_MS);
    do {
        for (HWND window = nullptr;
             (window = FindWindowExA(nullptr, window, "Quorvel Launcher", nullptr)) != nullptr;) {
            char shown[256] = "";
            GetWindowTextA(FindWindowExA(window, nullptr, "Static", nullptr), shown, sizeof shown);
            if (strcmp(shown, text) == 0)
                return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    } while (std::chrono::steady_clock::now() < deadline);
    return false;
}

// A temporary download file named for a process that has ended. It is
// written before that process starts, so a later process that takes the
// same id started after it too.
std::string leftover_of_an_ended_process(const std::string& folder)
{
    std::string written = folder + "cut-short";
    write_file(written, "cut short");
    std::string line = "\"" + harness_program_folder() + "record_args.exe\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
        return "";
    WaitForSingleObject(process.hProcess, RUN_TIMEOUT_MS);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    std::string name = "download-" + std::to_string(process.dwProcessId) + ".part";
    return MoveFileA(written.c_str(), (folder + name).c_str()) ? name : "";
}

TEST_F(LauncherNetE2E, LaunchesOfOneSiteAtOnceFetchEachFileOnce)
{
    place_fake_java();
    install_copy();
    CannedResponse slow = ok(body_of("a", 100000));
    slow.pause_at = 40960;
    slow.pause_ms = RUN_TIMEOUT_MS;
    server_.on("/app/a.jar", slow);
    server_.on("/app/b.jar", ok(body_of("b")));
    for (const char* target : {"/app/a.jar", "/app/b.jar"})
        server_.on_conditional(target, http_response("304 Not Modified", {}, ""));
    std::string path = descriptor("\"a.jar\", \"b.jar\"");
    // What killed downloads left: one of a process that has ended, and one
    // of a process that runs (this test).
    std::string site = site_folder(server_.port());
    harness_make_folders(site);
    ASSERT_NE(leftover_of_an_ended_process(site), "");
    std::string live = "download-" + std::to_string(GetCurrentProcessId()) + ".part";
    write_file(site + live, "being written");

    PROCESS_INFORMATION launches[] = {start("\"" + path + "\"", INSTALLED),
                                      start("\"" + path + "\"", INSTALLED)};
    // One launch holds the site while the body of a.jar pauses.
    EXPECT_TRUE(wait_for_a_label("Waiting for another launch"));
    server_.release_pauses();
    for (PROCESS_INFORMATION& launch : launches) {
        ASSERT_EQ(WaitForSingleObject(launch.hProcess, RUN_TIMEOUT_MS), WAIT_OBJECT_0);
        DWORD exit_code = 1;
        GetExitCodeProcess(launch.hProcess, &exit_code);
        EXPECT_EQ(exit_code, 0u);
        CloseHandle(launch.hProcess);
    }
    harness_wait_for_programs_below("C:\\quorvel\\launcher\\java");

    // Fetched by the first, only revalidated by the one that waited.
    std::vector<std::string> requests = server_.requests();
    ASSERT_EQ(requests.size(), 4u);
    for (size_t i = 0; i < requests.size(); i++) {
        EXPECT_EQ(request_line(requests[i]),
                  i % 2 ? "GET /app/b.jar HTTP/1.1" : "GET /app/a.jar HTTP/1.1");
        EXPECT_EQ(has_date(requests[i]), i >= 2) << requests[i];
    }
    EXPECT_EQ(listing(site), (std::set<std::string>{"a.jar", "b.jar", live}));
    EXPECT_EQ(read_file(site + "a.jar"), body_of("a", 100000));
    EXPECT_EQ(read_file(site + "b.jar"), body_of("b"));
    EXPECT_EQ(java_starts(), std::vector<std::string>(2, java_line(server_.port(), "app.Main ")));
    EXPECT_TRUE(dialogs_.records().empty());
}

TEST_F(LauncherNetE2E, TheRuntimeIsFetchedAndUnpackedWhenNoneIsInstalled)
{
    server_.on("/app/a.jar", ok(body_of("a")));
    server_.on("/app/jre-1.8.0.0.zip", ok(runtime_zip()));
    std::string path = descriptor("\"a.jar\"", ", \"jre\": \"jre-1.8.0.0.zip\"");
    run_java(path);
    EXPECT_EQ(request_lines(server_), (std::vector<std::string>{
                                          "GET /app/a.jar HTTP/1.1",
                                          "GET /app/jre-1.8.0.0.zip HTTP/1.1"}));
    EXPECT_EQ(read_file(JAVA), read_file(harness_program_folder() + "fake_java.exe"));
    EXPECT_EQ(read_file("C:\\quorvel\\launcher\\components\\runtime\\jre-1.8.0.0.zip"),
              runtime_zip());
    EXPECT_EQ(java_starts(), std::vector<std::string>{java_line(server_.port(), "app.Main ")});
}

// A pinned runtime is taken only with its digest: a copy in the
// folder of runtimes that lacks it is no runtime of the release when the
// server has none.
TEST_F(LauncherNetE2E, APinnedRuntimeWithoutItsDigestIsNotUnpacked)
{
    std::filesystem::create_directories("C:\\quorvel\\launcher\\components\\runtime");
    write_file("C:\\quorvel\\launcher\\components\\runtime\\jre-1.8.0.0.zip", runtime_zip());
    const std::string zeros(64, '0');
    std::string path = descriptor("", ", \"jre\": \"jre-1.8.0.0.zip\", \"sha256\": "
                                      "{\"jre-1.8.0.0.zip\": \"" + zeros + "\"}");
    close_main_window_after_box(dialogs_, 1, start("/S \"" + path + "\""));
    EXPECT_EQ(dialogs_.records(), std::vector<DialogRecord>{error_box("Error downloading resource")});
    EXPECT_FALSE(file_exists(JAVA));
    EXPECT_NE(read_file(LAUNCH_LOG).find("jre-1.8.0.0.zip does not have its sha256"),
              std::string::npos);
}

TEST_F(LauncherNetE2E, ACurrentRuntimeIsNotFetchedANewerOneIs)
{
    // The stand-in carries the file version 1.8.0.0.
    place_fake_java();
    std::string current = descriptor("", ", \"jre\": \"jre-1.8.0.0.zip\"");
    run_java(current);
    EXPECT_TRUE(server_.requests().empty());

    TestServer other;
    other.on("/runtimes/jre-1.8.0.1.zip", ok(runtime_zip("-1.8.0.1")));
    std::string newer = descriptor(
        "", ", \"jre\": \"" + url_of(other.port(), "/runtimes/jre-1.8.0.1.zip") + "\"");
    run_java(newer);
    EXPECT_TRUE(server_.requests().empty());
    EXPECT_EQ(request_lines(other),
              std::vector<std::string>{"GET /runtimes/jre-1.8.0.1.zip HTTP/1.1"});
    EXPECT_EQ(read_file("C:\\quorvel\\launcher\\components\\runtime\\jre-1.8.0.1.zip"), runtime_zip("-1.8.0.1"));
    EXPECT_EQ(version_of(JAVA), "1.8.0.1");
    // The new runtime took the old one's place whole, its record of the
    // first start included.
    EXPECT_EQ(java_starts().size(), 1u);
}

const std::string SITES = "C:\\quorvel\\launcher\\sites\\";
const std::string RUNTIMES = "C:\\quorvel\\launcher\\runtimes\\";

// Opens a runtime's folder, its bin folder and its java.exe as a running
// application holds them, without sharing deletion, so none can be moved.
std::vector<HANDLE> hold_runtime(const std::string& folder)
{
    std::vector<HANDLE> held;
    for (const std::string& name : {folder, folder + "bin", folder + "bin\\java.exe"})
        held.push_back(CreateFileA(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return held;
}

TEST_F(LauncherNetE2E, EachApplicationRunsOnTheJavaLineItNames)
{
    for (const std::string version : {"1.8.0.0", "1.8.0.1", "17.0.1.0"})
        server_.on("/app/jre-" + version + ".zip",
                   ok(runtime_zip(version == "1.8.0.0" ? "" : "-" + version)));
    std::string old_app = write_descriptor("old.nlp", nlp("", ", \"jre\": \"jre-1.8.0.0.zip\""));
    std::string new_app = write_descriptor("new.nlp", nlp("", ", \"jre\": \"jre-17.0.1.0.zip\""));
    const std::string line_17 = RUNTIMES + "17\\";
    const std::string java_17 = line_17 + "bin\\java.exe";
    // Each descriptor is an application of its own, with a folder of its own.
    const std::string started_17 =
        java_17 + " -cp " + numbered_site_folder(server_.port(), 2) + "* app.Main ";
    run_java(old_app);
    run_java(new_app);
    // Each started the java.exe of its line: the stand-in records its start
    // beside itself.
    EXPECT_EQ(java_starts(), std::vector<std::string>{java_line(server_.port(), "app.Main ")});
    EXPECT_EQ(java_starts(line_17 + "bin\\java-starts.txt"), std::vector<std::string>{started_17});
    EXPECT_EQ(version_of(JAVA), "1.8.0.0");
    EXPECT_EQ(version_of(java_17), "17.0.1.0");

    // A newer 1.8 build replaces 1.8 whole and alone; 17 is current; a
    // descriptor naming no runtime runs on java\.
    write_descriptor("old.nlp", nlp("", ", \"jre\": \"jre-1.8.0.1.zip\""));
    run_java(old_app);
    run_java(new_app);
    run_java(write_descriptor("plain.nlp", nlp("")));
    EXPECT_EQ(version_of(JAVA), "1.8.0.1");
    EXPECT_EQ(java_starts(), (std::vector<std::string>{java_line(server_.port(), "app.Main "),
                                                       std::string(JAVA) + " -cp " +
                                                           numbered_site_folder(server_.port(), 3) +
                                                           "* app.Main "}));
    EXPECT_EQ(java_starts(line_17 + "bin\\java-starts.txt"),
              std::vector<std::string>(2, started_17));
    EXPECT_EQ(request_lines(server_),
              (std::vector<std::string>{"GET /app/jre-1.8.0.0.zip HTTP/1.1",
                                        "GET /app/jre-17.0.1.0.zip HTTP/1.1",
                                        "GET /app/jre-1.8.0.1.zip HTTP/1.1"}));

    // Once no descriptor in the sites folder names 17, a launch removes its
    // folder; a line in use, which none names either, stays until it is free.
    const std::string line_11 = RUNTIMES + "11\\";
    harness_make_folders(line_11 + "bin\\");
    ASSERT_TRUE(CopyFileA(JAVA, (line_11 + "bin\\java.exe").c_str(), FALSE));
    std::vector<HANDLE> held = hold_runtime(line_11);
    ASSERT_TRUE(DeleteFileA((SITES + "new.nlp").c_str()));
    harness_wait_for_programs_below("C:\\quorvel\\launcher");
    run_java(old_app);
    EXPECT_EQ(listing(RUNTIMES), (std::set<std::string>{"11", "11/bin", "11/bin/java.exe"}));
    for (HANDLE handle : held)
        CloseHandle(handle);
    run_java(old_app);
    EXPECT_EQ(listing(RUNTIMES), std::set<std::string>{});
    EXPECT_EQ(version_of(JAVA), "1.8.0.1");
    const std::string log = read_file("C:\\quorvel\\launcher\\launcher.log");
    for (const std::string& logged :
         {"runtime: removed " + RUNTIMES + "17: no descriptor in the sites folder names line 17",
          "runtime: kept " + RUNTIMES + "11, which no descriptor names: it is in use; the next "
                                        "launch tries again",
          "runtime: removed " + RUNTIMES + "11: no descriptor in the sites folder names line 11"})
        EXPECT_NE(log.find("] " + logged + "\r\n"), std::string::npos) << logged;
    EXPECT_TRUE(dialogs_.records().empty());
}

// What updates set aside in the install root.
std::vector<std::string> set_aside_launchers()
{
    std::vector<std::string> found;
    for (const std::string& name : install_root_names()) {
        if (name.rfind("Launcher-old-", 0) == 0)
            found.push_back(name);
    }
    return found;
}

TEST_F(LauncherNetE2E, ANewerLauncherTakesItsPlaceAtOnceAndOverTheLaunch)
{
    place_fake_java();
    run("/S");
    ASSERT_EQ(uninstall_value("DisplayVersion").data, "1.2.1.0");
    std::string next = read_file(harness_program_folder() + "launcher-9.0.0.0.exe");
    server_.on("/app/a.jar", ok(body_of("a")));
    server_.on_conditional("/app/a.jar", http_response("304 Not Modified", {}, ""));
    server_.on("/app/launcher-9.0.0.0.exe", ok(next));
    const std::vector<std::string> renames = pending_file_operations();
    // A blank in the path: the relaunch must hand it over as one argument.
    std::string path = write_descriptor(
        "my app.nlp", "{\"codebase\": \"" + url_of(server_.port(), "/app/") +
                          "\", \"resources\": [\"a.jar\"], \"mainclass\": \"app.Main\", "
                          "\"launcher\": \"launcher-9.0.0.0.exe\"}");
    run("\"" + path + "\"", INSTALLED);
    ASSERT_TRUE(wait_for_java());
    harness_wait_for_programs_below("C:\\quorvel\\launcher");
    const std::vector<DialogRecord> update = {
        {"Update", "Quorvel launcher will update and relaunch", "information"}};
    EXPECT_EQ(dialogs_.records(), update);
    // The new build took Launcher.exe's place before it started, and
    // continued the launch from there; nothing waits for a restart.
    EXPECT_EQ(read_file(INSTALLED), next);
    EXPECT_FALSE(file_exists("C:\\quorvel\\launcher\\components\\launcher\\launcher-9.0.0.0.exe"));
    EXPECT_EQ(uninstall_value("DisplayVersion").data, "9.0.0.0");
    EXPECT_EQ(pending_file_operations(), renames);
    EXPECT_EQ(java_starts(), std::vector<std::string>{java_line(server_.port(), "app.Main ")});

    // The next launch finds it current and asks nothing; the old build set
    // aside is gone by then.
    ResetEvent(java_started_);
    run("\"" + path + "\"", INSTALLED);
    ASSERT_TRUE(wait_for_java());
    EXPECT_EQ(dialogs_.records(), update);
    std::vector<std::string> lines = request_lines(server_);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "GET /app/launcher-9.0.0.0.exe HTTP/1.1"), 1);
    EXPECT_EQ(java_starts().size(), 2u);
    EXPECT_EQ(set_aside_launchers(), std::vector<std::string>{});
    const std::string log = read_file("C:\\quorvel\\launcher\\launcher.log");
    EXPECT_NE(log.find(", set aside by an update, removed\r\n"), std::string::npos) << log;
}

// A signed running launcher against the newer build signed in each way
// (tests/win/signed-builds): what the log says after "launcher: <build> ".
struct SignedBuild {
    const char* name;
    bool taken;
    const char* logged;
};

const SignedBuild SIGNED_BUILD_CASES[] = {
    {"renewed", true,
     "taken: signed by the running launcher's publisher O=Quorvel, CN=Quorvel Launcher "
     "(root CN=Quorvel test code-signing root root)"},
    {"unsigned", false, "refused: not signed (0x800B0100); removed"},
    {"changed", false, "refused: its signature does not hold (0x80096010); removed"},
    {"other_subject", false,
     "refused: signed by another publisher: O=Quorvel, CN=Someone Else, not O=Quorvel, "
     "CN=Quorvel Launcher; removed"},
    {"other_root", false,
     "refused: its chain ends at another root: CN=Quorvel test code-signing root other, not "
     "CN=Quorvel test code-signing root root; removed"},
    {"untrusted_root", false,
     "refused: its code-signing chain does not hold (status 0x00010000); removed"},
};

class LauncherSignatureE2E : public LauncherNetE2E,
                             public testing::WithParamInterface<SignedBuild> {};

TEST_P(LauncherSignatureE2E, ASignedLauncherTakesOnlyItsPublishersBuilds)
{
    const std::string builds = SIGNED_BUILDS;
    const std::string next = "C:\\quorvel\\launcher\\components\\launcher\\launcher-9.0.0.0.exe";
    ASSERT_TRUE(trust_root(builds + "root.pem"));
    ASSERT_TRUE(trust_root(builds + "other.pem"));
    place_fake_java();
    std::string running = read_file(builds + "Launcher.exe");
    std::string build = read_file(builds + GetParam().name + ".exe");
    write_file(INSTALLED, running);
    server_.on("/app/a.jar", ok(body_of("a")));
    server_.on("/app/launcher-9.0.0.0.exe", ok(build));
    const std::vector<std::string> renames = pending_file_operations();
    run("\"" + descriptor("\"a.jar\"", ", \"launcher\": \"launcher-9.0.0.0.exe\"") + "\"",
        INSTALLED);
    ASSERT_TRUE(wait_for_java());

    bool taken = GetParam().taken;
    std::vector<DialogRecord> boxes;
    if (taken)
        boxes.push_back({"Update", "Quorvel launcher will update and relaunch", "information"});
    EXPECT_EQ(dialogs_.records(), boxes);
    // A taken build moved in; a refused one was removed.
    EXPECT_TRUE(read_file(INSTALLED) == (taken ? build : running));
    EXPECT_FALSE(file_exists(next));
    EXPECT_EQ(pending_file_operations(), renames);
    EXPECT_EQ(java_starts(), std::vector<std::string>{java_line(server_.port(), "app.Main ")});
    std::string logged = "] launcher: " + next + " " + GetParam().logged + "\r\n";
    EXPECT_NE(read_file("C:\\quorvel\\launcher\\launcher.log").find(logged), std::string::npos)
        << logged;
}

INSTANTIATE_TEST_SUITE_P(Builds, LauncherSignatureE2E, testing::ValuesIn(SIGNED_BUILD_CASES),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(LauncherNetE2E, ARenamedJarLeavesTheCacheWhileOtherDescriptorsKeepTheirs)
{
    place_fake_java();
    for (std::string jar : {"a.jar", "lib-1.0.jar", "lib-1.1.jar", "gone.jar", "tool.jar"}) {
        server_.on("/app/" + jar, ok(body_of(jar)));
        server_.on_conditional("/app/" + jar, http_response("304 Not Modified", {}, ""));
    }
    // The first release, then another application of the same code base,
    // which has a folder of its own.
    std::string app = descriptor("\"a.jar\", \"lib-1.0.jar\", \"gone.jar\"");
    run_java(app);
    std::string tool = write_descriptor("tool.nlp", nlp("\"tool.jar\""));
    run_java(tool);
    std::string site = site_folder(server_.port());
    std::string tool_site = numbered_site_folder(server_.port(), 2);
    // A running application holds gone.jar; a download of this process is
    // under way.
    HANDLE held = CreateFileA((site + "gone.jar").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    std::string live = "download-" + std::to_string(GetCurrentProcessId()) + ".part";
    write_file(site + live, "being written");

    // The next release renames the library and drops gone.jar.
    descriptor("\"a.jar\", \"lib-1.1.jar\"");
    run_java(app);
    EXPECT_EQ(listing(site), (std::set<std::string>{"a.jar", "gone.jar", "lib-1.1.jar", live}));
    CloseHandle(held);
    run_java(app);
    EXPECT_EQ(listing(site), (std::set<std::string>{"a.jar", "lib-1.1.jar", live}));
    EXPECT_EQ(listing(tool_site), std::set<std::string>{"tool.jar"});
    run_java(tool);
    std::vector<std::string> requests = server_.requests();
    EXPECT_EQ(request_line(requests.back()), "GET /app/tool.jar HTTP/1.1");
    EXPECT_TRUE(has_date(requests.back()));
    EXPECT_EQ(java_starts().size(), 5u);
    EXPECT_TRUE(dialogs_.records().empty());
}

TEST_F(LauncherNetE2E, ADescriptorFollowsItsServerThroughHrefAndItsCopyServesOtherwise)
{
    place_fake_java();
    std::string href = ", \"href\": \"" + url_of(server_.port(), "/app/app.nlp") + "\"";
    std::string release = nlp(
        "\"b.jar\"", ", \"arguments\": \"new\", \"vmargs\": \"-Xmx64m -Dq=\\\"a b\\\"\"" + href);
    server_.on("/app/app.nlp", ok(release));
    server_.on("/app/b.jar", ok(body_of("b")));
    server_.on_conditional("/app/b.jar", http_response("304 Not Modified", {}, ""));
    run_java(descriptor("\"a.jar\"", ", \"arguments\": \"old\"" + href));
    EXPECT_EQ(request_lines(server_), (std::vector<std::string>{"GET /app/app.nlp HTTP/1.1",
                                                                "GET /app/app.nlp.minisig HTTP/1.1",
                                                                "GET /app/b.jar HTTP/1.1"}));
    EXPECT_EQ(read_file(SITES + "app.nlp"), release);
    const std::string started = std::string(JAVA) + " -Xmx64m -Dq=\"a b\" -cp " +
                                site_folder(server_.port()) + "* app.Main new";
    EXPECT_EQ(java_starts(), std::vector<std::string>{started});

    // An answer that is no whole descriptor is not stored: cut, without
    // its main class, over 1 MiB.
    std::string whole = R"({"codebase": "c/", "resources": [], "mainclass": "M"})";
    for (const std::string& broken : {std::string(R"({"codebase": ")"),
                                      std::string(R"({"codebase": "c/", "resources": []})"),
                                      whole + std::string(1 << 20, ' ')}) {
        server_.on("/app/app.nlp", ok(broken));
        run_java(SITES + "app.nlp");
        EXPECT_EQ(read_file(SITES + "app.nlp"), release);
        // The copy's time made the request conditional.
        std::vector<std::string> requests = server_.requests();
        EXPECT_NE(requests[requests.size() - 2].find(std::string("\r\nIf-Modified-Since: ") +
                                                     LAST_MODIFIED + "\r\n"),
                  std::string::npos);
    }
    // Nor when no answer comes.
    RefusingPort refusing;
    std::string away = release;
    away.replace(away.find(href), href.size(),
                 ", \"href\": \"" + url_of(refusing.port(), "/app/app.nlp") + "\"");
    write_file(SITES + "app.nlp", away);
    run_java(SITES + "app.nlp");
    EXPECT_EQ(read_file(SITES + "app.nlp"), away);
    EXPECT_EQ(java_starts(), std::vector<std::string>(5, started));
    EXPECT_TRUE(dialogs_.records().empty());
}

TEST_F(LauncherNetE2E, ACodeBaseNamingAFolderAboveTheCacheRemovesNothing)
{
    place_fake_java();
    // ".." would make the install root the site cache folder.
    write_file("C:\\quorvel\\launcher\\keep.txt", "kept");
    run_java(
        write_descriptor("up.nlp", R"({"codebase": "..", "resources": [], "mainclass": "M"})"));
    EXPECT_EQ(read_file("C:\\quorvel\\launcher\\keep.txt"), "kept");
}

} // namespace
