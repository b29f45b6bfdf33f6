// The progress window of the real Launcher.exe as a person sees it: the
// heading, both bars, the detail line and Cancel while three jars arrive
// slowly, at the system's scale; Cancel (clicked, Esc or Enter) ends the launch with
// nothing of the new release committed and Java not started.
#include "cache/tally.h"
#include "tests/win/launcher_net_fixture.h"

#include <commctrl.h>

#include <chrono>
#include <cstdio>
#include <algorithm>
#include <functional>
#include <thread>

namespace {

const char TITLE[] = "Window Test \xC3\xA9";  // é: the heading is UTF-8 throughout

// Waits (up to the run time-out) for ready, checking every 20 ms.
bool wait_until(const std::function<bool()>& ready)
{
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(RUN_TIMEOUT_MS);
    while (!ready()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

// Waits for the process to end; its exit code.
DWORD wait_for_end(PROCESS_INFORMATION process)
{
    WaitForSingleObject(process.hProcess, RUN_TIMEOUT_MS);
    DWORD exit_code = 1;
    GetExitCodeProcess(process.hProcess, &exit_code);
    CloseHandle(process.hProcess);
    return exit_code;
}

// Milliseconds of the log's clock at the start of the line holding what.
long long log_time(const std::string& log, const std::string& what)
{
    size_t at = log.find(what);
    size_t line = at == std::string::npos ? 0 : log.rfind('\n', at);
    int hours = 0, minutes = 0, seconds = 0, ms = 0;
    if (at == std::string::npos ||
        sscanf(log.c_str() + (line == std::string::npos ? 0 : line + 1), "%*d-%*d-%*d %d:%d:%d.%d",
               &hours, &minutes, &seconds, &ms) != 4)
        return -1;
    return ((hours * 60LL + minutes) * 60 + seconds) * 1000 + ms;
}

std::string text_of(HWND control)
{
    wchar_t text[256] = L"";
    GetWindowTextW(control, text, 256);
    char utf8[512] = "";
    WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8, nullptr, nullptr);
    return utf8;
}

// The window's controls in the order it makes them, and their places at
// 100 % (x, y, width, height): the label and the bar where they always were.
enum { LABEL, BAR, HEADING, WHOLE, DETAIL, CANCEL, CONTROLS };
const int PLACES[CONTROLS][4] = {{20, 40, 340, 20}, {20, 60, 340, 20}, {20, 8, 340, 24},
                                 {20, 84, 340, 10}, {20, 96, 340, 16}, {285, 114, 75, 22}};

std::vector<HWND> controls_of(HWND window)
{
    std::vector<HWND> found;
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        found.push_back(child);
    found.resize(CONTROLS);
    return found;
}

void set_log_pixels(DWORD dpi)
{
    RegSetKeyValueA(HKEY_CURRENT_USER, "Control Panel\\Desktop", "LogPixels", REG_DWORD, &dpi,
                    sizeof dpi);
}

struct Case {
    DWORD dpi;
    WPARAM key;   // the key pressed on the focused button (0: it is clicked)
    bool warm;    // a committed release is there before
};

class LauncherWindowE2E : public LauncherNetE2E, public testing::WithParamInterface<Case> {
protected:
    void TearDown() override
    {
        server_.release_pauses();
        set_log_pixels(96);
        LauncherNetE2E::TearDown();
    }
};

TEST_P(LauncherWindowE2E, ShowsTheWholeLaunchAndCancelCommitsNothing)
{
    const Case& c = GetParam();
    // Read as a program that draws for each monitor's scale reads it.
    using SetContext = HANDLE(WINAPI*)(HANDLE);
    auto set_context = reinterpret_cast<SetContext>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("user32.dll"), "SetThreadDpiAwarenessContext")));
    ASSERT_NE(set_context, nullptr);
    set_context(reinterpret_cast<HANDLE>(-4));  // DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2
    place_fake_java();
    const std::string extra = std::string(", \"title\": \"") + TITLE + "\"";
    std::string path = descriptor("\"a.jar\", \"b.jar\", \"c.jar\"", extra);
    if (c.warm) {
        for (const char* name : {"a", "b", "c"})
            server_.on(std::string("/app/") + name + ".jar", ok(body_of(name, 30000)));
        run_java(path);
        harness_wait_for_programs_below("C:\\quorvel\\launcher\\java");
    }
    // A first launch finds them empty.
    harness_make_folders(site_folder(server_.port()));
    harness_make_folders(SITES);
    std::set<std::string> site_before = listing(site_folder(server_.port()));
    std::set<std::string> sites_before = listing(SITES);
    std::string b_before = read_file(site_folder(server_.port()) + "b.jar");
    size_t java_before = java_starts().size();

    // New bodies, b.jar held back after 30000 bytes.
    const long long a = body_of("A", 40000).size(), b = body_of("B", 60000).size();
    server_.on("/app/a.jar", ok(body_of("A", 40000)));
    CannedResponse held = ok(body_of("B", 60000));
    held.pause_at = 30000;
    held.pause_ms = RUN_TIMEOUT_MS;
    server_.on("/app/b.jar", held);
    server_.on("/app/c.jar", ok(body_of("C", 40000)));
    set_log_pixels(c.dpi);
    PROCESS_INFORMATION process = start("/S \"" + path + "\"");
    HWND window = nullptr;
    ASSERT_TRUE(wait_until([&] {
        window = FindWindowA("Quorvel Launcher", "Quorvel Launcher");
        return window && IsWindowVisible(window);
    }));
    std::vector<HWND> controls = controls_of(window);
    std::vector<LRESULT> whole;
    // By bytes: a.jar whole and 30000 of b.jar, of those two and their mean
    // for c.jar; in the user's number format (English in the prefix).
    const NumberStyle english = {".", ","};
    char done[32], all[32];
    tally_size_text(a + 30000, &english, done, sizeof done);
    tally_size_text(a + b + (a + b) / 2, &english, all, sizeof all);
    const std::string detail = std::string("1 of 3 files, ") + done + " of " + all;
    ASSERT_TRUE(wait_until([&] {
        whole.push_back(SendMessageA(controls[WHOLE], PBM_GETPOS, 0, 0));
        return text_of(controls[LABEL]) == "b.jar" &&
               SendMessageA(controls[BAR], PBM_GETPOS, 0, 0) == 30000 &&
               text_of(controls[DETAIL]).rfind(detail, 0) == 0 &&
               text_of(controls[HEADING]) == TITLE;
    })) << text_of(controls[LABEL]) << " | " << text_of(controls[DETAIL]);
    whole.push_back(SendMessageA(controls[WHOLE], PBM_GETPOS, 0, 0));  // set before the line
    EXPECT_TRUE(std::is_sorted(whole.begin(), whole.end()));
    EXPECT_EQ(whole.back(), (a + 30000) * 1000 / (a + b + (a + b) / 2));
    EXPECT_EQ(text_of(controls[CANCEL]), "Cancel");
    GUITHREADINFO focus = {};
    focus.cbSize = sizeof focus;
    GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &focus);
    EXPECT_EQ(focus.hwndFocus, controls[CANCEL]);

    // The system's scale, every control in proportion, Cancel inside.
    auto scaled = [&](int length) { return MulDiv(length, static_cast<int>(c.dpi), 96); };
    RECT frame, client;
    GetWindowRect(window, &frame);
    GetClientRect(window, &client);
    EXPECT_EQ(frame.right - frame.left, scaled(400));
    EXPECT_EQ(frame.bottom - frame.top, scaled(180));
    for (int i = 0; i < CONTROLS; i++) {
        RECT at;
        GetWindowRect(controls[i], &at);
        MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&at), 2);
        const int* place = PLACES[i];
        EXPECT_EQ(std::vector<LONG>({at.left, at.top, at.right - at.left, at.bottom - at.top}),
                  std::vector<LONG>({scaled(place[0]), scaled(place[1]), scaled(place[2]),
                                     scaled(place[3])}))
            << i;
    }
    EXPECT_LE(scaled(PLACES[CANCEL][1] + PLACES[CANCEL][3]), client.bottom);

    if (c.key)
        PostMessageA(controls[CANCEL], WM_KEYDOWN, c.key, 0);
    else
        PostMessageA(controls[CANCEL], BM_CLICK, 0, 0);
    EXPECT_EQ(wait_for_end(process), 0u);

    EXPECT_EQ(listing(site_folder(server_.port())), site_before);
    EXPECT_EQ(listing(SITES), sites_before);
    EXPECT_EQ(read_file(site_folder(server_.port()) + "b.jar"), b_before);
    EXPECT_EQ(java_starts().size(), java_before);
    EXPECT_TRUE(dialogs_.records().empty());
    std::string log = read_file(LAUNCH_LOG);
    EXPECT_NE(log.find("the window shows after 400 ms of work"), std::string::npos);
    EXPECT_NE(log.find("the launch was cancelled"), std::string::npos);
}

