// The program's entry point and its one window: a small centred progress
// window with a status label and a progress bar, which the launch task drives
// from its worker thread, and the whole launch around them
// (app/progress_window.h).
#include "app/command_line.h"
#include "app/launch.h"
#include "app/progress_window.h"
#include "base/fileutil.h"
#include "base/log.h"
#include "base/paths.h"
#include "cache/download.h"
#include "cache/label.h"
#include "install/install.h"
#include "install/root_access.h"
#include "net/url.h"

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <cstdlib>
#include <string>

static const char window_class_name[] = "Quorvel Launcher";
enum { ICON_RESOURCE = 101 };

// How WinMain was asked to show the window, once there is work to show.
static int show_command = SW_SHOWDEFAULT;

// Whether a launch was handed to the worker and whether it finished, so the
// log's last line says how the program ended.
static enum { NO_LAUNCH, LAUNCH_RUNNING, LAUNCH_FINISHED } launch_state = NO_LAUNCH;

static void show_error(const char* text)
{
    MessageBoxA(nullptr, text, "Error", MB_ICONERROR);
}

// Converts one argument (to UTF-8, as every text of the program) for the
// option scan; null when it does not fit.
static const char* option_text(const wchar_t* arg, char* buffer, int size)
{
    if (WideCharToMultiByte(CP_UTF8, 0, arg, -1, buffer, size, nullptr, nullptr) == 0)
        return nullptr;
    return buffer;
}

static CommandLineOptions scan_arguments(wchar_t** argv, int argc)
{
    // One buffer per argument keeps the scan portable: it sees plain texts.
    char (*buffers)[COMMAND_LINE_OPTION_SIZE] =
        static_cast<char(*)[COMMAND_LINE_OPTION_SIZE]>(calloc(argc, COMMAND_LINE_OPTION_SIZE));
    const char** texts = static_cast<const char**>(calloc(argc, sizeof *texts));
    CommandLineOptions options = {false, false, false, 0, argc};
    if (buffers && texts) {
        for (int i = 0; i < argc; i++)
            texts[i] = option_text(argv[i], buffers[i], COMMAND_LINE_OPTION_SIZE);
        options = command_line_scan(texts, argc);
    }
    free(texts);
    free(buffers);
    return options;
}

// Hands the launch to the worker thread, before the window is made (see
// launch_task_main); false when the descriptor path does not fit the
// request, so that nothing runs on a cut path.
static bool start_launch(const wchar_t* descriptor, LaunchRequest** started)
{
    LaunchRequest* request = launch_window_event_made()
                                 ? static_cast<LaunchRequest*>(calloc(1, sizeof(LaunchRequest)))
                                 : nullptr;
    if (!request)
        return false;
    if (WideCharToMultiByte(CP_UTF8, 0, descriptor, -1, request->descriptor_path,
                            sizeof request->descriptor_path, nullptr, nullptr) == 0) {
        free(request);
        show_error("Error, nlp file path too long");
        return false;
    }
    launch_state = LAUNCH_RUNNING;
    *started = request;
    HANDLE thread = CreateThread(nullptr, 0, launch_task_main, request, 0, nullptr);
    if (thread)
        CloseHandle(thread);
    return true;
}

// Gives the launch its window, once made: until then the task reads none of it.
static void attach_launch(HWND window, LaunchRequest* request)
{
    ProgressControls controls = progress_window_controls(window, show_command);
    request->main_window = window;
    request->progress_bar = controls.progress_bar;
    request->status_label = controls.status_label;
    launch_window_ready();
}

// The arguments as the log shows them: each in double quotation marks, a
// URL's user and password left out.
static std::string logged_arguments(wchar_t** argv, int argc)
{
    std::string text;
    for (int i = 1; i < argc; i++) {
        char argument[LOG_LINE_SIZE];
        char shown[LOG_LINE_SIZE];
        if (WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, argument, sizeof argument, nullptr,
                                nullptr) == 0)
            snprintf(argument, sizeof argument, "(too long)");
        url_strip_credentials(argument, shown, sizeof shown);
        text += std::string(i > 1 ? " \"" : "\"") + shown + "\"";
    }
    return text;
}

// Opens the log and says who starts. An uninstall makes no folder for it:
// it logs only into an install root that is there. Anything else first
// makes the install root the user's alone (root), and writes nothing into
// one that others can change.
static void start_log(wchar_t** argv, int argc, const CommandLineOptions& options,
                      RootAccess* root)
{
    bool uninstall = options.uninstall || options.finish_uninstall;
    if (!uninstall)
        *root = root_access_prepare();
    if (!root->usable)
        return;
    if (!uninstall)
        make_folder_chain(install_root);
    log_open(launch_log);
    const char* role = uninstall                     ? "uninstaller"
                       : install_running_installed() ? "launcher"
                                                     : "installer";
    log_line("start: Quorvel launcher %s as %s, arguments: %s", LAUNCHER_VERSION_TEXT, role,
             logged_arguments(argv, argc).c_str());
    for (const std::string& said : root->said)
        log_line("%s", said.c_str());
}

