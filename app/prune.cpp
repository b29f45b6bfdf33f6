#include "app/prune.h"

#include "app/launch.h"
#include "app/shortcut_members.h"
#include "cache/stored_name.h"
#include "cache/layout.h"
#include "runtime/line.h"
#include "runtime/version.h"

#include <cstring>

int prune_names_add(const Descriptor* descriptor, StringList* names)
{
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
    for (int i = 0; i < names->count; i++)
        if (layout_same_name(names->items[i], name))
            return 1;
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
