// Finding the site's descriptors and the folder's files through the file
// search; removing with DeleteFile, which a file held open refuses. Names
// go through the wide functions, so any name is found and removed.
#include "app/prune.h"

#include "base/fileutil.h"
#include "base/log.h"
#include "base/paths.h"
#include "base/utf8.h"
#include "cache/leftover.h"
#include "runtime/line.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

// The names of the files (not folders) in folder, which ends in "\"; a
// folder that is not there has none. False when the folder could not be
// listed whole or memory ran out.
static bool list_files(const char* folder, StringList* files)
{
    char pattern[MAX_PATH];
    int needed = snprintf(pattern, sizeof pattern, "%s*", folder);
    if (needed < 0 || needed >= static_cast<int>(sizeof pattern))
        return false;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(utf8_widen(pattern).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_FILE_NOT_FOUND || GetLastError() == ERROR_PATH_NOT_FOUND;
    bool listed = true;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            listed = string_list_add(utf8_narrow(found.cFileName).c_str(), files) != 0;
    } while (listed && FindNextFileW(search, &found));
    listed = listed && GetLastError() == ERROR_NO_MORE_FILES;
    FindClose(search);
    return listed;
}

// Reads the descriptor named name in the sites folder into *descriptor;
// null, or why it cannot be read or parsed.
static const char* load_site_descriptor(const char* name, Descriptor* descriptor)
{
    char path[MAX_PATH];
    int needed = snprintf(path, sizeof path, "%s%s", sites_folder, name);
    if (needed < 0 || needed >= static_cast<int>(sizeof path))
        return DESCRIPTOR_ERROR_LOADING;
    return descriptor_load(path, descriptor);
}

// Adds the names of every descriptor of the site in the sites folder;
// false when the folder could not be listed whole or memory ran out.
static bool add_sites_folder(const char* site_codebase, StringList* names)
{
    StringList files = {nullptr, 0};
    bool whole = list_files(sites_folder, &files);
    for (int i = 0; whole && i < files.count; i++) {
        Descriptor descriptor;
        const char* problem = load_site_descriptor(files.items[i], &descriptor);
        if (problem) {
            log_line("sites folder: %s protects no file: %s", files.items[i], problem);
            continue;
        }
        whole = prune_names_add(&descriptor, site_codebase, names) >= 0;
        descriptor_free(&descriptor);
    }
    string_list_free(&files);
    return whole;
}

static void remove_unnamed(const char* site_cache_folder, const StringList* names,
                           const StringList* files)
{
    for (int i = 0; i < files->count; i++) {
        const char* name = files->items[i];
        if (prune_names_hold(names, name) || leftover_is_temp_name(name))
            continue;
        char path[MAX_PATH];
        int needed = snprintf(path, sizeof path, "%s%s", site_cache_folder, name);
        if (needed < 0 || needed >= static_cast<int>(sizeof path))
            continue;
        if (file_delete(path))
            log_line("removed %s: no descriptor of its site names it", path);
        else
            log_line("kept %s, which no descriptor of its site names: it cannot be removed "
                     "(error %lu, held by a running application?); the next launch tries again",
                     path, GetLastError());
    }
}

// Whether folder, as Windows resolves it, is a folder right below the
// cache root.
static bool below_cache_root(const char* folder)
{
    wchar_t wide[MAX_PATH];
    DWORD length = GetFullPathNameW(utf8_widen(folder).c_str(), MAX_PATH, wide, nullptr);
    if (length == 0 || length >= MAX_PATH)
        return false;
    std::string full = utf8_narrow(wide);
    size_t root = strlen(cache_root);
    if (_strnicmp(full.c_str(), cache_root, root) != 0)
        return false;
    size_t end = full.find('\\', root);
    return end != std::string::npos && end > root && end + 1 == full.size();
}

void prune_site_cache_folder(const char* site_cache_folder, const Descriptor* own)
{
    if (!below_cache_root(site_cache_folder)) {
        log_line("%s: nothing removed: no folder of its own below %s", site_cache_folder,
                 cache_root);
        return;
    }
    StringList names = {nullptr, 0};
    StringList files = {nullptr, 0};
    // A list cut short would remove what is needed.
    if (prune_names_add(own, own->codebase, &names) >= 0 &&
        add_sites_folder(own->codebase, &names) && list_files(site_cache_folder, &files))
        remove_unnamed(site_cache_folder, &names, &files);
    else
        log_line("%s: nothing removed: the folders could not be listed whole (error %lu) or "
                 "memory ran out", site_cache_folder, GetLastError());
    string_list_free(&files);
    string_list_free(&names);
}

// The lines that own and the descriptors in the sites folder name; false
// when the folder could not be listed whole or memory ran out.
static bool add_named_lines(const Descriptor* own, StringList* lines)
{
    StringList files = {nullptr, 0};
    bool whole = prune_lines_add(own, lines) && list_files(sites_folder, &files);
    for (int i = 0; whole && i < files.count; i++) {
        Descriptor descriptor;
        if (load_site_descriptor(files.items[i], &descriptor))
            continue;
        whole = prune_lines_add(&descriptor, lines) != 0;
        descriptor_free(&descriptor);
    }
    string_list_free(&files);
    return whole;
}

void prune_runtime_lines(const Descriptor* own)
{
    StringList lines = {nullptr, 0};
    if (add_named_lines(own, &lines))
        line_remove_unused(lines.items, lines.count);
    else
        log_line("runtime: no line folder removed: the sites folder could not be listed whole "
                 "(error %lu) or memory ran out", GetLastError());
    string_list_free(&lines);
}