// Uninstalls, or installs and hands a named descriptor to the launch task
// (*started); false when nothing is left to run.
static bool run_options(wchar_t** argv, int argc, const CommandLineOptions& options,
                        LaunchRequest** started)
{
    if (options.finish_uninstall) {
        finish_uninstall(options.finish_uninstall, options.silent);
        return false;
    }
    if (options.uninstall) {
        uninstall_launcher(options.silent);
        return false;
    }
    bool descriptor_follows = options.descriptor_index < argc;
    install_launcher(options.silent, options.no_shortcut, descriptor_follows);
    return descriptor_follows && start_launch(argv[options.descriptor_index], started);
}

// Everything before the window: the log, the install or uninstall, and the
// launch's start (*started), which needs no window to start Java from the
// cache. False when no window is needed: nothing is left to run.
static bool start_up(LaunchRequest** started)
{
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv) {
        // Without an argument vector there is nothing to launch.
        if (root_access_prepare().usable)
            install_launcher(false, false, false);
        else
            show_error(ROOT_ACCESS_REFUSED);
        return false;
    }
    CommandLineOptions options = scan_arguments(argv, argc);
    RootAccess root = {true, {}};
    start_log(argv, argc, options, &root);
    if (!root.usable)
        show_error(ROOT_ACCESS_REFUSED);
    bool launching = root.usable && run_options(argv, argc, options, started);
    LocalFree(argv);
    return launching;
}

static LRESULT CALLBACK main_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    LRESULT handled = 0;
    if (progress_window_message(window, message, wparam, lparam, &handled))
        return handled;
    switch (message) {
    case LABEL_TEXT_MESSAGE:
        label_take(wparam, lparam);
        return 0;
    case WM_LAUNCH_QUIET:
        progress_window_quiet();
        return 0;
    case WM_LAUNCH_DONE:
        launch_state = LAUNCH_FINISHED;
        PostQuitMessage(0);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_GETMINMAXINFO: {
        MINMAXINFO* info = reinterpret_cast<MINMAXINFO*>(lparam);
        info->ptMinTrackSize.x = progress_window_scale(window, PROGRESS_WINDOW_MIN_WIDTH);
        info->ptMinTrackSize.y = progress_window_scale(window, PROGRESS_WINDOW_MIN_HEIGHT);
        return 0;
    }
    default:
        return DefWindowProcA(window, message, wparam, lparam);
    }
}

static bool register_window_class(HINSTANCE instance)
{
    WNDCLASSEXA window_class = {};
    window_class.cbSize = sizeof window_class;
    window_class.lpfnWndProc = main_window_proc;
    window_class.hInstance = instance;
    window_class.hIcon = static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(ICON_RESOURCE),
                                                       IMAGE_ICON, 0, 0,
                                                       LR_DEFAULTSIZE | LR_SHARED));
    window_class.hIconSm = static_cast<HICON>(
        LoadImageA(instance, MAKEINTRESOURCEA(ICON_RESOURCE), IMAGE_ICON,
                   GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), LR_SHARED));
    window_class.hCursor = static_cast<HCURSOR>(
        LoadImageA(nullptr, IDC_ARROW, IMAGE_CURSOR, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
    window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    window_class.lpszClassName = window_class_name;
    return RegisterClassExA(&window_class) != 0;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show)
{
    show_command = show;
    LaunchRequest* request = nullptr;
    if (!start_up(&request)) {
        log_line("end");
        return 0;
    }
    InitCommonControls();
    if (!register_window_class(instance)) {
        show_error("Error registering window class.");
        log_line("end: no window");
        return 0;
    }
    // Made hidden: the launch shows it once it takes long enough to be seen.
    RECT place = progress_window_place();
    HWND window = CreateWindowExA(0, window_class_name, window_class_name, WS_OVERLAPPEDWINDOW,
                                  place.left, place.top, place.right - place.left,
                                  place.bottom - place.top, nullptr, nullptr, instance, nullptr);
    if (!window) {
        show_error("Error creating main window.");
        log_line("end: no window");
        return 0;
    }
    attach_launch(window, request);
    MSG message = {};
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (progress_window_key(&message))
            continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    progress_window_end();
    log_line(launch_state == LAUNCH_RUNNING ? "end: the window was closed" : "end");
    return static_cast<int>(message.wParam);
}
