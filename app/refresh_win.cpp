// A descriptor is fetched beside the sites folder and checked; only a whole
// one is handed back, so a broken answer never replaces a working copy.
#include "app/refresh.h"

#include "app/descriptor.h"
#include "app/minisign.h"
#include "base/fileutil.h"
#include "base/log.h"
#include "base/paths.h"
#include "cache/cachefile.h"
#include "cache/leftover.h"
#include "cache/stored_name.h"
#include "net/url.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>

// Takes the fetched file staged when it is a whole descriptor.
static int take_when_whole(const char* staged, const char* shown, FetchedDescriptor* fetched)
{
    Descriptor checked;
    const char* problem = descriptor_load_fetched(staged, &checked);
    descriptor_free(&checked);
    int length = 0;
    char* text = problem ? nullptr : read_whole_file(staged, &length);
    if (text) {
        fetched->text.assign(text, static_cast<size_t>(length));
        if (!cache_file_time(staged, &fetched->time))
            fetched->time = 0;
        log_line("descriptor fetched from %s", shown);
    } else {
        log_line("descriptor from %s not taken: %s; the copy serves", shown,
                 problem ? problem : "it cannot be read again");
    }
    free(text);
    return text ? REFRESH_FETCHED : REFRESH_NONE;
}

int refresh_descriptor(const char* url, const char* base, const DownloadOptions* patience,
                       DownloadState* state, FetchedDescriptor* fetched)
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
        return REFRESH_NONE;
    }
    make_folder_chain(fetch_folder);
    leftover_remove_stale(fetch_folder);
    // The base keeps its time, which makes the request conditional; without
    // one, a launch that was killed may have left a file of that name.
    if (!base[0] || !file_copy(base, staged))
        file_delete(staged);
    DownloadOptions options = *patience;
    options.quiet_without_copy = true;
    DownloadFile file = {url, nullptr, DOWNLOAD_HELD_BACK, ""};
    int listed = download_files(&file, 1, fetch_folder, &options, state);
    int result = listed < 0                         ? REFRESH_ERROR
                 : file.outcome == DOWNLOAD_FETCHED ? take_when_whole(staged, shown, fetched)
                 : file.outcome == DOWNLOAD_CURRENT ? REFRESH_UNCHANGED
                                                    : REFRESH_NONE;
    file_delete(staged);
    if (file.outcome == DOWNLOAD_CURRENT)
        log_line("descriptor %s unchanged at %s", base, shown);
    else if (file.outcome == DOWNLOAD_HELD_BACK)
        log_line("descriptor not refreshed: no usable answer from %s (%s)", shown, file.why);
    return result;
}

int refresh_signature(const char* url, const DownloadOptions* patience, DownloadState* state,
                      std::string* signature)
{
    signature->clear();
    std::string signature_url = std::string(url) + ".minisig";
    char shown[LOG_LINE_SIZE];
    url_strip_credentials(signature_url.c_str(), shown, sizeof shown);
    const char* name = stored_name_of(signature_url.c_str());
    char staged[DOWNLOAD_PATH_SIZE];
    int needed = name ? snprintf(staged, sizeof staged, "%s%s", fetch_folder, name) : -1;
    if (!name || !stored_name_acceptable(name) || needed < 0 ||
        needed >= static_cast<int>(sizeof staged)) {
        log_line("signature %s not fetched: its name is no safe file name or too long", shown);
        return 0;
    }
    make_folder_chain(fetch_folder);
    // Never revalidated: a signature is taken only as its server gives it now.
    file_delete(staged);
    DownloadOptions options = *patience;
    options.quiet_without_copy = true;
    DownloadFile file = {signature_url.c_str(), nullptr, DOWNLOAD_HELD_BACK, ""};
    if (download_files(&file, 1, fetch_folder, &options, state) < 0)
        return -1;
    int length = 0;
    char* text = file.outcome == DOWNLOAD_FETCHED ? read_whole_file(staged, &length) : nullptr;
    file_delete(staged);
    bool taken = text && length <= MINISIGN_FILE_MAX;
    if (taken)
        signature->assign(text, static_cast<size_t>(length));
    free(text);
    if (taken)
        log_line("signature fetched from %s", shown);
    else
        log_line("no signature from %s (%s)", shown,
                 file.outcome != DOWNLOAD_FETCHED ? file.why : "larger than the bound or unreadable");
    return taken ? 1 : 0;
}
