// The launch task: runs on the worker thread, from the descriptor to the
// started Java runtime. The window's label and progress bar are driven by
// the downloads; the task shows only its own errors.
#include "app/launch.h"

#include "app/descriptor.h"
#include "app/prune.h"
#include "app/refresh.h"
#include "app/release.h"
#include "app/shortcut_members.h"
#include "app/site.h"
#include "base/fileutil.h"
#include "base/log.h"
#include "base/paths.h"
#include "cache/cachefile.h"
#include "cache/commit.h"
#include "cache/download.h"
#include "cache/leftover.h"
#include "cache/stored_name.h"
#include "install/update.h"
#include "net/tls.h"
#include "net/url.h"
#include "runtime/line.h"
#include "runtime/unpack.h"
#include "runtime/version.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

// An error end whose message the download has already shown.
static const char download_failed[] = "";
// The user did not trust a link's site: an end without a message.
static const char link_declined[] = "";
static const char path_too_long[] = "Error, nlp file path too long";
static const char codebase_too_long[] = "Error, codebase too long";
static const char url_too_long[] = "Error, resource URL too long";
static const char component_too_long[] = "Error, component path too long";
static const char command_too_long[] = "Error, command line too long";
static const char cannot_write_resource[] = "Error cannot write resource";

// Seconds a server may stay silent before a launch with a whole previous
// release starts that one.
enum { RELEASE_PATIENCE_SECONDS = 4 };

