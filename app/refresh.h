// Bringing a descriptor from its server into the sites folder: the way a
// copy there follows its application's releases, and a launch from a URL
// gets its descriptor. Windows only.
#pragma once

#include "cache/download.h"

// Fetches url with download_resource (the same cache rule, redirects,
// certificate, proxy and failed-host rules as any download; the label shows
// the name after url's last "/") through the fetch folder, and puts it in
// place of the file at path only when it is a whole descriptor: at most
// DESCRIPTOR_FETCHED_MAX bytes, parsed, with its required members. The copy
// at path makes the request conditional; no answer, or none usable, leaves
// it as it was and shows nothing, also when there is no copy. Returns 1
// when path was replaced, 0 when it stays (each logged with why), -1 when
// the download showed an error (the fetch folder cannot be written). Call
// under LAUNCH_DESCRIPTORS_LOCK: all launches fetch through one folder.
int refresh_descriptor(const char* url, const char* path, DownloadState* state);
