// A descriptor is fetched beside the sites folder, checked, and only then
// moved over the copy, so a broken answer never replaces a working copy.
#include "app/refresh.h"

#include "app/descriptor.h"
#include "base/fileutil.h"
#include "base/log.h"
#include "base/paths.h"
#include "cache/leftover.h"
#include "cache/stored_name.h"
#include "net/url.h"

#include <windows.h>

#include <cstdio>

// Puts the fetched file staged in place of path when it is a whole
// descriptor; removes it either way.
static int store_when_whole(const char* staged, const char* path, const char* shown)
{
    Descriptor fetched;
    const char* problem = descriptor_load_fetched(staged, &fetched);
    descriptor_free(&fetched);
    int stored = !problem && file_move(staged, path, MOVEFILE_REPLACE_EXISTING);
    if (stored)
        log_line("descriptor %s refreshed from %s", path, shown);
    else if (problem)
        log_line("descriptor from %s not stored: %s; the copy serves", shown, problem);
    else
        log_line("descriptor from %s not stored: %s cannot be replaced (error %lu); the copy "
                 "serves", shown, path, GetLastError());
    file_delete(staged);
    return stored;
}

int refresh_descriptor(const char* url, const char* path, DownloadState* state)
{
    char shown[LOG_LINE_SIZE];
    url_strip_credentials(url, shown, sizeof shown);
    const char* name = stored_name_of(url);
    char staged[DOWNLOAD_PATH_SIZE];
    int needed = name ? snprintf(staged, sizeof staged, "%s%s", fetch_folder, name) : -1;
    if (!name || !stored_name_acceptable(name) || needed < 0 ||
        needed >= static_cast<int>(sizeof staged)) {
        log_line("descriptor %s not fetched: its name is no safe file name or too long; the "
                 "copy serves", shown);
        return 0;
    }
    make_folder_chain(fetch_folder);
    leftover_remove_stale(fetch_folder);
    // The copy keeps its time, which makes the request conditional; without
    // one, a launch that was killed may have left a file of that name.
    if (!file_copy(path, staged))
        file_delete(staged);
    state->quiet_without_copy = 1;
    int fetched = download_resource(url, fetch_folder, state);
    state->quiet_without_copy = 0;
    if (fetched > 0)
        return store_when_whole(staged, path, shown);
    file_delete(staged);
    if (fetched == 0)
        log_line("descriptor %s not refreshed: nothing new from %s (unchanged, or no usable "
                 "answer); %s", path, shown,
                 file_attributes(path) == INVALID_FILE_ATTRIBUTES ? "there is no copy"
                                                                     : "the copy serves");
    return fetched;
}
