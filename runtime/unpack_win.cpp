#include "runtime/unpack_os.h"

#include <windows.h>

#include <direct.h>
#include <sys/utime.h>

#include <cstdio>
#include <cstring>

namespace {

enum { PATH_SIZE = MAX_PATH };

// Removes one entry that a search in folder found: a folder with all it
// holds; unless folders_only, a file (even a read-only one) or a link as
// itself, never what it points to.
void remove_found(const char* folder, const WIN32_FIND_DATAA& found, bool folders_only)
{
    if (strcmp(found.cFileName, ".") == 0 || strcmp(found.cFileName, "..") == 0)
        return;
    DWORD attributes = found.dwFileAttributes;
    bool is_link = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    bool is_folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (folders_only && (!is_folder || is_link))
        return;
    char path[PATH_SIZE];
    int needed = snprintf(path, sizeof path, "%s%s", folder, found.cFileName);
    if (needed < 0 || needed >= static_cast<int>(sizeof path))
        return;
    if (is_folder && !is_link) {
        unpack_remove_tree(path);
        return;
    }
    if (attributes & FILE_ATTRIBUTE_READONLY)
        SetFileAttributesA(path, attributes & ~FILE_ATTRIBUTE_READONLY);
    if (is_folder)
        RemoveDirectoryA(path);
    else
        DeleteFileA(path);
}

// Removes every entry in folder (which ends in "\") whose name begins with
// prefix; with folders_only, only folders.
void remove_matching(const char* folder, const char* prefix, bool folders_only)
{
    char search_path[PATH_SIZE];
    int needed = snprintf(search_path, sizeof search_path, "%s%s*", folder, prefix);
    if (needed < 0 || needed >= static_cast<int>(sizeof search_path))
        return;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(search_path, &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        // A search also matches short names: the long name must match too.
        if (strncmp(found.cFileName, prefix, strlen(prefix)) == 0)
            remove_found(folder, found, folders_only);
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

} // namespace

void unpack_make_folder(const char* path)
{
    _mkdir(path);
}

void unpack_set_file_times(const char* path, time_t when)
{
    struct _utimbuf times;
    times.actime = when;
    times.modtime = when;
    _utime(path, &times);
}

int unpack_replace_file(const char* from, const char* to)
{
    // rename() on Windows refuses an existing target.
    return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING) ? 1 : 0;
}

unsigned long unpack_process_id()
{
    return GetCurrentProcessId();
}

int unpack_folder_exists(const char* path)
{
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) ? 1 : 0;
}

int unpack_rename_folder(const char* from, const char* to)
{
    // Windows refuses while a program runs from below from, or anything
    // holds from or a folder in it open without sharing deletion.
    return MoveFileExA(from, to, 0) ? 1 : 0;
}

void unpack_remove_tree(const char* path)
{
    char folder[PATH_SIZE];
    int needed = snprintf(folder, sizeof folder, "%s\\", path);
    if (needed >= 0 && needed < static_cast<int>(sizeof folder))
        remove_matching(folder, "", false);
    RemoveDirectoryA(path);
}

void unpack_remove_folders(const char* folder, const char* prefix)
{
    remove_matching(folder, prefix, true);
}
