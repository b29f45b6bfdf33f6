// The launch task: runs on the worker thread, from the descriptor to the
// started Java runtime. The window's label and progress bar are driven by
// the downloads; the task shows only its own errors.
#include "app/launch.h"

#include "app/descriptor.h"
#include "app/prune.h"
#include "app/refresh.h"
#include "app/shortcut_members.h"
#include "base/fileutil.h"
#include "base/log.h"
#include "base/paths.h"
#include "cache/download.h"
#include "cache/leftover.h"
#include "install/update.h"
#include "net/tls.h"
#include "net/url.h"
#include "runtime/unpack.h"
#include "runtime/version.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

// An error end whose message the download has already shown.
static const char download_failed[] = "";
static const char path_too_long[] = "Error, nlp file path too long";
static const char codebase_too_long[] = "Error, codebase too long";
static const char url_too_long[] = "Error, resource URL too long";
static const char component_too_long[] = "Error, component path too long";
static const char command_too_long[] = "Error, command line too long";

struct Launch {
    LaunchRequest* request;
    Descriptor descriptor;
    DownloadState downloads;
    char site_cache_folder[LAUNCH_PATH_SIZE];
    // The descriptor's copy in the sites folder, which its shortcuts open;
    // "" when it has none.
    char sites_copy[LAUNCH_PATH_SIZE];
    ShortcutMembers shortcuts;
    // The components' mutex while this launch holds it, else null.
    HANDLE components_lock;
};

// Takes the named mutex, first telling the user when another launch holds
// it. A holder that died leaves it abandoned, which counts as taken. Null
// when no mutex can be made: the launch then goes on alone.
static HANDLE take_lock(const char* name, HWND status_label)
{
    HANDLE lock = CreateMutexA(nullptr, FALSE, name);
    if (!lock)
        return nullptr;
    DWORD waited = WaitForSingleObject(lock, 0);
    if (waited == WAIT_TIMEOUT) {
        log_line("waiting for another launch (%s)", name);
        SetWindowTextA(status_label, "Waiting for another launch");
        waited = WaitForSingleObject(lock, INFINITE);
    }
    if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED)
        return lock;
    CloseHandle(lock);
    return nullptr;
}

static void release_lock(HANDLE* lock)
{
    if (!*lock)
        return;
    ReleaseMutex(*lock);
    CloseHandle(*lock);
    *lock = nullptr;
}

static std::string shown_url(const char* url)
{
    char shown[LAUNCH_URL_SIZE];
    url_strip_credentials(url, shown, sizeof shown);
    return shown;
}

static const char* prepare_site_cache_folder(Launch* launch)
{
    if (!launch_site_cache_folder(launch->descriptor.codebase, launch->site_cache_folder,
                                  sizeof launch->site_cache_folder))
        return codebase_too_long;
    make_folder_chain(launch->site_cache_folder);
    return nullptr;
}

// Keeps a copy of the descriptor in the sites folder, unless it was opened
// from there, and puts the copy's path into copy ("" for a bare file name,
// which has none); a failed copy does not stop the launch.
static const char* copy_descriptor(const char* descriptor_path, char* copy)
{
    int found = launch_sites_copy_path(descriptor_path, copy, LAUNCH_PATH_SIZE);
    if (found < 0)
        return path_too_long;
    if (found > 0 && _stricmp(descriptor_path, copy) != 0) {
        if (file_copy(descriptor_path, copy))
            log_line("descriptor copied to %s", copy);
        else
            log_line("descriptor not copied to %s (error %lu)", copy, GetLastError());
    }
    return nullptr;
}

// Reads the descriptor at path in place of the one the launch holds.
static const char* read_descriptor(Launch* launch, const char* path)
{
    descriptor_free(&launch->descriptor);
    const char* error = descriptor_load(path, &launch->descriptor);
    if (!error)
        log_line("descriptor %s: code base %s, main class %s", path,
                 shown_url(launch->descriptor.codebase).c_str(), launch->descriptor.mainclass);
    return error;
}

// The first TLS connection of a process waits for its set-up (the root
// store above all): a launch about to fetch from an https:// URL has it
// made on a thread of its own beside the steps before that connection.
static void prepare_tls(const char* url)
{
    UrlParts parts;
    if (url_parse(url, &parts) != 0 || !url_scheme_is(&parts, "https"))
        return;
    log_line("TLS set up ahead for %s", shown_url(url).c_str());
    tls_prepare();
}

// Fetches the descriptor at url into path, one launch at a time: 1 when
// path was replaced, 0 when it stays, -1 after a download error.
static int fetch_descriptor(Launch* launch, const char* url, const char* path)
{
    prepare_tls(url);
    HANDLE lock = take_lock(LAUNCH_DESCRIPTORS_LOCK, launch->request->status_label);
    int fetched = refresh_descriptor(url, path, &launch->downloads);
    release_lock(&lock);
    return fetched;
}

