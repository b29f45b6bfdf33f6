// The cached resource download: brings the file named by an HTTP URL into a
// folder, treating the local copy as a cache. A copy is revalidated with
// "If-Modified-Since" (its modification time, which a download sets to the
// server's Last-Modified) and kept on 304; an unreachable host is
// remembered and answered from the cache. The file name goes to the status
// label and the bytes received to the progress bar; errors are shown in a
// message box. The requests of one launch share its connections, one per
// server (net/pool.h); a list of files has the requests of later files
// sent ahead on them. Runs on the launch task's worker thread.
#pragma once

#include "cache/digest.h"
#include "cache/digest_record.h"
#include "cache/winui.h"
#include "net/pool.h"

#include <cstddef>

// Local paths, with their terminating NUL, are at most MAX_PATH bytes.
enum { DOWNLOAD_PATH_SIZE = 260, DOWNLOAD_NAME_SIZE = 1024 };

// Handed from the window to the launch task. Made zero-filled by the window
// code; owned and freed by the launch task.
struct LaunchRequest {
    HWND main_window;
    HWND progress_bar;
    HWND status_label;
    char descriptor_path[264]; // UTF-8
};

// One per launch task, made by it ({nullptr, request, 0, nullptr}) and
// passed to every download of that launch.
struct DownloadState {
    // Owned copy of the host of the most recent request that failed to
    // connect or to send; null at first. Released by download_state_release.
    char* failed_host;
    // The launch's request, not owned: its label and bar show the progress.
    LaunchRequest* request;
    // Result of the latest body read: 0 at the body's end, negative on an
    // error or time-out or when the connection ended before the body did.
    int last_read_count;
    // Owned "host:port" of the most recent proxy that could not be reached
    // or wanted a logon that could not be given; null at first. Every host
    // behind it is then skipped. Released by download_state_release.
    char* failed_proxy;
    // The launch's connections, made by the first download; null at first.
    // Released by download_state_release.
    ConnectionPool* pool = nullptr;
    // The administrator's list of allowed origins for the whole launch, set
    // once as it begins (net/origin.h's form), not owned; null without a
    // list. Every request and every redirect's target is checked against
    // it before it is asked: one the list leaves out is not asked and fails
    // like an unreachable host (a copy serves, if any).
    const char* allowed_sites = nullptr;
};

// How the downloads of one call behave: what differs between a launch's
// callers, passed with each call rather than left on the state.
struct DownloadOptions {
    // For a caller that reports a missing file itself: a request that
    // brings nothing while no local copy exists then returns 0, as when a
    // copy serves, and shows nothing.
    bool quiet_without_copy = false;
    // When set (a folder ending in the separator), a new body is written
    // there under its name instead of into the download's folder: a
    // release's files are kept aside until the whole release is in hand.
    // A copy there that an earlier launch kept aside is the one revalidated,
    // before the one in the folder.
    const char* stage_folder = nullptr;
    // The digests of the folder's files, for files whose digest is pinned;
    // not owned. Null: a pinned copy is read whole to be checked.
    DigestRecord* digests = nullptr;
    // Seconds within which a connection must be made and each answer's
    // first byte arrive (a silent server then counts as unreachable); 0
    // for the usual HTTP_CONNECT_SECONDS and HTTP_RECEIVE_SECONDS.
    int patience_seconds = 0;
    // For work that nobody watches (an update in the background): every
    // error is only logged, never shown, and ends the download as if shown.
    bool silent = false;
};

// What became of one file of download_files.
enum DownloadOutcome {
    DOWNLOAD_ERROR = -1,     // an error was shown (the list stops there)
    DOWNLOAD_CURRENT = 0,    // the copy stands: 304, or it has the pinned digest (not asked)
    DOWNLOAD_FETCHED = 1,    // a whole body that passed its checks was written
    DOWNLOAD_HELD_BACK = 2,  // no usable answer, or a body refused: only a copy, if any
};

enum { DOWNLOAD_WHY_SIZE = 320 };

// One file of download_files: what the caller names, and what became of it.
struct DownloadFile {
    const char* url;
    // 64 lowercase hexadecimal digits the file's bytes must hash to
    // (SHA-256), or null. A copy that has it is not asked for; a body that
    // has not is refused; a copy that has not is asked for without a date.
    const char* sha256;
    int outcome;                   // DownloadOutcome, set by download_files
    char why[DOWNLOAD_WHY_SIZE];   // for DOWNLOAD_HELD_BACK: why, in words
};

// Fetches url (scheme://host[:port]/path; the text after its last '/' is the
// file name) into folder (ending in "\", or "/" natively) under the cache
// rule. An https:// URL goes through TLS with the server's certificate
// checked (natively it fails like an unreachable host). Each request goes
// the way the user's proxy settings route its URL (proxy_for_url): a proxy
// that cannot be reached counts as an unreachable host for every host
// behind it. Redirects (301,
// 302, 303, 307, 308) are followed up to five times, never from https to
// http; the file keeps the name url gives it. Returns:
//  1  a complete 200 response was written to the local file;
//  0  nothing written: url has no '/'; the server answered 304; or the host
//     was skipped or unreachable or its certificate not trusted, or the
//     proxy wanted a logon that could not be given, or the
//     response was not a whole 200 (other status, header or body cut short,
//     a redirect that leads nowhere usable, a body that fails its check:
//     one of a file named "*.jar" that is no readable zip archive, or one
//     that does not have its pinned digest), while a local copy exists;
// -1  an error was shown: "Error downloading resource" for the cases of 0
//     without a local copy, but "Error, the server's certificate is not
//     trusted" and the host's name for a certificate that failed the check,
//     "Error, the proxy server requires authentication" and the proxy's
//     host for a proxy's 407 that no logon could answer,
//     "Error cannot write resource" when the name is
//     refused (empty, ".", "..", 1024 characters or more, or holding a
//     character Windows forbids in names), the path would not fit MAX_PATH
//     (the server is then not contacted) or the file cannot be written.
// The body goes to a temporary file in folder (or the stage folder) first
// ("download-<process id>.part") that replaces the local copy only once the
// body arrived whole, passed its checks and is on disk; the local copy is
// never left half-written, nor replaced by bytes a power cut can lose.
int download_resource(const char* url, const char* folder, DownloadState* state);

// Fetches urls[0, count) into folder, each exactly as download_resource
// fetches it and in that order: its name on the label when its answer is
// taken up, the bar following its bytes, the same cache rules and
// messages. The requests of the files after the one taken up are sent
// before its answer is read, where their server's connection is open and
// pipelined (net/pool.h). Stops at the first file whose download returns
// -1 (its message shown): -1 then; otherwise 0.
int download_resources(const char* const* urls, int count, const char* folder,
                       DownloadState* state);

// download_resources over files[0, count) as options ask (null: as
// download_resources), with each file's digest pinned where it names one
// and its outcome set (files after one whose outcome is DOWNLOAD_ERROR are
// left DOWNLOAD_HELD_BACK, "not asked"). Returns -1 when a file's outcome
// is DOWNLOAD_ERROR, else 0.
int download_files(DownloadFile* files, int count, const char* folder,
                   const DownloadOptions* options, DownloadState* state);

// Frees failed_host, failed_proxy and the pool (closing its connections)
// and clears them; the state can be used again.
void download_state_release(DownloadState* state);

// The temporary file that download_resource writes first in folder, into
// out. 1, or 0 when it does not fit size bytes.
int download_temp_path(const char* folder, char* out, size_t size);
