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
#include <vector>

// The names of the files in folder, which ends in "\", as a list.
static bool list_files(const char* folder, StringList* files)
{
    std::vector<std::string> names;
    if (!file_list_names(folder, false, &names))
        return false;
    for (const std::string& name : names)
        if (!string_list_add(name.c_str(), files))
            return false;
    return true;
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
    if (prune_names_add(own, &names) >= 0 && list_files(site_cache_folder, &files))
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