// A descriptor that names its own URL in href is brought up to date from
// there into its copy at path and read again when it changed; the fresh
// one's href is not followed in this launch. fetched_url is the URL the
// copy came from in this launch, if any.
static const char* follow_href(Launch* launch, const char* path, const char* fetched_url)
{
    const char* href = launch->descriptor.href;
    if (!href || (fetched_url && strcmp(href, fetched_url) == 0))
        return nullptr;
    if (!path[0] || !launch_is_descriptor_url(href)) {
        log_line("href %s not followed: %s", shown_url(href).c_str(),
                 path[0] ? "no http:// or https:// URL" : "the descriptor has no copy");
        return nullptr;
    }
    int refreshed = fetch_descriptor(launch, href, path);
    if (refreshed < 0)
        return download_failed;
    return refreshed ? read_descriptor(launch, path) : nullptr;
}

// A launch from a URL: the descriptor is fetched into the sites folder, and
// the copy there serves when no usable answer comes.
static const char* open_url(Launch* launch, const char* url)
{
    char path[LAUNCH_PATH_SIZE];
    int named = launch_url_descriptor_path(url, path, sizeof path);
    if (named < 0)
        return path_too_long;
    if (named == 0) {
        log_line("launch from %s refused: its name is no safe file name", shown_url(url).c_str());
        return DESCRIPTOR_ERROR_LOADING;
    }
    log_line("launch from %s, kept as %s", shown_url(url).c_str(), path);
    snprintf(launch->sites_copy, sizeof launch->sites_copy, "%s", path);
    if (fetch_descriptor(launch, url, path) < 0)
        return download_failed;
    const char* error = read_descriptor(launch, path);
    return error ? error : follow_href(launch, path, url);
}

// The launch's descriptor: opened from its file, copied into the sites
// folder, or fetched from its URL; then brought up to date through href.
static const char* open_descriptor(Launch* launch)
{
    const char* opened = launch->request->descriptor_path;
    if (launch_is_descriptor_url(opened))
        return open_url(launch, opened);
    const char* error = read_descriptor(launch, opened);
    if (!error)
        error = copy_descriptor(opened, launch->sites_copy);
    return error ? error : follow_href(launch, launch->sites_copy, nullptr);
}

// Every URL is known before the first request, so the downloads can send
// the later files' requests ahead; a URL that does not fit ends the list
// there, after the files before it.
static const char* fetch_each_resource(Launch* launch)
{
    const Descriptor* descriptor = &launch->descriptor;
    std::vector<std::string> urls;
    const char* error = nullptr;
    for (int i = 0; const char* item = descriptor_resource(descriptor, i); i++) {
        char url[LAUNCH_URL_SIZE];
        if (!launch_resource_url(descriptor->codebase, item, url, sizeof url)) {
            error = url_too_long;
            break;
        }
        urls.push_back(url);
    }
    std::vector<const char*> list;
    for (const std::string& url : urls)
        list.push_back(url.c_str());
    if (download_resources(list.data(), static_cast<int>(list.size()),
                           launch->site_cache_folder, &launch->downloads) < 0)
        return download_failed;
    return error;
}

// Under the site's mutex, so a launch of the same site that runs at once
// finds the cache whole and only revalidates it.
static const char* fetch_resources(Launch* launch)
{
    char lock_name[LAUNCH_PATH_SIZE];
    HANDLE lock = nullptr;
    if (launch_site_lock_name(launch->site_cache_folder, lock_name, sizeof lock_name))
        lock = take_lock(lock_name, launch->request->status_label);
    leftover_remove_stale(launch->site_cache_folder);
    const char* error = fetch_each_resource(launch);
    if (!error) {
        shortcut_members_fetch(&launch->descriptor, launch->site_cache_folder,
                               &launch->downloads, &launch->shortcuts);
        prune_site_cache_folder(launch->site_cache_folder, &launch->descriptor);
    }
    release_lock(&lock);
    return error;
}

// Fetches the build that member names into the install root when the
// installed executable is older or unreadable. *fetched says whether
// component_path now names a fetched build. what names the component in
// the log.
static const char* fetch_component(Launch* launch, const char* what, const char* member,
                                   const char* installed_path, char* component_path,
                                   bool* fetched)
{
    *fetched = false;
    if (!member)
        return nullptr;
    char installed[VERSION_TEXT_SIZE] = "";
    char wanted[VERSION_TEXT_SIZE];
    int readable = query_file_version(installed_path, installed, sizeof installed);
    component_wanted_version(member, wanted, sizeof wanted);
    bool needed = component_needs_update(readable, wanted, installed);
    log_line("%s: wanted %s, installed %s: %s", what, wanted, readable ? installed : "none",
             needed ? "fetching the build" : "up to date");
    if (!needed)
        return nullptr;
    char url[LAUNCH_URL_SIZE];
    if (!launch_component_url(launch->descriptor.codebase, member, url, sizeof url))
        return url_too_long;
    int named = launch_component_file_path(url, component_path, LAUNCH_PATH_SIZE);
    if (named < 0)
        return component_too_long;
    // A URL without "/" names no file: nothing to fetch, unpack or start.
    if (named == 0)
        return nullptr;
    leftover_remove_stale(install_root);
    if (download_resource(url, install_root, &launch->downloads) < 0)
        return download_failed;
    *fetched = true;
    return nullptr;
}

