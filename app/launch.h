// The texts the launch task composes: paths, URLs and command lines, each by
// plain concatenation of its pieces with nothing quoted or escaped (except
// the descriptor path of the relaunch command line and the java and class
// paths of Java's). Each function writes a
// NUL-terminated text into out (size bytes) and returns 1, or returns 0 when
// the text would not fit, so a launch is refused rather than run on a cut
// path; nothing is ever written past out.
#pragma once

#include "cache/layout.h"

#include <cstddef>

// Bounds of the launch task's working texts, terminator included.
enum {
    LAUNCH_PATH_SIZE = LAYOUT_PATH_SIZE,
    LAUNCH_FILE_NAME_SIZE = 1024,
    LAUNCH_URL_SIZE = 2048,
    LAUNCH_COMMAND_SIZE = 1024,
};

// Launches running at once take named mutexes around what they share (the
// session's "Local\" namespace): one per application around its release
// (layout_lock_name), and LAUNCH_COMPONENTS_LOCK around the install root's
// runtime and launcher.
extern const char LAUNCH_COMPONENTS_LOCK[];

// Held around a descriptor's fetch into the sites folder and around the
// choice of a new application's names: all launches share them.
extern const char LAUNCH_DESCRIPTORS_LOCK[];

// A resource's URL: the code base followed by the item, no separator added.
int launch_resource_url(const char* codebase, const char* item, char* out, size_t size);

// A runtime or launcher build's URL: the member's text itself when it holds
// "://", else the code base followed by it.
int launch_component_url(const char* codebase, const char* member, char* out, size_t size);

// The folder of a component's builds: runtime_builds_folder for what
// "runtime", launcher_builds_folder for "launcher" (base/paths.h).
const char* launch_component_folder(const char* what);

// Where the download stored a component: its folder and the part of the
// URL after its last "/". Returns 1, 0 when the URL has no "/" (no file
// to unpack or start), or -1 when the path does not fit.
int launch_component_file_path(const char* folder, const char* url, char* out, size_t size);

// "<java> -cp <site cache folder>* <main class> <arguments>", or with
// vmargs (null when absent) "<java> <vmargs> -cp ...", java being the
// java.exe of the runtime the descriptor names. The java path and the class
// path are quoted by java_command_quote (app/java_command.h); the main class
// is checked when the descriptor is read; vmargs and the arguments stand
// as given.
int launch_java_command_line(const char* java, const char* site_cache_folder, const char* vmargs,
                             const char* mainclass, const char* arguments, char* out,
                             size_t size);

// 1 when the launcher was given text as a descriptor's http:// or https://
// URL (scheme in any letter case) rather than as a file's path.
int launch_is_descriptor_url(const char* text);

// The sites copy name of a descriptor launched from url: the name the
// download gives url (the text after its last "/"), with ".nlp" appended
// when it does not end in it (letter case aside). Returns 1, 0 when the
// download would refuse that name, or -1 when it does not fit.
int launch_url_descriptor_name(const char* url, char* out, size_t size);

// The new launcher's command line: its path, a blank and the descriptor path
// in double quotation marks, so a path with blanks stays one argument.
int launch_relaunch_command_line(const char* component_path, const char* descriptor_path,
                                 char* out, size_t size);

#ifdef _WIN32
#include <windows.h>

// The private message the launch task posts to the main window once Java is
// started, or when the user did not trust a link's site; the window answers
// it as it answers WM_DESTROY.
enum { WM_LAUNCH_DONE = WM_APP + 1 };

// Posted once Java started from the cache and the launch goes on unseen:
// the window is hidden and never shown again. (WM_APP + 2 and + 3 are the
// label's and the tally's: cache/label.h, cache/tally.h.)
enum { WM_LAUNCH_QUIET = WM_APP + 4 };

// The worker thread's start routine: the whole launch for one descriptor.
// Takes ownership of the LaunchRequest it is given and frees it on every end
// that returns; returns 0. It may start before the window is made: a sites
// copy can start Java from the cache meanwhile, and nothing reads the
// request's window, bar or label until launch_window_ready has been called
// (a box it shows meanwhile, the question about a file marked as
// downloaded, has no owner, as ever). One launch a process.
DWORD WINAPI launch_task_main(LPVOID request);

// False when the event that launch_window_ready sets could not be made:
// then no launch may start before its window.
bool launch_window_event_made(void);

// Called once by the window's thread when the request's main_window,
// progress_bar and status_label are filled in.
void launch_window_ready(void);
#endif
