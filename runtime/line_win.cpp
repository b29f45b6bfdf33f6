// Finding a line's runtime folder by what the runtimes installed are, and
// removing the line folders no application names.
#include "runtime/line.h"

#include "base/log.h"
#include "base/paths.h"
#include "runtime/installed.h"
#include "runtime/unpack.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

// The folder (its path without a final "\") and its java.exe; false when
// they do not fit.
static bool set_folder(LineRuntime* runtime, const char* parent, const char* name)
{
    int needed = snprintf(runtime->folder, sizeof runtime->folder, "%s%s", parent, name);
    if (needed < 0 || needed >= static_cast<int>(sizeof runtime->folder))
        return false;
    needed = snprintf(runtime->java, sizeof runtime->java, "%s\\bin\\java.exe", runtime->folder);
    return needed >= 0 && needed < static_cast<int>(sizeof runtime->java);
}

// 1 when something is known of the runtime, and its line into line.
static int held_line(const LineRuntime& runtime, char* line, size_t size)
{
    InstalledRuntime installed;
    installed_read(runtime.folder, &installed);
    return installed_line(&installed, line, size);
}

// The folder for the build out wants.
static void choose_runtime(LineRuntime* out)
{
    LineRuntime java = *out;
    set_folder(&java, install_root, "java");
    *out = java;
    char line[LINE_TEXT_SIZE];
    if (!out->wanted_known || !java_version_line(&out->wanted, line, sizeof line))
        return;
    snprintf(out->line, sizeof out->line, "%s", line);
    char held[LINE_TEXT_SIZE];
    int java_known = held_line(java, held, sizeof held);
    if (java_known && strcmp(held, line) == 0)
        return;
    LineRuntime own = *out;
    // A line text is a few digits and a dot: its folder always fits.
    set_folder(&own, runtimes_folder, line);
    if (java_known || held_line(own, held, sizeof held))
        *out = own;
}

void line_runtime_for(const char* jre, LineRuntime* out)
{
    memset(out, 0, sizeof *out);
    if (jre)
        out->wanted_known = java_version_of_archive(jre, &out->wanted, out->wanted_text,
                                                    sizeof out->wanted_text);
    choose_runtime(out);
    if (jre)
        log_line("runtime: line %s in %s", out->line[0] ? out->line : "(none)", out->folder);
}

int line_runtime_needs_update(const LineRuntime* runtime)
{
    if (!runtime->wanted_known)
        return 0;
    InstalledRuntime installed;
    installed_read(runtime->folder, &installed);
    int needed = installed_needs_update(&runtime->wanted, &installed);
    log_line("runtime: wanted %s, installed %s%s%s%s, installed as %s: %s", runtime->wanted_text,
             installed.own_known ? installed.own_text : "none",
             installed.own_known ? " (by its " : "", installed.own_source,
             installed.own_known ? ")" : "",
             installed.recorded_known ? installed.recorded_text : "(no record)",
             needed ? "fetching the build" : "up to date");
    return needed;
}

static bool is_named(const char* name, const char* const* named, int count)
{
    for (int i = 0; i < count; i++) {
        if (_stricmp(name, named[i]) == 0)
            return true;
    }
    return false;
}

void line_remove_unused(const char* const* named, int count)
{
    char pattern[MAX_PATH];
    snprintf(pattern, sizeof pattern, "%s*", runtimes_folder);
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern, &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        const char* name = found.cFileName;
        // A linked folder is not a runtime the launcher installed.
        DWORD attributes = found.dwFileAttributes;
        if (!(attributes & FILE_ATTRIBUTE_DIRECTORY) ||
            (attributes & FILE_ATTRIBUTE_REPARSE_POINT) || strcmp(name, ".") == 0 ||
            strcmp(name, "..") == 0 || is_named(name, named, count))
            continue;
        char folder[MAX_PATH];
        int needed = snprintf(folder, sizeof folder, "%s%s", runtimes_folder, name);
        if (needed < 0 || needed >= static_cast<int>(sizeof folder))
            continue;
        if (unpack_remove_runtime(install_root, folder))
            log_line("runtime: removed %s: no descriptor in the sites folder names line %s",
                     folder, name);
        else
            log_line("runtime: kept %s, which no descriptor names: it is in use; the next launch "
                     "tries again", folder);
    } while (FindNextFileA(search, &found));
    FindClose(search);
}