static const char* update_runtime(Launch* launch)
{
    char archive[LAUNCH_PATH_SIZE];
    bool fetched = false;
    const char* error = fetch_component(launch, "runtime", launch->descriptor.jre,
                                        java_executable, archive, &fetched);
    if (error || !fetched)
        return error;
    // Whole or not at all; a runtime in use is replaced by a later launch.
    if (unpack_runtime(archive, install_root))
        log_line("runtime: %s unpacked and put in place", archive);
    else
        log_line("runtime: %s not put in place (damaged, or the runtime is in use): left for "
                 "the next launch", archive);
    return nullptr;
}

// Hands over to a newer launcher: on success the process ends here. A
// refused build leaves the launch to go on as if none were named.
static const char* update_launcher(Launch* launch)
{
    char program[LAUNCH_PATH_SIZE];
    bool fetched = false;
    const char* error = fetch_component(launch, "launcher", launch->descriptor.launcher,
                                        installed_launcher, program, &fetched);
    if (error || !fetched || !update_build_taken(program))
        return error;
    char command[LAUNCH_COMMAND_SIZE];
    if (!launch_relaunch_command_line(program, launch->request->descriptor_path, command,
                                      sizeof command))
        return command_too_long;
    // A descriptor's URL may carry a user and password.
    update_hand_over(program, command, shown_url(command).c_str());
    release_lock(&launch->components_lock);
    log_line("end: handed over to the new launcher");
    exit(0);
}

// The runtime and the launcher, and leftovers of a runtime install that
// was killed, under the components' mutex: it stays held until Java has
// started, so no other launch moves the runtime away from under the start.
static const char* update_components(Launch* launch)
{
    launch->components_lock = take_lock(LAUNCH_COMPONENTS_LOCK, launch->request->status_label);
    unpack_remove_leftovers(install_root);
    const char* error = update_runtime(launch);
    if (!error)
        error = update_launcher(launch);
    return error;
}

static const char* run_steps(Launch* launch)
{
    const char* error = open_descriptor(launch);
    if (!error && descriptor_resource(&launch->descriptor, 0))
        prepare_tls(launch->descriptor.codebase);
    if (!error)
        error = prepare_site_cache_folder(launch);
    if (!error)
        error = fetch_resources(launch);
    if (!error)
        error = update_components(launch);
    return error;
}

// The command line as the log shows it: a password of the code base, which
// the site cache folder's name carries, left out.
static std::string logged_command(const char* command, const char* codebase)
{
    UrlParts parts;
    std::string text = command;
    if (url_parse(codebase, &parts) != 0 || !parts.password[0])
        return text;
    for (size_t at = text.find(parts.password); at != std::string::npos;
         at = text.find(parts.password, at))
        text.replace(at, strlen(parts.password), "***");
    return text;
}

static const char* start_java(Launch* launch)
{
    char command[LAUNCH_COMMAND_SIZE];
    if (!launch_java_command_line(launch->site_cache_folder, launch->descriptor.vmargs,
                                  launch->descriptor.mainclass, launch->descriptor.arguments,
                                  command, sizeof command))
        return command_too_long;
    log_line("starting Java: %s", logged_command(command, launch->descriptor.codebase).c_str());
    if (run_hidden(command))
        shortcut_members_renew(&launch->shortcuts, launch->sites_copy);
    else
        log_line("Java not started (error %lu)", GetLastError());
    return nullptr;
}

DWORD WINAPI launch_task_main(LPVOID argument)
{
    Launch launch = {};
    launch.request = static_cast<LaunchRequest*>(argument);
    launch.downloads.request = launch.request;

    const char* error = run_steps(&launch);
    if (!error)
        error = start_java(&launch);
    if (error && error != download_failed)
        log_line("launch failed: %s (descriptor %s)", error,
                 shown_url(launch.request->descriptor_path).c_str());
    else if (error)
        log_line("launch failed: a download failed");
    else
        log_line("launch done: Java started");

    release_lock(&launch.components_lock);
    descriptor_free(&launch.descriptor);
    download_state_release(&launch.downloads);
    if (!error)
        PostMessageA(launch.request->main_window, WM_LAUNCH_DONE, 0, 0);
    free(launch.request);
    // Shown after the release; the window stays open until the user closes it.
    if (error && error != download_failed)
        MessageBoxA(nullptr, error, "Error", MB_ICONERROR);
    return 0;
}
