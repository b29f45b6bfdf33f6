// Bringing a descriptor from its server: the way a copy in the sites
// folder follows its application's releases, and a launch from a URL gets
// its descriptor. What arrives is handed back, not stored: it joins the
// release that the launch commits (app/release.h). Windows only.
#pragma once

#include "cache/download.h"

#include <cstdint>
#include <string>

enum RefreshResult {
    REFRESH_ERROR = -1,     // the download showed an error
    REFRESH_NONE = 0,       // no usable answer, or none that is a whole descriptor
    REFRESH_FETCHED = 1,    // a whole descriptor arrived
    REFRESH_UNCHANGED = 2,  // the server answered that base is current
};

// A fetched descriptor's bytes and modification time (the server's
// Last-Modified, when it gave one).
struct FetchedDescriptor {
    std::string text;
    int64_t time = 0;
};

// Fetches url with download_resource (the same cache rule, redirects,
// certificate, proxy and failed-host rules as any download; the label shows
// the name after url's last "/") through the fetch folder, conditionally on
// the copy at base (none when it is empty or not there), and takes what
// arrived only when it is a whole descriptor: at most
// DESCRIPTOR_FETCHED_MAX bytes, parsed, with its required members; then
// *fetched holds it. No answer, or none usable, shows nothing. Each result
// is logged with why. The server gets patience's patience_seconds. Call
// under LAUNCH_DESCRIPTORS_LOCK: all launches fetch through one folder.
int refresh_descriptor(const char* url, const char* base, const DownloadOptions* patience,
                       DownloadState* state, FetchedDescriptor* fetched);

// Fetches the signature of the descriptor at url: url followed by
// ".minisig", unconditionally, through the fetch folder, as
// refresh_descriptor fetches. 1 with its bytes in *signature; 0 when there
// is none (no answer, an error status, more than MINISIGN_FILE_MAX bytes:
// logged), -1 when the download showed an error. Call under
// LAUNCH_DESCRIPTORS_LOCK.
int refresh_signature(const char* url, const DownloadOptions* patience, DownloadState* state,
                      std::string* signature);
