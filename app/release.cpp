#include "app/release.h"

#include "app/launch.h"
#include "base/paths.h"
#include "cache/cachefile.h"
#include "cache/stored_name.h"

#include <cstdio>
#include <cstring>

namespace {

bool compose(char (&out)[RELEASE_PATH_SIZE], const char* first, const char* second)
{
    int needed = snprintf(out, sizeof out, "%s%s", first, second);
    return needed >= 0 && needed < static_cast<int>(sizeof out);
}

void say(char* text, size_t size, const char* what)
{
    if (size > 0)
        snprintf(text, size, "%s", what);
}

} // namespace

int release_folders(const char* site_cache_folder, ReleaseFolders* out)
{
    size_t root_length = strlen(cache_root);
    if (strncmp(site_cache_folder, cache_root, root_length) != 0)
        return 0;
    const char* name = site_cache_folder + root_length;
    const char* end = strchr(name, '\\');
    if (!*name || !end || end[1] != '\0')
        return 0;
    return compose(out->root, releases_root, name) && compose(out->staged, out->root, "staged\\") &&
           compose(out->previous, out->root, "previous\\") &&
           compose(out->previous_nlp, out->root, "previous-nlp\\") &&
           compose(out->journal, out->root, "journal") &&
           compose(out->digests, out->root, "digests");
}

int release_whole(const Descriptor* descriptor, const char* site_cache_folder,
                  DigestRecord* record, char* missing, size_t size)
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
        char path[RELEASE_PATH_SIZE];
        const char* pinned = descriptor_sha256(descriptor, name);
        char hex[DIGEST_HEX_SIZE];
        bool there = stored_name_acceptable(name) && compose(path, site_cache_folder, name) &&
                     cache_file_exists(path) &&
                     (!pinned || (digest_record_file(record, site_cache_folder, name, hex) &&
                                  strcmp(hex, pinned) == 0));
        if (!there) {
            say(missing, size, name);
            return 0;
        }
    }
    return 1;
}