struct Launch {
    LaunchRequest* request;
    // The release being launched; once its files are settled, the one
    // that starts.
    Descriptor descriptor;
    DownloadState downloads;
    char site_cache_folder[LAUNCH_PATH_SIZE];
    // The runtime of the descriptor's Java line, whose java.exe starts.
    LineRuntime runtime;
    // What the descriptor asks of its shortcuts, made once Java started.
    ShortcutMembers shortcuts;
    // The components' mutex while this launch holds it, else null.
    HANDLE components_lock;
    // The sites copy ("" when the descriptor has none) and, as it stood
    // when the launch began, the previous release: its descriptor, its
    // site cache folder and whether all its files are in the cache.
    char copy_path[LAUNCH_PATH_SIZE];
    Descriptor previous;
    char previous_folder[LAUNCH_PATH_SIZE];
    bool previous_whole;
    // The release's descriptor when it is not the sites copy.
    PendingDescriptor pending;
    DigestRecord* digests;  // of the previous release's site, when it has one
    SitePolicy sites;
    // The policy's refusal, shown as the launch's error.
    char refusal[SITE_MESSAGE_SIZE];
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

// Reads the descriptor at path in place of the one the launch holds.
static const char* read_descriptor(Launch* launch, const char* path)
{
    descriptor_free(&launch->descriptor);
    const char* error = descriptor_load(path, &launch->descriptor);
    if (error)
        return error;
    log_line("descriptor %s: code base %s, main class %s", path,
             shown_url(launch->descriptor.codebase).c_str(), launch->descriptor.mainclass);
    if (!site_check_descriptor(&launch->sites, &launch->descriptor, launch->refusal,
                               sizeof launch->refusal))
        return launch->refusal;
    return nullptr;
}

// Takes text (from where) as the release's descriptor, pending for the
// sites copy. Its own errors are the launch's when it was opened, only
// logged when it was fetched (the copy then serves).
static const char* take_pending(Launch* launch, const std::string& text, int64_t time,
                                const char* where)
{
    Descriptor taken;
    const char* error = descriptor_parse(text.data(), text.size(), &taken);
    if (error)
        return error;
    if (!site_check_descriptor(&launch->sites, &taken, launch->refusal, sizeof launch->refusal)) {
        descriptor_free(&taken);
        return launch->refusal;
    }
    descriptor_free(&launch->descriptor);
    launch->descriptor = taken;
    launch->pending.pending = launch->copy_path[0] != '\0';
    launch->pending.text = text;
    launch->pending.time = time;
    log_line("descriptor %s: code base %s, main class %s", where,
             shown_url(taken.codebase).c_str(), taken.mainclass);
    return nullptr;
}

// The previous release: the sites copy as it stands, and whether every
// one of its files is in the cache, in which case a failed file of the new
// release does not stop the launch: the previous release starts, so a
// silent server is given only a few seconds.
static void read_previous(Launch* launch)
{
    char refused[SITE_MESSAGE_SIZE];
    if (!launch->copy_path[0] || file_attributes(launch->copy_path) == INVALID_FILE_ATTRIBUTES ||
        descriptor_load(launch->copy_path, &launch->previous) != nullptr)
        return;
    // A release the administrator's list leaves out never starts.
    if (!site_check_descriptor(&launch->sites, &launch->previous, refused, sizeof refused)) {
        descriptor_free(&launch->previous);
        return;
    }
    ReleaseFolders folders;
    char missing[LAUNCH_FILE_NAME_SIZE] = "";
    if (!launch_site_cache_folder(launch->previous.codebase, launch->previous_folder,
                                  sizeof launch->previous_folder) ||
        !release_folders(launch->previous_folder, &folders))
        return;
    launch->digests = digest_record_load(folders.digests);
    launch->previous_whole =
        launch->digests && release_whole(&launch->previous, launch->previous_folder,
                                         launch->digests, missing, sizeof missing);
    if (!launch->previous_whole) {
        log_line("previous release %s: not whole in the cache (%s missing)", launch->copy_path,
                 missing);
        return;
    }
    log_line("previous release %s: whole in the cache; a server silent for %d s counts as "
             "unreachable", launch->copy_path, RELEASE_PATIENCE_SECONDS);
    launch->downloads.quiet_without_copy = 1;
    launch->downloads.patience_seconds = RELEASE_PATIENCE_SECONDS;
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

// The copy a fetch of the release's descriptor revalidates: the one kept
// aside by an earlier launch when it is at least as new as the sites copy,
// else the sites copy. kept says which.
static const char* revalidated_copy(const Launch* launch, char* kept_path, size_t size,
                                    bool* kept)
{
    int64_t kept_time = 0;
    int64_t copy_time = 0;
    *kept = release_kept_descriptor_path(launch->copy_path, kept_path, size) &&
            cache_file_time(kept_path, &kept_time) &&
            (!cache_file_time(launch->copy_path, &copy_time) || kept_time >= copy_time);
    return *kept ? kept_path : launch->copy_path;
}

// Fetches the release's descriptor from url, one launch at a time; what
// arrived (or the copy kept aside, when the server says it is current)
// becomes the release's descriptor. download_failed after a download
// error, the refusal when the administrator's list leaves out a site it
// names; a descriptor that does not read is logged and the copy serves.
static const char* fetch_descriptor(Launch* launch, const char* url)
{
    prepare_tls(url);
    char kept_path[LAUNCH_PATH_SIZE];
    bool kept = false;
    const char* base = revalidated_copy(launch, kept_path, sizeof kept_path, &kept);
    FetchedDescriptor fetched;
    HANDLE lock = take_lock(LAUNCH_DESCRIPTORS_LOCK, launch->request->status_label);
    int refreshed = refresh_descriptor(url, base, &launch->downloads, &fetched);
    release_lock(&lock);
    if (refreshed == REFRESH_ERROR)
        return download_failed;
    if (refreshed == REFRESH_UNCHANGED && kept) {
        int length = 0;
        char* text = read_whole_file(kept_path, &length);
        bool read = text && cache_file_time(kept_path, &fetched.time);
        if (read)
            fetched.text.assign(text, static_cast<size_t>(length));
        free(text);
        refreshed = read ? REFRESH_FETCHED : REFRESH_NONE;
    }
    const char* error = refreshed == REFRESH_FETCHED
                            ? take_pending(launch, fetched.text, fetched.time, shown_url(url).c_str())
                            : nullptr;
    if (error == launch->refusal)
        return error;
    if (error)
        log_line("descriptor from %s not taken: %s", shown_url(url).c_str(), error);
    return nullptr;
}

// A descriptor that names its own URL in href is brought up to date from
// there; the fresh one's href is not followed in this launch. fetched_url
// is the URL the descriptor came from in this launch, if any.
static const char* follow_href(Launch* launch, const char* fetched_url)
{
    const char* href = launch->descriptor.href;
    if (!href || (fetched_url && strcmp(href, fetched_url) == 0))
        return nullptr;
    if (!launch->copy_path[0] || !launch_is_descriptor_url(href)) {
        log_line("href %s not followed: %s", shown_url(href).c_str(),
                 launch->copy_path[0] ? "no http:// or https:// URL" : "the descriptor has no copy");
        return nullptr;
    }
    // The fresh descriptor's href is another text: keep the one followed.
    std::string followed = href;
    return fetch_descriptor(launch, followed.c_str());
}

// A launch from a URL: the descriptor is fetched for the sites folder, and
// the copy there serves when no usable answer comes.
static const char* open_url(Launch* launch, const char* url)
{
    int named = launch_url_descriptor_path(url, launch->copy_path, sizeof launch->copy_path);
    if (named < 0)
        return path_too_long;
    if (named == 0) {
        launch->copy_path[0] = '\0';
        log_line("launch from %s refused: its name is no safe file name", shown_url(url).c_str());
        return DESCRIPTOR_ERROR_LOADING;
    }
    log_line("launch from %s, kept as %s", shown_url(url).c_str(), launch->copy_path);
    read_previous(launch);
    const char* error = fetch_descriptor(launch, url);
    if (!error && !launch->pending.pending)
        error = read_descriptor(launch, launch->copy_path);
    return error ? error : follow_href(launch, url);
}

// A launch from a web page's link: as from the URL it stands for, once the
// site is allowed, trusted or the user says so.
static const char* open_link(Launch* launch, const char* link)
{
    char url[sizeof launch->request->descriptor_path];
    int mapped = site_link_url(link, url, sizeof url);
    if (mapped < 0)
        return path_too_long;
    if (mapped == 0) {
        log_line("link %s refused: its host or port does not parse", shown_url(link).c_str());
        return DESCRIPTOR_ERROR_LOADING;
    }
    int admitted = site_admit_link(&launch->sites, url, launch->refusal, sizeof launch->refusal);
    if (admitted < 0)
        return launch->refusal;
    return admitted ? open_url(launch, url) : link_declined;
}

// The launch's descriptor: opened from its file (pending for the sites
// folder when it is not the copy there), or fetched from its URL or link;
// then brought up to date through href. Nothing is fetched from a site the
// administrator's list leaves out.
static const char* open_descriptor(Launch* launch)
{
    const char* opened = launch->request->descriptor_path;
    if (site_is_link(opened))
        return open_link(launch, opened);
    if (launch_is_descriptor_url(opened))
        return site_check(&launch->sites, "URL", opened, launch->refusal, sizeof launch->refusal)
                   ? open_url(launch, opened)
                   : launch->refusal;
    int found = launch_sites_copy_path(opened, launch->copy_path, sizeof launch->copy_path);
    if (found < 0)
        return path_too_long;
    if (found == 0)
        launch->copy_path[0] = '\0';
    read_previous(launch);
    if (!launch->copy_path[0] || _stricmp(opened, launch->copy_path) == 0) {
        const char* error = read_descriptor(launch, opened);
        return error ? error : follow_href(launch, nullptr);
    }
    int length = 0;
    char* text = read_whole_file(opened, &length);
    int64_t time = 0;
    if (!text)
        return DESCRIPTOR_ERROR_LOADING;
    std::string bytes(text, static_cast<size_t>(length));
    free(text);
    cache_file_time(opened, &time);
    const char* error = take_pending(launch, bytes, time, opened);
    return error ? error : follow_href(launch, nullptr);
}

// The previous release starts in place of the new one, whose descriptor
// waits aside for a later launch to revalidate.
static void start_previous(Launch* launch, const char* held, const char* why)
{
    log_line("the new release is held back by %s: %s; the previous release %s starts as it "
             "stood", shown_url(held).c_str(), why, launch->copy_path);
    if (launch->pending.pending)
        release_keep_descriptor(launch->copy_path, &launch->pending);
    launch->pending.pending = false;
    descriptor_free(&launch->descriptor);
    launch->descriptor = launch->previous;
    memset(&launch->previous, 0, sizeof launch->previous);
    snprintf(launch->site_cache_folder, sizeof launch->site_cache_folder, "%s",
             launch->previous_folder);
}

// Every URL is known before the first request, so the downloads can send
// the later files' requests ahead; a URL that does not fit ends the list
// there, after the files before it. With folders, new bodies wait in its
// staged folder and the release is committed whole, or the previous one
// starts.
static const char* fetch_each_resource(Launch* launch, const ReleaseFolders* folders)
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
    std::vector<DownloadFile> files;
    for (const std::string& url : urls) {
        const char* name = stored_name_of(url.c_str());
        files.push_back({url.c_str(), name ? descriptor_sha256(descriptor, name) : nullptr,
                         DOWNLOAD_HELD_BACK, ""});
    }
    launch->downloads.stage_folder = folders ? folders->staged : nullptr;
    launch->downloads.digests = launch->digests;
    int listed = download_files(files.data(), static_cast<int>(files.size()),
                                launch->site_cache_folder, &launch->downloads);
    launch->downloads.stage_folder = nullptr;
    if (listed < 0)
        return download_failed;
    if (error || !folders)
        return error;
    for (const DownloadFile& file : files) {
        if (file.outcome == DOWNLOAD_HELD_BACK && launch->previous_whole) {
            start_previous(launch, file.url, file.why);
            return nullptr;
        }
    }
    char why[COMMIT_WHY_SIZE];
    int committed = release_commit(folders, launch->site_cache_folder, files.data(),
                                   static_cast<int>(files.size()), launch->copy_path,
                                   &launch->pending, launch->digests, why, sizeof why);
    if (committed == 1) {
        launch->pending.pending = false;
        return nullptr;
    }
    log_line("the new release is not moved in: %s", why);
    if (committed == 0 && launch->previous_whole) {
        start_previous(launch, launch->site_cache_folder, "its files are kept aside for a later launch");
        return nullptr;
    }
    return cannot_write_resource;
}

// Under the site's mutex, so a launch of the same site that runs at once
// finds the cache whole and only revalidates it, and no launch sees a
// commit half done.
static const char* fetch_resources(Launch* launch)
{
    char lock_name[LAUNCH_PATH_SIZE];
    HANDLE lock = nullptr;
    if (launch_site_lock_name(launch->site_cache_folder, lock_name, sizeof lock_name))
        lock = take_lock(lock_name, launch->request->status_label);
    leftover_remove_stale(launch->site_cache_folder);
    ReleaseFolders folders;
    bool staged = release_folders(launch->site_cache_folder, &folders) != 0;
    if (staged) {
        cache_file_make_folders(folders.staged);
        leftover_remove_stale(folders.staged);
        // The record read for the previous release serves when it is this site's.
        if (!launch->digests || strcmp(launch->previous_folder, launch->site_cache_folder) != 0) {
            digest_record_free(launch->digests);
            launch->digests = digest_record_load(folders.digests);
        }
    }
    std::string site = launch->site_cache_folder;
    const char* error = fetch_each_resource(launch, staged && launch->digests ? &folders : nullptr);
    // The runtime and launcher builds keep the usual rules: their failures
    // are told, and their servers get the usual time-outs.
    launch->downloads.quiet_without_copy = 0;
    launch->downloads.patience_seconds = 0;
    // A previous release of another site is not this lock's to prune.
    if (!error && site == launch->site_cache_folder) {
        shortcut_members_fetch(&launch->descriptor, launch->site_cache_folder,
                               &launch->downloads, &launch->shortcuts);
        prune_site_cache_folder(launch->site_cache_folder, &launch->descriptor);
    }
    if (staged && launch->digests && !digest_record_save(launch->digests, folders.digests))
        log_line("the digest record %s cannot be written", folders.digests);
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
    // A pinned build is taken, fetched or kept, only with its digest.
    const char* name = stored_name_of(url);
    DownloadFile file = {url, name ? descriptor_sha256(&launch->descriptor, name) : nullptr,
                         DOWNLOAD_HELD_BACK, ""};
    if (download_files(&file, 1, install_root, &launch->downloads) < 0)
        return download_failed;
    *fetched = true;
    return nullptr;
}

// The runtime of the descriptor's Java line, brought up to the build it
// names; a descriptor that names none runs on the java folder's.
static const char* update_runtime(Launch* launch)
{
    line_runtime_for(launch->descriptor.jre, &launch->runtime);
    char archive[LAUNCH_PATH_SIZE];
    bool fetched = false;
    const char* error = fetch_component(launch, "runtime", launch->descriptor.jre,
                                        launch->runtime.java, archive, &fetched);
    if (error || !fetched)
        return error;
    // Whole or not at all; a runtime in use is replaced by a later launch.
    if (unpack_runtime(archive, install_root, launch->runtime.folder))
        log_line("runtime: %s unpacked and put in place", archive);
    else
        log_line("runtime: %s not put in place (damaged, or the runtime is in use): left for "
                 "the next launch", archive);
    return nullptr;
}

// Hands over to a newer launcher, put in the installed one's place: on
// success the process ends here. A refused build, or one that cannot be
// put in place, leaves the launch to go on with this one.
static const char* update_launcher(Launch* launch)
{
    char program[LAUNCH_PATH_SIZE];
    bool fetched = false;
    const char* error = fetch_component(launch, "launcher", launch->descriptor.launcher,
                                        installed_launcher, program, &fetched);
    if (error || !fetched || !update_build_taken(program))
        return error;
    char command[LAUNCH_COMMAND_SIZE];
    if (!launch_relaunch_command_line(installed_launcher, launch->request->descriptor_path,
                                      command, sizeof command))
        return command_too_long;
    if (!update_put_in_place(program))
        return nullptr;
    // A descriptor's URL may carry a user and password.
    update_hand_over(command, shown_url(command).c_str());
    release_lock(&launch->components_lock);
    log_line("end: handed over to the new launcher");
    exit(0);
}

// The runtime and the launcher, leftovers of a runtime install that was
// killed and line folders no descriptor names, under the components' mutex:
// it stays held until Java has started, so no other launch moves the
// runtime away from under the start.
static const char* update_components(Launch* launch)
{
    launch->components_lock = take_lock(LAUNCH_COMPONENTS_LOCK, launch->request->status_label);
    unpack_remove_leftovers(install_root);
    prune_runtime_lines(&launch->descriptor);
    const char* error = update_runtime(launch);
    if (!error)
        error = update_launcher(launch);
    return error;
}

// A commit that a crash or a power loss cut is finished or undone before
// anything else reads the sites folder or a cache.
static void recover_cut_commits(Launch* launch)
{
    StringList sites = {nullptr, 0};
    release_cut_commits(&sites);
    for (int i = 0; i < sites.count; i++) {
        char lock_name[LAUNCH_PATH_SIZE];
        HANDLE lock = nullptr;
        if (launch_site_lock_name(sites.items[i], lock_name, sizeof lock_name))
            lock = take_lock(lock_name, launch->request->status_label);
        release_recover(sites.items[i]);
        release_lock(&lock);
    }
    string_list_free(&sites);
}

static const char* run_steps(Launch* launch)
{
    recover_cut_commits(launch);
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
    if (!launch_java_command_line(launch->runtime.java, launch->site_cache_folder,
                                  launch->descriptor.vmargs, launch->descriptor.mainclass,
                                  launch->descriptor.arguments, command, sizeof command))
        return command_too_long;
    log_line("starting Java: %s", logged_command(command, launch->descriptor.codebase).c_str());
    if (run_hidden(command))
        shortcut_members_renew(&launch->shortcuts, launch->copy_path);
    else
        log_line("Java not started (error %lu)", GetLastError());
    return nullptr;
}

DWORD WINAPI launch_task_main(LPVOID argument)
{
    Launch launch = {};
    launch.request = static_cast<LaunchRequest*>(argument);
    launch.downloads.request = launch.request;
    site_policy_read(&launch.sites);

    const char* error = run_steps(&launch);
    if (!error)
        error = start_java(&launch);
    if (error == link_declined)
        log_line("launch ended: the link's site was not trusted");
    else if (error && error != download_failed)
        log_line("launch failed: %s (descriptor %s)", error,
                 shown_url(launch.request->descriptor_path).c_str());
    else if (error)
        log_line("launch failed: a download failed");
    else
        log_line("launch done: Java started");

    release_lock(&launch.components_lock);
    descriptor_free(&launch.descriptor);
    descriptor_free(&launch.previous);
    digest_record_free(launch.digests);
    download_state_release(&launch.downloads);
    site_policy_free(&launch.sites);
    if (!error || error == link_declined)
        PostMessageA(launch.request->main_window, WM_LAUNCH_DONE, 0, 0);
    free(launch.request);
    // Shown after the release; the window stays open until the user closes it.
    if (error && error != download_failed && error != link_declined)
        MessageBoxA(nullptr, error, "Error", MB_ICONERROR);
    return 0;
}
