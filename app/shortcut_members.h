// The descriptor's shortcut members: "title" (a text of at most
// SHORTCUT_TITLE_MAX characters), "icon" (an .ico file's name relative to
// the code base, or an absolute http:// or https:// URL) and "shortcut" (an
// array of "desktop" and "menu"). A bad one is told in the log and changes
// no shortcut; the launch goes on.
#pragma once

#include "app/descriptor.h"
#include "app/launch.h"
#include "cache/download.h"

#include <cstddef>

struct ShortcutMembers {
    // False after a bad member: the launch then changes no shortcut.
    bool valid;
    const char* title; // inside the descriptor; null when absent
    int places;        // SHORTCUT_DESKTOP and SHORTCUT_MENU asked for; 0 without a title
    char icon_url[LAUNCH_URL_SIZE];     // "" without an icon
    char icon_path[DOWNLOAD_PATH_SIZE]; // where the download stores it; "" without one
};

// The icon member alone, which the prune must know whatever the others
// say: 1 with its URL in url and *name pointing at the name the download
// stores it under (inside url), 0 when it is absent, -1 when it names no
// .ico file the download would store (*problem says why, for the log).
int shortcut_members_icon(const Descriptor* descriptor, char* url, size_t size,
                          const char** name, const char** problem);

// Reads the three members into *out for a launch whose site cache folder
// is site_cache_folder. Returns null, or the log's text for the first bad
// member (out->valid is then false).
const char* shortcut_members_read(const Descriptor* descriptor, const char* site_cache_folder,
                                  ShortcutMembers* out);

#ifdef _WIN32
// With the release, under the site's mutex: reads the members (a bad one
// logged) and, when a shortcut is asked for, fetches the icon into the site
// cache folder like a resource, except that one that cannot be had shows
// nothing and leaves the launcher's own.
void shortcut_members_fetch(const Descriptor* descriptor, const char* site_cache_folder,
                            const DownloadOptions* base, DownloadState* downloads,
                            ShortcutMembers* out);

// Once Java has started: renews the shortcuts of the descriptor's copy in
// the sites folder (shortcut_renew) to the members, showing the cached icon
// or else the launcher's own. Nothing after a bad member, nor for a
// descriptor without a copy.
void shortcut_members_renew(const ShortcutMembers* members, const char* descriptor_copy);
#endif
