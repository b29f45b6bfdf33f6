#include "app/prune.h"

#include "app/launch.h"
#include "app/shortcut_members.h"
#include "cache/stored_name.h"
#include "net/ascii.h"
#include "runtime/line.h"
#include "runtime/version.h"

#include <cstring>

// Whether a code base's character becomes "#" in the site folder's name.
static bool replaced(char c)
{
    return c != '\0' && strchr(LAUNCH_SITE_CHARS, c) != nullptr;
}

// The length of a name as Windows keeps it: without trailing dots and blanks.
static size_t kept_length(const char* name)
{
    size_t length = strlen(name);
    while (length > 0 && (name[length - 1] == '.' || name[length - 1] == ' '))
        length--;
    return length;
}

// Two code bases give one site cache folder when they are equal once the
// replaced characters are "#", letter case aside, and without what Windows
// drops at the end of a folder's name.
static bool same_site(const char* a, const char* b)
{
    size_t length = kept_length(a);
    if (kept_length(b) != length)
        return false;
    for (size_t i = 0; i < length; i++) {
        char x = replaced(a[i]) ? '#' : a[i];
        char y = replaced(b[i]) ? '#' : b[i];
        if (!ascii_same_letter(x, y))
            return false;
    }
    return true;
}

int prune_names_add(const Descriptor* descriptor, const char* site_codebase, StringList* names)
{
    if (!same_site(descriptor->codebase, site_codebase))
        return 0;
    for (int i = 0; const char* item = descriptor_resource(descriptor, i); i++) {
        // A URL too long is never fetched, so it names no file.
        char url[LAUNCH_URL_SIZE];
        if (!launch_resource_url(descriptor->codebase, item, url, sizeof url))
            continue;
        const char* name = stored_name_of(url);
        if (!name || !stored_name_acceptable(name))
            continue;
        if (!string_list_add(name, names))
            return -1;
    }
    // The shortcuts' icon lives beside the jars; being no .jar, it is never
    // on Java's class path, whose wildcard takes only .jar and .JAR files.
    char url[LAUNCH_URL_SIZE];
    const char* name = nullptr;
    const char* problem = nullptr;
    if (shortcut_members_icon(descriptor, url, sizeof url, &name, &problem) > 0 &&
        !string_list_add(name, names))
        return -1;
    return 1;
}

int prune_names_hold(const StringList* names, const char* name)
{
    size_t length = kept_length(name);
    for (int i = 0; i < names->count; i++) {
        const char* held = names->items[i];
        if (kept_length(held) != length)
            continue;
        size_t at = 0;
        while (at < length && ascii_same_letter(held[at], name[at]))
            at++;
        if (at == length)
            return 1;
    }
    return 0;
}

int prune_lines_add(const Descriptor* descriptor, StringList* lines)
{
    if (!descriptor->jre)
        return 1;
    char line[LINE_TEXT_SIZE];
    if (!line_of_member(descriptor->jre, line, sizeof line))
        return 1;
    return string_list_add(line, lines) ? 1 : 0;
}
