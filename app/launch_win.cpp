// The launch task: runs on the worker thread, from the descriptor to the
// started Java runtime, in stages: open the descriptor, settle the release,
// settle the components, start Java, then the shortcuts. Each stage ends
// in an Outcome; the first that is not GO_ON ends the launch. The window's
// label and progress bar are driven by the downloads; the task shows only
// its own errors.
#include "app/launch.h"

#include "app/application.h"
#include "app/descriptor.h"
#include "app/heading.h"
#include "app/minisign.h"
#include "app/prune.h"
#include "app/publisher.h"
#include "app/refresh.h"
#include "app/release.h"
#include "app/shortcut_members.h"
#include "app/site.h"
#include "app/zone.h"
#include "base/fileutil.h"
#include "base/log.h"
#include "base/paths.h"
#include "cache/cachefile.h"
#include "cache/commit.h"
#include "cache/download.h"
#include "cache/leftover.h"
#include "cache/stored_name.h"
#include "cache/tally.h"
#include "install/update.h"
#include "net/tls.h"
#include "net/url.h"
#include "runtime/java_start.h"
#include "runtime/line.h"
#include "runtime/unpack.h"

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

static const char path_too_long[] = "Error, nlp file path too long";
static const char codebase_too_long[] = "Error, codebase too long";
static const char resource_path_too_long[] = "Error, resource path too long";
static const char url_too_long[] = "Error, resource URL too long";
static const char component_too_long[] = "Error, component path too long";
static const char command_too_long[] = "Error, command line too long";
static const char cannot_write_resource[] = "Error cannot write resource";

// Seconds a server may stay silent before a launch with a whole previous
// release starts that one.
enum { RELEASE_PATIENCE_SECONDS = 4 };

// How a stage ended.
enum OutcomeKind {
    GO_ON,        // the next stage follows
    STARTED,      // Java runs
    DECLINED,     // the user did not trust the link's site: nothing to say
    REFUSED,      // message says why, shown to the user
    DOWNLOAD_SHOWN,  // a download failed and has shown its message
};

struct Outcome {
    OutcomeKind kind;
    std::string message;  // REFUSED: the text shown
};

static Outcome go_on()
{
    return {GO_ON, ""};
}

static Outcome refused(const std::string& message)
{
    return {REFUSED, message};
}

static Outcome download_shown()
{
    return {DOWNLOAD_SHOWN, ""};
}

struct Launch {
    LaunchRequest* request;
    SitePolicy sites;
    char* publisher_keys;  // the administrator's PublisherKeys lines, null when none
    DownloadState downloads;
    // What was opened: a descriptor's URL (from a URL or a link), or a
    // file's text, its name and whether it is the application's sites copy.
    std::string url;
    std::string file_name;
    std::string opened_href;  // the opened file's href, which named its identity
    PendingDescriptor opened;
    bool opened_copy;
    bool opened_background;   // the opened file says "update": "background"
    bool opened_record_copy;  // the opened file is an application's sites copy
    // Who the application is; its layout once known (claimed).
    char identity[LAYOUT_IDENTITY_SIZE];
    Application app;
    bool known;
    HANDLE app_lock;
    // The previous release: the sites copy as it stood, and whether every
    // one of its files is in the cache.
    Descriptor previous;
    bool previous_whole;
    DigestRecord* digests;
    // The release being launched; once settled, the one that starts.
    Descriptor descriptor;
    // The release's descriptor when it is not the sites copy.
    PendingDescriptor pending;
    // How the release's downloads behave.
    DownloadOptions patience;
    // Whether the previous release starts in place of the new one, and
    // whether the new one was committed.
    bool fell_back;
    bool committed;
    // The verdict on the new release's publisher, which its commit pins.
    PublisherVerdict publisher;
    // Java started at once from the cached release: the rest of the launch
    // brings the next release unseen, and tells nothing but the log.
    bool background;
    // The runtime of the descriptor's Java line, whose java.exe starts.
    LineRuntime runtime;
    ShortcutMembers shortcuts;
    HANDLE components_lock;
};

// Set once the window, its bar and label are in the request.
static HANDLE window_ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);

bool launch_window_event_made(void)
{
    return window_ready != nullptr;
}

void launch_window_ready(void)
{
    SetEvent(window_ready);
}

static void wait_for_window(void)
{
    WaitForSingleObject(window_ready, INFINITE);
}

// Takes the named mutex, first telling the user when another launch holds
// it: on the label, at once or as soon as the window is there. A holder
// that died leaves it abandoned, which counts as taken. Null when no mutex
// can be made: the launch then goes on alone.
static HANDLE take_lock(const char* name, const Launch* launch)
{
    HANDLE lock = CreateMutexA(nullptr, FALSE, name);
    if (!lock)
        return nullptr;
    DWORD waited = WaitForSingleObject(lock, 0);
    if (waited == WAIT_TIMEOUT) {
        log_line("waiting for another launch (%s)", name);
        HANDLE either[] = {lock, window_ready};
        if (WaitForSingleObject(window_ready, 0) != WAIT_OBJECT_0)
            waited = WaitForMultipleObjects(2, either, FALSE, INFINITE);
        if (waited == WAIT_TIMEOUT || waited == WAIT_OBJECT_0 + 1) {
            SetWindowTextA(launch->request->status_label, "Waiting for another launch");
            waited = WaitForSingleObject(lock, INFINITE);
        }
    }
    if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED)
        return lock;
    CloseHandle(lock);
    return nullptr;
}

// The named mutex when no other launch holds it now, else null.
static HANDLE try_lock(const char* name)
{
    HANDLE lock = CreateMutexA(nullptr, FALSE, name);
    if (!lock)
        return nullptr;
    DWORD waited = WaitForSingleObject(lock, 0);
    if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED)
        return lock;
    CloseHandle(lock);
    return nullptr;
}

