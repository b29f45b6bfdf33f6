#include "app/release.h"

#include "app/launch.h"
#include "cache/cachefile.h"
#include "cache/stored_name.h"

#include <cstdio>
#include <cstring>

namespace {

void say(char* text, size_t size, const char* what)
{
    if (size > 0)
        snprintf(text, size, "%s", what);
}

// The stored name of descriptor's resource item: null when it has none to
// store (a URL without "/", one too long to compose, or a refused name).
const char* stored_name(const Descriptor* descriptor, const char* item, char (&url)[LAUNCH_URL_SIZE])
{
    if (!launch_resource_url(descriptor->codebase, item, url, sizeof url))
        return nullptr;
    const char* name = stored_name_of(url);
    return name && stored_name_acceptable(name) ? name : nullptr;
}

} // namespace

int release_whole(const Descriptor* descriptor, const Layout* layout, DigestRecord* record,
                  char* missing, size_t size)
{
    say(missing, size, "");
    for (int i = 0; const char* item = descriptor_resource(descriptor, i); i++) {
        char url[LAUNCH_URL_SIZE];
        if (!launch_resource_url(descriptor->codebase, item, url, sizeof url)) {
            say(missing, size, item);
            return 0;
        }
        const char* name = stored_name_of(url);
        if (!name)
            continue;
        char path[LAYOUT_PATH_SIZE];
        const char* pinned = descriptor_sha256(descriptor, name);
        char hex[DIGEST_HEX_SIZE];
        int needed = snprintf(path, sizeof path, "%s%s", layout->site_cache_folder, name);
        bool there = stored_name_acceptable(name) && layout_resource_fits(layout, name) &&
                     needed > 0 &&
                     needed < static_cast<int>(sizeof path) && cache_file_exists(path) &&
                     (!pinned || (digest_record_file(record, layout->site_cache_folder, name, hex) &&
                                  strcmp(hex, pinned) == 0));
        if (!there) {
            say(missing, size, name);
            return 0;
        }
    }
    return 1;
}

int release_name_too_long(const Descriptor* descriptor, const Layout* layout, char* name,
                          size_t size)
{
    for (int i = 0; const char* item = descriptor_resource(descriptor, i); i++) {
        char url[LAUNCH_URL_SIZE];
        const char* stored = stored_name(descriptor, item, url);
        if (stored && !layout_resource_fits(layout, stored)) {
            say(name, size, stored);
            return 1;
        }
    }
    return 0;
}