// A launch that starts Java at once never shows its window: the user sees
// only the application. Whether a launch was quick enough is read from its
// log; of up to three (the later ones find Wine warm), the first quick one
// counts, and a machine too busy for any makes the case say nothing.
TEST_F(LauncherWindowE2E, AQuickLaunchNeverShowsTheWindow)
{
    place_fake_java();
    install_copy();  // no installation to wait for
    server_.on("/app/a.jar", ok(body_of("a")));
    std::string path = descriptor("\"a.jar\"");
    long long took = 0;
    for (int run = 0; run < 3; run++) {
        DeleteFileA(LAUNCH_LOG.c_str());
        ResetEvent(java_started_);
        PROCESS_INFORMATION process = start("\"" + path + "\"", INSTALLED);
        ASSERT_TRUE(wait_for_java());
        EXPECT_EQ(wait_for_end(process), 0u);
        std::string log = read_file(LAUNCH_LOG);
        long long started = log_time(log, "] start: "), java = log_time(log, "] starting Java: ");
        ASSERT_GE(started, 0);
        ASSERT_GE(java, started);
        took = java - started;
        if (took > 300)
            continue;
        EXPECT_EQ(log.find("the window shows"), std::string::npos);
        EXPECT_NE(log.find("launch done: Java started"), std::string::npos);
        return;
    }
    GTEST_SKIP() << "Java started " << took << " ms after the launcher: too late to tell";
}

INSTANTIATE_TEST_SUITE_P(Scales, LauncherWindowE2E,
                         testing::Values(Case{96, 0, false}, Case{144, VK_ESCAPE, true},
                                         Case{120, VK_RETURN, false}));

} // namespace