// The application's mutexes: one held by the launch that brings its
// release, from reading the previous one to the commit; one held only
// around a commit, and around a start from the cache that must not see one
// half done.
static bool app_lock_name(const Launch* launch, const char* suffix, char* out, size_t size)
{
    char name[LAUNCH_PATH_SIZE];
    return layout_lock_name(launch->identity, name, sizeof name) &&
           snprintf(out, size, "%s%s", name, suffix) < static_cast<int>(size);
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

static void log_descriptor(const char* where, const Descriptor* descriptor)
{
    log_line("descriptor %s: code base %s, main class %s", where,
             shown_url(descriptor->codebase).c_str(), descriptor->mainclass);
}

// The policy's check of a descriptor about to be used.
static Outcome check_descriptor(Launch* launch, const Descriptor* descriptor)
{
    char message[SITE_MESSAGE_SIZE];
    if (!site_check_descriptor(&launch->sites, descriptor, message, sizeof message))
        return refused(message);
    return go_on();
}

// The signature file at path, kept beside a descriptor: "" when there is
// none, or it is larger than any signature (logged).
static std::string signature_at(const std::string& path)
{
    if (!cache_file_exists(path.c_str()))
        return "";
    int length = 0;
    char* text = read_whole_file(path.c_str(), &length);
    std::string signature;
    if (text && length <= MINISIGN_FILE_MAX)
        signature.assign(text, static_cast<size_t>(length));
    else
        log_line("signature %s not taken: it cannot be read or is larger than %d bytes",
                 path.c_str(), MINISIGN_FILE_MAX);
    free(text);
    return signature;
}

// ---- Stage 1: what was opened, and whose application it is.

// The question once per site (or the administrator's list) for url.
static Outcome admit(Launch* launch, const char* url)
{
    char message[SITE_MESSAGE_SIZE];
    int admitted = site_admit_link(&launch->sites, url, message, sizeof message);
    if (admitted < 0)
        return refused(message);
    return admitted ? go_on() : Outcome{DECLINED, ""};
}

// A link from a web page: its URL, once the site is allowed, trusted or
// the user says so.
static Outcome open_link(Launch* launch, const char* link)
{
    char url[sizeof launch->request->descriptor_path];
    int mapped = site_link_url(link, url, sizeof url);
    if (mapped < 0)
        return refused(path_too_long);
    if (mapped == 0) {
        log_line("link %s refused: its host or port does not parse", shown_url(link).c_str());
        return refused(DESCRIPTOR_ERROR_LOADING);
    }
    Outcome admitted = admit(launch, url);
    if (admitted.kind == GO_ON)
        launch->url = url;
    return admitted;
}

// A descriptor file the browser marked as from the Internet or restricted
// sites is asked about as a link is, for each site it makes the launch
// reach, before anything is fetched.
static Outcome admit_downloaded(Launch* launch, const char* path, const Descriptor* descriptor)
{
    int zone = zone_of_file(path);
    if (!zone_is_remote(zone))
        return go_on();
    log_line("descriptor %s was downloaded (zone %d): each site it names is asked about as a "
             "link's", path, zone);
    // Every site the file makes the launch reach: trusting its code base
    // says nothing of the others.
    const char* named[] = {descriptor->codebase, descriptor->href, descriptor->jre,
                           descriptor->launcher,
                           cJSON_IsString(descriptor->icon) ? descriptor->icon->valuestring
                                                            : nullptr};
    std::vector<std::string> asked;
    for (const char* url : named) {
        char origin[SITE_ORIGIN_SIZE];
        if (!url || !site_origin(url, origin, sizeof origin))
            continue;
        if (std::find(asked.begin(), asked.end(), origin) != asked.end())
            continue;
        asked.push_back(origin);
        Outcome admitted = admit(launch, url);
        if (admitted.kind != GO_ON)
            return admitted;
    }
    if (!asked.empty())
        return go_on();
    log_line("downloaded descriptor %s refused: it names no site to ask about", path);
    return refused(DESCRIPTOR_ERROR_LOADING);
}

// 1 when path is a file right in the sites folder.
static bool in_sites_folder(const char* path)
{
    size_t length = strlen(sites_folder);
    return _strnicmp(path, sites_folder, length) == 0 && !strchr(path + length, '\\');
}

// An opened file: its text, read and checked now; its identity is the
// record's when it is an application's sites copy.
static Outcome open_file(Launch* launch, const char* path)
{
    const char* slash = strrchr(path, '\\');
    const char* forward = strrchr(path, '/');
    if (forward > slash)
        slash = forward;
    launch->file_name = slash ? slash + 1 : path;
    int length = 0;
    char* text = read_whole_file(path, &length);
    if (!text)
        return refused(DESCRIPTOR_ERROR_LOADING);
    launch->opened.text.assign(text, static_cast<size_t>(length));
    free(text);
    launch->opened.signature = signature_at(std::string(path) + ".minisig");
    cache_file_time(path, &launch->opened.time);
    Descriptor descriptor;
    const char* error = descriptor_parse(launch->opened.text.data(), launch->opened.text.size(),
                                         &descriptor);
    if (error)
        return refused(error);
    log_descriptor(path, &descriptor);
    heading_publish(&descriptor, path);
    Outcome checked = check_descriptor(launch, &descriptor);
    bool copy = in_sites_folder(path);
    launch->opened_copy = copy;
    launch->opened_background = descriptor.background;
    launch->opened_href = descriptor.href ? descriptor.href : "";
    launch->opened_record_copy = copy && application_of_copy(launch->file_name.c_str(),
                                                             launch->identity,
                                                             sizeof launch->identity);
    bool named = launch->opened_record_copy ||
                 application_identity(&descriptor, launch->file_name.c_str(), launch->identity,
                                      sizeof launch->identity);
    if (checked.kind == GO_ON)
        checked = admit_downloaded(launch, path, &descriptor);
    descriptor_free(&descriptor);
    if (checked.kind != GO_ON)
        return checked;
    return named ? go_on() : refused(path_too_long);
}

static Outcome open_descriptor(Launch* launch)
{
    const char* opened = launch->request->descriptor_path;
    Outcome outcome = go_on();
    if (site_is_link(opened)) {
        outcome = open_link(launch, opened);
    } else if (launch_is_descriptor_url(opened)) {
        char message[SITE_MESSAGE_SIZE];
        if (!site_check(&launch->sites, "URL", opened, message, sizeof message))
            return refused(message);
        launch->url = opened;
    } else {
        return open_file(launch, opened);
    }
    if (outcome.kind != GO_ON)
        return outcome;
    char name[LAUNCH_FILE_NAME_SIZE];
    int named = launch_url_descriptor_name(launch->url.c_str(), name, sizeof name);
    if (named == 0) {
        log_line("launch from %s refused: its name is no safe file name",
                 shown_url(launch->url.c_str()).c_str());
        return refused(DESCRIPTOR_ERROR_LOADING);
    }
    if (named < 0 || !layout_identity(launch->url.c_str(), nullptr, launch->identity,
                                      sizeof launch->identity))
        return refused(path_too_long);
    launch->file_name = name;
    log_line("launch from %s", shown_url(launch->url.c_str()).c_str());
    return go_on();
}

// ---- Stage 2: the release, under the application's mutex.

// The previous release of a known application: its sites copy as it
// stands, and whether every one of its files is in the cache, in which
// case a failed file of the new release does not stop the launch: the
// previous release starts, so a silent server is given only a few seconds.
static void read_previous(Launch* launch)
{
    const Layout* layout = &launch->app.layout;
    // What a start from the cache read may have changed since.
    descriptor_free(&launch->previous);
    digest_record_free(launch->digests);
    launch->previous_whole = false;
    launch->digests = digest_record_load(layout->digests);
    if (!cache_file_exists(layout->sites_copy) ||
        descriptor_load(layout->sites_copy, &launch->previous) != nullptr)
        return;
    // A release the administrator's list leaves out never starts.
    if (check_descriptor(launch, &launch->previous).kind != GO_ON) {
        descriptor_free(&launch->previous);
        return;
    }
    char missing[LAUNCH_FILE_NAME_SIZE] = "";
    launch->previous_whole = launch->digests && release_whole(&launch->previous, layout,
                                                              launch->digests, missing,
                                                              sizeof missing);
    if (!launch->previous_whole) {
        log_line("previous release %s: not whole in the cache (%s missing)", layout->sites_copy,
                 missing);
        return;
    }
    log_line("previous release %s: whole in the cache; a server silent for %d s counts as "
             "unreachable", layout->sites_copy, RELEASE_PATIENCE_SECONDS);
    launch->patience.quiet_without_copy = true;
    launch->patience.patience_seconds = RELEASE_PATIENCE_SECONDS;
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

// Takes text as the release's descriptor, pending for the sites copy
// unless it is the copy itself.
static const char* take_release(Launch* launch, const PendingDescriptor& text, bool is_copy,
                                const char* where)
{
    Descriptor taken;
    const char* error = descriptor_parse(text.text.data(), text.text.size(), &taken);
    if (error)
        return error;
    descriptor_free(&launch->descriptor);
    launch->descriptor = taken;
    launch->pending = text;
    launch->pending.pending = !is_copy;
    log_descriptor(where, &taken);
    return nullptr;
}

// The copy a fetch of the release's descriptor revalidates: the one kept
// aside by an earlier launch when it is at least as new as the sites copy,
// else the sites copy; "" for an application not yet known. kept says which.
static const char* revalidated_copy(const Launch* launch, bool* kept)
{
    *kept = false;
    if (!launch->known)
        return "";
    const Layout* layout = &launch->app.layout;
    int64_t kept_time = 0;
    int64_t copy_time = 0;
    *kept = cache_file_time(layout->kept_descriptor, &kept_time) &&
            (!cache_file_time(layout->sites_copy, &copy_time) || kept_time >= copy_time);
    return *kept ? layout->kept_descriptor : layout->sites_copy;
}

// Fetches the release's descriptor from url, one launch at a time; what
// arrived (or the copy kept aside, when the server says it is current)
// becomes the release's descriptor. A descriptor that does not read is
// logged and the copy serves; one that names a site the administrator's
// list leaves out refuses the launch.
static Outcome fetch_descriptor(Launch* launch, const char* url)
{
    prepare_tls(url);
    bool kept = false;
    const char* base = revalidated_copy(launch, &kept);
    FetchedDescriptor fetched;
    HANDLE lock = take_lock(LAUNCH_DESCRIPTORS_LOCK, launch);
    int refreshed =
        refresh_descriptor(url, base, &launch->patience, &launch->downloads, &fetched);
    PendingDescriptor arrived;
    // The signature is fetched with the descriptor it signs.
    int signature = refreshed == REFRESH_FETCHED
                        ? refresh_signature(url, &launch->patience, &launch->downloads,
                                            &arrived.signature)
                        : 0;
    release_lock(&lock);
    if (refreshed == REFRESH_ERROR || signature < 0)
        return download_shown();
    bool taken = refreshed == REFRESH_FETCHED;
    if (taken) {
        arrived.text = fetched.text;
        arrived.time = fetched.time;
    } else if (refreshed == REFRESH_UNCHANGED && kept) {
        int length = 0;
        char* text = read_whole_file(base, &length);
        taken = text && cache_file_time(base, &arrived.time);
        if (taken) {
            arrived.text.assign(text, static_cast<size_t>(length));
            arrived.signature = signature_at(launch->app.layout.kept_signature);
        }
        free(text);
    }
    if (!taken)
        return go_on();
    Descriptor checked;
    const char* error = descriptor_parse(arrived.text.data(), arrived.text.size(), &checked);
    Outcome allowed = error ? go_on() : check_descriptor(launch, &checked);
    if (!error)
        descriptor_free(&checked);
    if (allowed.kind != GO_ON)
        return allowed;
    error = error ? error : take_release(launch, arrived, false, shown_url(url).c_str());
    if (error)
        log_line("descriptor from %s not taken: %s", shown_url(url).c_str(), error);
    return go_on();
}

// The release's descriptor: what was opened (pending for the sites folder
// when it is not the application's copy), or fetched from its URL, with
// the copy serving when no usable answer comes; then brought up to date
// through href, whose fresh descriptor's href is not followed in this
// launch.
static Outcome settle_descriptor(Launch* launch)
{
    std::string from = launch->url;
    if (from.empty()) {
        bool is_copy = launch->known && launch->opened_copy &&
                       layout_same_name(launch->file_name.c_str(), launch->app.layout.copy_name);
        // A file that names a known application by its href does not speak
        // for it: only what that href's server gives does, or else the
        // application's own copy.
        if (launch->known && !is_copy && !launch->opened_href.empty()) {
            log_line("%s names the application %s: its release comes from there",
                     launch->request->descriptor_path, launch->identity);
            from = launch->opened_href;
        } else {
            const char* error = take_release(launch, launch->opened, is_copy,
                                             launch->request->descriptor_path);
            if (error)
                return refused(error);
        }
    }
    const char* fetched_url = nullptr;
    if (!from.empty()) {
        Outcome fetched = fetch_descriptor(launch, from.c_str());
        if (fetched.kind != GO_ON)
            return fetched;
        fetched_url = from.c_str();
        // No usable answer: the sites copy serves.
        if (!launch->descriptor.document) {
            if (!launch->known)
                return refused(DESCRIPTOR_ERROR_LOADING);
            const char* error = descriptor_load(launch->app.layout.sites_copy,
                                                &launch->descriptor);
            if (error)
                return refused(error);
            log_descriptor(launch->app.layout.sites_copy, &launch->descriptor);
            Outcome allowed = check_descriptor(launch, &launch->descriptor);
            if (allowed.kind != GO_ON)
                return allowed;
        }
    }
    const char* href = launch->descriptor.href;
    if (!href || (fetched_url && strcmp(href, fetched_url) == 0))
        return go_on();
    if (!launch_is_descriptor_url(href)) {
        log_line("href %s not followed: no http:// or https:// URL", shown_url(href).c_str());
        return go_on();
    }
    // The fresh descriptor's href is another text: keep the one followed.
    std::string followed = href;
    return fetch_descriptor(launch, followed.c_str());
}

// Finds the application's record, or makes one for a new application
// (under the descriptors' mutex: the names are chosen among all).
static Outcome claim_application(Launch* launch)
{
    if (launch->known)
        return go_on();
    HANDLE lock = take_lock(LAUNCH_DESCRIPTORS_LOCK, launch);
    int claimed = application_claim(launch->identity, launch->descriptor.codebase,
                                    launch->file_name.c_str(), &launch->app);
    release_lock(&lock);
    if (claimed == 0)
        return refused(codebase_too_long);
    if (claimed < 0)
        return refused(cannot_write_resource);
    launch->known = true;
    if (!launch->digests)
        launch->digests = digest_record_load(launch->app.layout.digests);
    return go_on();
}

// An application an earlier build launched has no record: its sites copy,
// when it describes this application, is taken over with its site cache
// folder before anything is fetched, so its release is the previous one.
static bool take_over(Launch* launch)
{
    std::string copy = std::string(sites_folder) + launch->file_name;
    char identity[LAYOUT_IDENTITY_SIZE];
    Descriptor earlier;
    if (launch->file_name.empty() || copy.size() >= LAYOUT_PATH_SIZE ||
        application_of_copy(launch->file_name.c_str(), identity, sizeof identity) ||
        !cache_file_exists(copy.c_str()) || descriptor_load(copy.c_str(), &earlier))
        return false;
    bool same = application_identity(&earlier, launch->file_name.c_str(), identity,
                                     sizeof identity) &&
                strcmp(identity, launch->identity) == 0;
    int claimed = 0;
    if (same) {
        HANDLE lock = take_lock(LAUNCH_DESCRIPTORS_LOCK, launch);
        claimed = application_claim(launch->identity, earlier.codebase, launch->file_name.c_str(),
                                    &launch->app);
        release_lock(&lock);
    }
    descriptor_free(&earlier);
    return claimed == 1;
}

// The previous release starts in place of the new one, whose descriptor
// waits aside for a later launch to revalidate.
static Outcome start_previous(Launch* launch, const char* held, const char* why)
{
    log_line("the new release is held back by %s: %s; the previous release %s starts as it "
             "stood", shown_url(held).c_str(), why, launch->app.layout.sites_copy);
    // While a journal is there, its commit may still move the kept one in.
    if (launch->pending.pending && !cache_file_exists(launch->app.layout.journal))
        release_keep_descriptor(&launch->app.layout, &launch->pending);
    launch->pending.pending = false;
    launch->fell_back = true;
    descriptor_free(&launch->descriptor);
    launch->descriptor = launch->previous;
    memset(&launch->previous, 0, sizeof launch->previous);
    return go_on();
}

// Whether the new release comes from the application's publisher: one
// refused gives way to the previous release, or nothing starts. The sites
// copy serving again was judged at its commit (and may have rotated the
// key it was signed by), so only a new descriptor is judged.
static Outcome check_publisher(Launch* launch)
{
    launch->publisher = PublisherVerdict{};
    if (!launch->pending.pending)
        return go_on();
    const PendingDescriptor& release = launch->pending;
    PublisherRelease judged = {launch->identity, launch->app.layout.publisher,
                               launch->publisher_keys, launch->descriptor.publickey,
                               release.signature.empty() ? nullptr : release.signature.data(),
                               release.signature.size(), release.text.data(),
                               release.text.size()};
    if (publisher_decide(&judged, &launch->publisher)) {
        log_line("publisher of %s: %s", launch->identity, launch->publisher.reason);
        return go_on();
    }
    log_line("publisher of %s: the new release is refused: %s", launch->identity,
             launch->publisher.reason);
    if (launch->previous_whole)
        return start_previous(launch, launch->request->descriptor_path, launch->publisher.reason);
    return refused(PUBLISHER_NOT_SIGNED);
}

// Every URL is known before the first request, so the downloads can send
// the later files' requests ahead; a URL that does not fit ends the list
// there, after the files before it. New bodies wait in the staged folder
// and the release is committed whole, or the previous one starts.
static Outcome fetch_files(Launch* launch, std::vector<DownloadFile>* files,
                           std::vector<std::string>* urls)
{
    const Descriptor* descriptor = &launch->descriptor;
    const Layout* layout = &launch->app.layout;
    char too_long[LAUNCH_FILE_NAME_SIZE];
    if (release_name_too_long(descriptor, layout, too_long, sizeof too_long)) {
        log_line("%s: its path in %s would be too long", too_long, layout->release_folder);
        if (launch->previous_whole)
            return start_previous(launch, too_long, "its path would be too long");
        return refused(resource_path_too_long);
    }
    bool url_fits = true;
    for (int i = 0; const char* item = descriptor_resource(descriptor, i); i++) {
        char url[LAUNCH_URL_SIZE];
        url_fits = launch_resource_url(descriptor->codebase, item, url, sizeof url) != 0;
        if (!url_fits)
            break;
        urls->push_back(url);
    }
    for (const std::string& url : *urls) {
        const char* name = stored_name_of(url.c_str());
        files->push_back({url.c_str(), name ? descriptor_sha256(descriptor, name) : nullptr,
                          DOWNLOAD_HELD_BACK, ""});
    }
    cache_file_make_folders(layout->site_cache_folder);
    cache_file_make_folders(layout->staged);
    leftover_remove_stale(layout->site_cache_folder);
    leftover_remove_stale(layout->staged);
    DownloadOptions options = launch->patience;
    options.stage_folder = layout->staged;
    options.digests = launch->digests;
    if (download_files(files->data(), static_cast<int>(files->size()),
                       layout->site_cache_folder, &options, &launch->downloads) < 0)
        return download_shown();
    return url_fits ? go_on() : refused(url_too_long);
}

// Commits what fetch_files brought, or starts the previous release.
static Outcome commit_files(Launch* launch, const std::vector<DownloadFile>& files)
{
    for (const DownloadFile& file : files)
        if (file.outcome == DOWNLOAD_HELD_BACK && launch->previous_whole)
            return start_previous(launch, file.url, file.why);
    char why[COMMIT_WHY_SIZE];
    char lock_name[LAUNCH_PATH_SIZE];
    HANDLE commit_lock = app_lock_name(launch, "-commit", lock_name, sizeof lock_name)
                             ? take_lock(lock_name, launch)
                             : nullptr;
    int committed = release_commit(&launch->app.layout, files.data(),
                                   static_cast<int>(files.size()), &launch->pending,
                                   launch->digests, why, sizeof why);
    release_lock(&commit_lock);
    if (committed == 1) {
        launch->pending.pending = false;
        launch->committed = true;
        if (!publisher_pin_commit(launch->app.layout.publisher, launch->identity,
                                  &launch->publisher))
            log_line("the publisher's key cannot be pinned in %s", launch->app.layout.publisher);
        return go_on();
    }
    log_line("the new release is not moved in: %s", why);
    if (committed == 0 && launch->previous_whole)
        return start_previous(launch, launch->app.layout.site_cache_folder,
                              "its files are kept aside for a later launch");
    return refused(cannot_write_resource);
}

// In the background Java runs from the site cache folder, which takes its
// jars as it goes: a release brought whole waits staged, its descriptor in
// the next release's place, and moves in before the next start.
static Outcome stage_for_next(Launch* launch, const std::vector<DownloadFile>& files)
{
    bool staged = launch->pending.pending;
    for (const DownloadFile& file : files) {
        if (file.outcome == DOWNLOAD_HELD_BACK)
            return start_previous(launch, file.url, file.why);
        staged = staged || file.outcome == DOWNLOAD_FETCHED;
    }
    const Layout* layout = &launch->app.layout;
    if (!staged) {
        log_line("background: the release is current");
        return go_on();
    }
    PendingDescriptor next = launch->pending;
    if (!next.pending) {
        int length = 0;
        char* text = read_whole_file(layout->sites_copy, &length);
        if (text)
            next.text.assign(text, static_cast<size_t>(length));
        cache_file_time(layout->sites_copy, &next.time);
        free(text);
    }
    // Its signature goes first: a next release is never without the one it came with.
    bool written = !next.text.empty() &&
                   (next.signature.empty()
                        ? cache_file_remove(layout->next_signature)
                        : cache_file_write_whole(layout->next_signature, next.signature.data(),
                                                 next.signature.size())) &&
                   cache_file_write_whole(layout->next_release, next.text.data(), next.text.size());
    if (written && next.time)
        cache_file_set_time(layout->next_release, next.time);
    log_line(written ? "background: the next release is staged whole; it moves in before the next "
                       "start"
                     : "background: the next release cannot be kept aside");
    launch->pending.pending = false;
    launch->fell_back = true;
    return go_on();
}

// A commit that a crash or a power loss cut is finished or undone before
// the release is read: one of another application under its own mutex.
static void recover_cut_commits(Launch* launch)
{
    std::vector<std::string> folders;
    release_cut_commits(&folders);
    for (const std::string& folder : folders) {
        char lock_name[LAUNCH_PATH_SIZE];
        // An earlier build's commit has no record: all launches share one mutex for it.
        bool named = release_lock_name(folder.c_str(), lock_name, sizeof lock_name) &&
                     strlen(lock_name) + sizeof "-commit" <= sizeof lock_name;
        if (named)
            strcat(lock_name, "-commit");
        HANDLE lock = take_lock(named ? lock_name : LAUNCH_DESCRIPTORS_LOCK, launch);
        release_recover(folder.c_str());
        release_lock(&lock);
    }
}

// The release that starts: from the sites copy read under the mutex to the
// commit and the digest record written, so a launch of the same
// application that runs at once finds the cache whole and only revalidates
// it, and no launch sees a commit half done.
static Outcome settle_release(Launch* launch)
{
    char lock_name[LAUNCH_PATH_SIZE];
    if (!launch->app_lock && app_lock_name(launch, "", lock_name, sizeof lock_name))
        launch->app_lock = take_lock(lock_name, launch);
    launch->known = application_find(launch->identity, &launch->app) != 0 || take_over(launch);
    if (launch->known) {
        HANDLE commit_lock = app_lock_name(launch, "-commit", lock_name, sizeof lock_name)
                                 ? take_lock(lock_name, launch)
                                 : nullptr;
        read_previous(launch);
        release_lock(&commit_lock);
    }
    Outcome outcome = settle_descriptor(launch);
    if (outcome.kind == GO_ON)
        heading_publish(&launch->descriptor, launch->request->descriptor_path);
    if (outcome.kind == GO_ON)
        outcome = claim_application(launch);
    if (outcome.kind == GO_ON && descriptor_resource(&launch->descriptor, 0))
        prepare_tls(launch->descriptor.codebase);
    const Layout* layout = &launch->app.layout;
    // The staged files of a commit that could not be settled are its own.
    bool journal_left = outcome.kind == GO_ON && cache_file_exists(layout->journal);
    if (journal_left) {
        log_line("%s: an earlier commit is not finished", layout->journal);
        outcome = launch->previous_whole
                      ? start_previous(launch, layout->journal, "an earlier commit is not finished")
                      : refused(cannot_write_resource);
    }
    if (outcome.kind == GO_ON && !launch->fell_back)
        outcome = check_publisher(launch);
    std::vector<DownloadFile> files;
    std::vector<std::string> urls;
    if (outcome.kind == GO_ON && !launch->fell_back)
        outcome = fetch_files(launch, &files, &urls);
    if (outcome.kind == GO_ON && !launch->fell_back)
        outcome = launch->background ? stage_for_next(launch, files) : commit_files(launch, files);
    // A release committed now is newer than one staged in the background
    // (one a power cut left here is not moved in: commit_next).
    if (launch->committed) {
        cache_file_remove(layout->next_release);
        cache_file_remove(layout->next_signature);
    }
    if (outcome.kind == GO_ON) {
        DownloadOptions base;
        base.silent = launch->background;
        shortcut_members_fetch(&launch->descriptor, layout->site_cache_folder, &base,
                               &launch->downloads, &launch->shortcuts);
        // The running Java may still read any jar of the folder.
        if (!launch->background)
            prune_site_cache_folder(layout->site_cache_folder, &launch->descriptor);
    }
    if (launch->known && !cache_file_exists(layout->journal)) {
        // What a release not committed brought waits for the next launch.
        int kept = launch->committed ? 0 : static_cast<int>(files.size());
        release_tidy_staged(layout, files.data(), kept);
    }
    if (launch->known && launch->digests &&
        !digest_record_save(launch->digests, layout->digests))
        log_line("the digest record %s cannot be written", layout->digests);
    release_lock(&launch->app_lock);
    return outcome;
}

// ---- Stage 3: the runtime and the launcher.

// Fetches the build that member names, when needed, into the folder of
// its kind (what: "runtime" or "launcher"). *fetched says whether
// component_path now names a fetched build.
static Outcome fetch_component(Launch* launch, const char* what, const char* member, bool needed,
                               char* component_path, bool* fetched)
{
    *fetched = false;
    if (!member || !needed)
        return go_on();
    char url[LAUNCH_URL_SIZE];
    if (!launch_component_url(launch->descriptor.codebase, member, url, sizeof url))
        return refused(url_too_long);
    // A build is stored in its kind's own folder, never over the launcher's files.
    const char* folder = launch_component_folder(what);
    int named = launch_component_file_path(folder, url, component_path, LAUNCH_PATH_SIZE);
    if (named < 0)
        return refused(component_too_long);
    // A URL without "/" names no file: nothing to fetch, unpack or start.
    if (named == 0)
        return go_on();
    make_folder_chain(folder);
    leftover_remove_stale(folder);
    DownloadOptions options;
    options.silent = launch->background;
    // A pinned build is taken, fetched or kept, only with its digest.
    const char* name = stored_name_of(url);
    DownloadFile build = {url, name ? descriptor_sha256(&launch->descriptor, name) : nullptr,
                          DOWNLOAD_HELD_BACK, ""};
    if (download_files(&build, 1, folder, &options, &launch->downloads) < 0)
        return download_shown();
    *fetched = true;
    return go_on();
}

// The runtime of the descriptor's Java line, brought up to the build it
// names; a descriptor that names none runs on the java folder's.
static Outcome update_runtime(Launch* launch)
{
    line_runtime_for(launch->descriptor.jre, &launch->runtime);
    char archive[LAUNCH_PATH_SIZE];
    bool fetched = false;
    Outcome outcome = fetch_component(launch, "runtime", launch->descriptor.jre,
                                      line_runtime_needs_update(&launch->runtime), archive,
                                      &fetched);
    if (outcome.kind != GO_ON || !fetched)
        return outcome;
    // Whole or not at all; a runtime in use is replaced by a later launch.
    if (unpack_runtime(archive, install_root, launch->runtime.folder,
                       launch->runtime.wanted_text))
        log_line("runtime: %s unpacked and put in place", archive);
    else
        log_line("runtime: %s not put in place (damaged, or the runtime is in use): left for "
                 "the next launch", archive);
    return go_on();
}

// Hands over to a newer launcher, put in the installed one's place: on
// success the process ends here. A refused build, or one that cannot be
// put in place, leaves the launch to go on with this one.
static Outcome update_launcher(Launch* launch)
{
    char program[LAUNCH_PATH_SIZE];
    bool fetched = false;
    const char* member = launch->descriptor.launcher;
    Outcome outcome = fetch_component(launch, "launcher", member, member && update_needed(member),
                                      program, &fetched);
    if (outcome.kind != GO_ON || !fetched || !update_build_taken(program))
        return outcome;
    // Java runs already: the next launch starts the new launcher.
    if (launch->background) {
        if (update_put_in_place(program))
            log_line("launcher: the new build is in place for the next launch");
        return go_on();
    }
    char command[LAUNCH_COMMAND_SIZE];
    if (!launch_relaunch_command_line(installed_launcher, launch->request->descriptor_path,
                                      command, sizeof command))
        return refused(command_too_long);
    if (!update_put_in_place(program))
        return go_on();
    // A descriptor's URL may carry a user and password. A build that does
    // not start leaves this one to go on.
    if (!update_hand_over(command, shown_url(command).c_str(), program))
        return go_on();
    release_lock(&launch->components_lock);
    log_line("end: handed over to the new launcher");
    exit(0);
}

// The runtime and the launcher, leftovers of a runtime install that was
// killed and line folders no descriptor names, under the components' mutex:
// it stays held until Java has started, so no other launch moves the
// runtime away from under the start.
static Outcome settle_components(Launch* launch)
{
    launch->components_lock = take_lock(LAUNCH_COMPONENTS_LOCK, launch);
    unpack_remove_leftovers(install_root);
    prune_runtime_lines(&launch->descriptor);
    Outcome outcome = update_runtime(launch);
    return outcome.kind == GO_ON ? update_launcher(launch) : outcome;
}

// ---- Stage 4: Java.

static Outcome start_java(Launch* launch)
{
    char command[LAUNCH_COMMAND_SIZE];
    char vmargs[LAUNCH_COMMAND_SIZE];
    char message[SITE_MESSAGE_SIZE];
    if (launch->descriptor.vmargs &&
        !site_java_options(&launch->sites, launch->descriptor.vmargs, vmargs, sizeof vmargs,
                           message, sizeof message))
        return refused(message);
    if (!launch_java_command_line(launch->runtime.java, launch->app.layout.site_cache_folder,
                                  launch->descriptor.vmargs ? vmargs : nullptr,
                                  launch->descriptor.mainclass, launch->descriptor.arguments,
                                  command, sizeof command))
        return refused(command_too_long);
    log_line("starting Java: %s", command);
    char why[LAUNCH_PATH_SIZE + 64];
    if (!java_start_hidden(launch->runtime.java, command, why, sizeof why))
        return refused(why);
    return {STARTED, ""};
}

// ---- Stage 5: after the start.

static void after_start(Launch* launch)
{
    shortcut_members_renew(&launch->shortcuts, launch->app.layout.sites_copy);
}

// ---- A cached release that starts at once.

// Moves in the release an earlier launch brought whole in the background,
// before Java starts from the folder. Local moves only; left for later
// when another launch of the application is at work (it may be staging
// other bodies) or a file is held. Call under the commit mutex.
static void commit_next(Launch* launch)
{
    const Layout* layout = &launch->app.layout;
    char lock_name[LAUNCH_PATH_SIZE];
    if (!cache_file_exists(layout->next_release) ||
        !app_lock_name(launch, "", lock_name, sizeof lock_name))
        return;
    HANDLE app_lock = try_lock(lock_name);
    if (!app_lock)
        return;
    PendingDescriptor next;
    next.pending = true;
    int length = 0;
    char* text = read_whole_file(layout->next_release, &length);
    if (text)
        next.text.assign(text, static_cast<size_t>(length));
    free(text);
    cache_file_time(layout->next_release, &next.time);
    next.signature = signature_at(layout->next_signature);
    // A release committed since it was staged is newer (a power cut between
    // that commit and the removal of this one leaves it here).
    int64_t copy_time = 0;
    bool older = cache_file_time(layout->sites_copy, &copy_time) && next.time < copy_time;
    Descriptor release;
    bool usable = !older && !next.text.empty() &&
                  !descriptor_parse(next.text.data(), next.text.size(), &release);
    if (usable && check_descriptor(launch, &release).kind != GO_ON) {
        descriptor_free(&release);
        usable = false;
    }
    // Judged again: the pinned key may have changed since it was brought.
    PublisherVerdict verdict{};
    PublisherRelease judged = {launch->identity, layout->publisher, launch->publisher_keys,
                               usable ? release.publickey : nullptr,
                               next.signature.empty() ? nullptr : next.signature.data(),
                               next.signature.size(), next.text.data(), next.text.size()};
    if (usable && !publisher_decide(&judged, &verdict)) {
        log_line("publisher of %s: the release brought in the background is refused: %s",
                 launch->identity, verdict.reason);
        descriptor_free(&release);
        usable = false;
    }
    if (!usable) {
        log_line("%s: not moved in: %s", layout->next_release,
                 older ? "the release in place is newer" : "it does not read or is not allowed");
        cache_file_remove(layout->next_release);
        cache_file_remove(layout->next_signature);
        release_lock(&app_lock);
        return;
    }
    std::vector<std::string> urls;
    for (int i = 0; const char* item = descriptor_resource(&release, i); i++) {
        char url[LAUNCH_URL_SIZE];
        if (launch_resource_url(release.codebase, item, url, sizeof url))
            urls.push_back(url);
    }
    std::vector<DownloadFile> files;
    for (const std::string& url : urls) {
        const char* name = stored_name_of(url.c_str());
        files.push_back({url.c_str(), name ? descriptor_sha256(&release, name) : nullptr,
                         DOWNLOAD_FETCHED, ""});
    }
    DigestRecord* digests = digest_record_load(layout->digests);
    char why[COMMIT_WHY_SIZE];
    int committed = digests ? release_commit(layout, files.data(), static_cast<int>(files.size()),
                                             &next, digests, why, sizeof why)
                            : 0;
    if (committed == 1) {
        cache_file_remove(layout->next_release);
        cache_file_remove(layout->next_signature);
        if (!publisher_pin_commit(layout->publisher, launch->identity, &verdict))
            log_line("the publisher's key cannot be pinned in %s", layout->publisher);
        prune_site_cache_folder(layout->site_cache_folder, &release);
        if (!digest_record_save(digests, layout->digests))
            log_line("the digest record %s cannot be written", layout->digests);
        log_line("the release brought in the background moved in");
    } else {
        log_line("the release brought in the background waits: %s", digests ? why : "no memory");
    }
    digest_record_free(digests);
    descriptor_free(&release);
    release_lock(&app_lock);
}

// Whether the release's runtime or launcher waits for a newer build, which
// only a launch that checks first can put in place before Java starts.
static bool components_waiting(Launch* launch)
{
    const Descriptor* release = &launch->previous;
    line_runtime_for(release->jre, &launch->runtime);
    bool waiting = (release->jre && line_runtime_needs_update(&launch->runtime)) ||
                   (release->launcher && update_needed(release->launcher));
    if (waiting)
        log_line("a newer runtime or launcher waits: this launch checks first");
    return waiting;
}

// Whether the descriptor opened is an application's sites copy that does
// not say "background": then it is the cached release itself (a release
// brought in the background waits beside a copy that says it), and reading
// it again under the commit mutex would only repeat what the check does.
static bool opened_copy_checks_first(const Launch* launch)
{
    return launch->opened_record_copy && !launch->opened_background;
}

// For an application whose whole cached release says "update":
// "background": Java starts from it before anything is asked of the
// network. Read under the commit mutex, so no commit is half done.
static Outcome start_at_once(Launch* launch)
{
    char lock_name[LAUNCH_PATH_SIZE];
    if (launch->sites.check_first || opened_copy_checks_first(launch) ||
        !app_lock_name(launch, "-commit", lock_name, sizeof lock_name))
        return go_on();
    HANDLE commit_lock = take_lock(lock_name, launch);
    launch->known = application_find(launch->identity, &launch->app) != 0;
    if (launch->known && !cache_file_exists(launch->app.layout.journal)) {
        commit_next(launch);
        read_previous(launch);
    }
    Outcome outcome = go_on();
    if (launch->previous_whole && launch->previous.background && !components_waiting(launch)) {
        descriptor_free(&launch->descriptor);
        launch->descriptor = launch->previous;
        memset(&launch->previous, 0, sizeof launch->previous);
        launch->components_lock = take_lock(LAUNCH_COMPONENTS_LOCK, launch);
        line_runtime_for(launch->descriptor.jre, &launch->runtime);
        if (cache_file_exists(launch->runtime.java))
            outcome = start_java(launch);
        release_lock(&launch->components_lock);
    }
    release_lock(&commit_lock);
    launch->patience = DownloadOptions();
    return outcome;
}

// After a start from the cache: the window goes away and the launch
// brings the next release as it would have before the start, unseen. A
// launch that finds another one of the application at it leaves it to
// that one.
static Outcome update_in_background(Launch* launch)
{
    PostMessageA(launch->request->main_window, WM_LAUNCH_QUIET, 0, 0);
    launch->background = true;
    log_line("started from the cache at once; the next release is brought in the background");
    char lock_name[LAUNCH_PATH_SIZE];
    launch->app_lock = app_lock_name(launch, "", lock_name, sizeof lock_name)
                           ? try_lock(lock_name)
                           : nullptr;
    if (!launch->app_lock) {
        log_line("background: another launch brings the next release");
        return {STARTED, ""};
    }
    descriptor_free(&launch->descriptor);
    launch->patience.silent = true;
    // Its runtime and launcher are brought by a launch that checks first
    // (components_waiting): the running Java holds the runtime.
    Outcome outcome = settle_release(launch);
    if (outcome.kind == GO_ON)
        after_start(launch);
    if (outcome.kind != GO_ON)
        log_line("background: the next release could not be had; the next launch tries again");
    return {STARTED, ""};
}

static Outcome run_stages(Launch* launch)
{
    // A sites copy may start from the cache while the window is being
    // made; anything else may ask a question first, over the window.
    if (!in_sites_folder(launch->request->descriptor_path))
        wait_for_window();
    recover_cut_commits(launch);
    Outcome outcome = open_descriptor(launch);
    if (outcome.kind == GO_ON)
        outcome = start_at_once(launch);
    wait_for_window();
    if (outcome.kind == STARTED)
        return update_in_background(launch);
    if (outcome.kind == GO_ON)
        outcome = settle_release(launch);
    if (outcome.kind == GO_ON)
        outcome = settle_components(launch);
    if (outcome.kind == GO_ON)
        outcome = start_java(launch);
    if (outcome.kind == STARTED)
        after_start(launch);
    return outcome;
}

static void log_outcome(const Launch* launch, const Outcome& outcome)
{
    switch (outcome.kind) {
    case GO_ON:
    case STARTED:
        log_line("launch done: Java started");
        break;
    case DECLINED:
        log_line("launch ended: the site was not trusted");
        break;
    case REFUSED:
        log_line("launch failed: %s (descriptor %s)", outcome.message.c_str(),
                 shown_url(launch->request->descriptor_path).c_str());
        break;
    case DOWNLOAD_SHOWN:
        log_line("launch failed: a download failed");
        break;
    }
}

DWORD WINAPI launch_task_main(LPVOID argument)
{
    Launch launch = {};
    launch.request = static_cast<LaunchRequest*>(argument);
    launch.downloads.request = launch.request;
    site_policy_read(&launch.sites);
    launch.publisher_keys = publisher_policy_read();
    launch.downloads.allowed_sites = launch.sites.allowed;

    Outcome outcome = run_stages(&launch);
    log_outcome(&launch, outcome);

    release_lock(&launch.app_lock);
    release_lock(&launch.components_lock);
    descriptor_free(&launch.descriptor);
    descriptor_free(&launch.previous);
    digest_record_free(launch.digests);
    download_state_release(&launch.downloads);
    site_policy_free(&launch.sites);
    free(launch.publisher_keys);
    bool ended = outcome.kind == GO_ON || outcome.kind == STARTED || outcome.kind == DECLINED;
    if (ended)
        PostMessageA(launch.request->main_window, WM_LAUNCH_DONE, 0, 0);
    free(launch.request);
    // Shown after the release; the window stays open until the user closes it.
    if (outcome.kind == REFUSED && !launch.background) {
        tally_failed();
        MessageBoxA(nullptr, outcome.message.c_str(), "Error", MB_ICONERROR);
    }
    return 0;
}
