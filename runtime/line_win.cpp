// Finding a line's runtime folder by the file versions of the java.exe
// programs installed, and removing the line folders no application names.
#include "runtime/line.h"

#include "base/log.h"
#include "base/paths.h"
#include "runtime/unpack.h"
#include "runtime/version.h"

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

// 1 when the runtime's java.exe has a readable file version, and its line
// into line ("" for a version that names none).
static int installed_line(const LineRuntime& runtime, char* line, size_t size)
{
    char version[VERSION_TEXT_SIZE];
    line[0] = '\0';
    if (!query_file_version(runtime.java, version, sizeof version))
        return 0;
    line_of_version(version, line, size);
    return 1;
}

// The folder for a build of version wanted.
static void choose_runtime(const char* wanted, LineRuntime* out)
{
    LineRuntime java = {};
    set_folder(&java, install_root, "java");
    *out = java;
    char line[LINE_TEXT_SIZE];
    if (!line_of_version(wanted, line, sizeof line))
        return;
    snprintf(out->line, sizeof out->line, "%s", line);
    char held[LINE_TEXT_SIZE];
    int java_readable = installed_line(java, held, sizeof held);
    if (java_readable && strcmp(held, line) == 0)
        return;
    LineRuntime own = {};
    snprintf(own.line, sizeof own.line, "%s", line);
    // A line text is a few digits and a dot: its folder always fits.
    set_folder(&own, runtimes_folder, line);
    if (java_readable || installed_line(own, held, sizeof held))
        *out = own;
}

void line_runtime_for(const char* jre, LineRuntime* out)
{
    char wanted[VERSION_TEXT_SIZE] = "";
    if (jre)
        component_wanted_version(jre, wanted, sizeof wanted);
    choose_runtime(wanted, out);
    if (jre)
        log_line("runtime: line %s in %s", out->line[0] ? out->line : "(none)", out->folder);
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
