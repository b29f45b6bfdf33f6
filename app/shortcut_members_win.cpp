// The icon's fetch with the release, and the shortcuts once Java runs.
#include "app/shortcut_members.h"

#include "base/fileutil.h"
#include "base/log.h"
#include "base/paths.h"
#include "install/shortcut.h"

#include <windows.h>

void shortcut_members_fetch(const Descriptor* descriptor, const char* site_cache_folder,
                            const DownloadOptions* base, DownloadState* downloads,
                            ShortcutMembers* out)
{
    const char* problem = shortcut_members_read(descriptor, site_cache_folder, out);
    if (problem) {
        log_line("shortcuts: %s: none made or changed", problem);
        return;
    }
    if (descriptor->shortcut && !out->title)
        log_line("shortcuts: none, the descriptor has no \"title\"");
    if (!out->places || !out->icon_url[0])
        return;
    // The icon is no reason to stop a launch: without it the launcher's own serves.
    DownloadOptions quiet = *base;
    quiet.quiet_without_copy = true;
    DownloadFile icon = {out->icon_url, nullptr, DOWNLOAD_HELD_BACK, ""};
    if (download_files(&icon, 1, site_cache_folder, &quiet, downloads) < 0)
        log_line("shortcuts: the icon %s could not be written", out->icon_path);
}

void shortcut_members_renew(const ShortcutMembers* members, const char* descriptor_copy)
{
    if (!members->valid)
        return;
    if (!descriptor_copy[0]) {
        if (members->places)
            log_line("shortcuts: none, the descriptor has no copy in the sites folder");
        return;
    }
    unsigned long attributes =
        members->icon_path[0] ? file_attributes(members->icon_path) : INVALID_FILE_ATTRIBUTES;
    bool cached = attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
    if (members->icon_path[0] && !cached && members->places)
        log_line("shortcuts: the icon %s is not in the cache: the launcher's own serves",
                 members->icon_path);
    shortcut_renew(descriptor_copy, members->title,
                   cached ? members->icon_path : installed_launcher, members->places);
}
