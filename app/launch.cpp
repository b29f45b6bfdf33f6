#include "app/launch.h"

#include "app/java_command.h"

#include "base/fileutil.h"
#include "base/paths.h"
#include "cache/stored_name.h"
#include "net/ascii.h"

#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

const char LAUNCH_COMPONENTS_LOCK[] = "Local\\quorvel-components";
const char LAUNCH_DESCRIPTORS_LOCK[] = "Local\\quorvel-descriptors";

// Formatted printing that refuses instead of cutting.
static int compose(char* out, size_t size, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    int needed = vsnprintf(out, size, format, args);
    va_end(args);
    if (needed < 0 || static_cast<size_t>(needed) >= size) {
        if (size > 0)
            out[0] = '\0';
        return 0;
    }
    return 1;
}

int launch_resource_url(const char* codebase, const char* item, char* out, size_t size)
{
    return compose(out, size, "%s%s", codebase, item);
}

int launch_component_url(const char* codebase, const char* member, char* out, size_t size)
{
    if (is_url(member))
        return compose(out, size, "%s", member);
    return compose(out, size, "%s%s", codebase, member);
}

const char* launch_component_folder(const char* what)
{
    return strcmp(what, "runtime") == 0 ? runtime_builds_folder : launcher_builds_folder;
}

int launch_component_file_path(const char* folder, const char* url, char* out, size_t size)
{
    const char* slash = strrchr(url, '/');
    if (!slash)
        return 0;
    return compose(out, size, "%s%s", folder, slash + 1) ? 1 : -1;
}

int launch_java_command_line(const char* java, const char* site_cache_folder, const char* vmargs,
                             const char* mainclass, const char* arguments, char* out,
                             size_t size)
{
    char java_piece[LAUNCH_PATH_SIZE + 8];
    char class_path[LAUNCH_PATH_SIZE + 8];
    char folder_files[LAUNCH_PATH_SIZE + 2];
    if (!compose(folder_files, sizeof folder_files, "%s*", site_cache_folder) ||
        !java_command_quote(java, java_piece, sizeof java_piece) ||
        !java_command_quote(folder_files, class_path, sizeof class_path)) {
        if (size > 0)
            out[0] = '\0';
        return 0;
    }
    if (vmargs)
        return compose(out, size, "%s %s -cp %s %s %s", java_piece, vmargs, class_path, mainclass,
                       arguments);
    return compose(out, size, "%s -cp %s %s %s", java_piece, class_path, mainclass, arguments);
}

int launch_is_descriptor_url(const char* text)
{
    return ascii_starts_with(text, "http://") || ascii_starts_with(text, "https://");
}

int launch_url_descriptor_name(const char* url, char* out, size_t size)
{
    const char* name = stored_name_of(url);
    if (!name || !stored_name_acceptable(name))
        return 0;
    static const char extension[] = ".nlp";
    size_t length = strlen(name);
    bool has_extension = length >= sizeof extension - 1 &&
                         ascii_equal(name + length - (sizeof extension - 1), extension);
    return compose(out, size, "%s%s", name, has_extension ? "" : extension) ? 1 : -1;
}

int launch_relaunch_command_line(const char* component_path, const char* descriptor_path,
                                 char* out, size_t size)
{
    return compose(out, size, "%s \"%s\"", component_path, descriptor_path);
}
