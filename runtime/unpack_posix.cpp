#include "runtime/unpack_os.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

#include <cstdio>
#include <cstring>

namespace {

enum { PATH_SIZE = 260 };

// Removes one entry that a listing of folder found: a folder with all it
// holds; unless folders_only, a file or a link as itself.
void remove_found(const char* folder, const char* name, bool folders_only)
{
    if (strcmp(name, ".") == 0 || strcmp(name, "..") == 0)
        return;
    char path[PATH_SIZE];
    int needed = snprintf(path, sizeof path, "%s%s", folder, name);
    struct stat status;
    if (needed < 0 || needed >= static_cast<int>(sizeof path) || lstat(path, &status) != 0)
        return;
    if (S_ISDIR(status.st_mode))
        unpack_remove_tree(path);
    else if (!folders_only)
        unlink(path);
}

// Removes every entry in folder (which ends in "/") whose name begins with
// prefix; with folders_only, only folders.
void remove_matching(const char* folder, const char* prefix, bool folders_only)
{
    DIR* listing = opendir(folder);
    if (!listing)
        return;
    while (const dirent* entry = readdir(listing)) {
        if (strncmp(entry->d_name, prefix, strlen(prefix)) == 0)
            remove_found(folder, entry->d_name, folders_only);
    }
    closedir(listing);
}

} // namespace

void unpack_make_folder(const char* path)
{
    mkdir(path, 0777);
}

void unpack_set_file_times(const char* path, time_t when)
{
    struct utimbuf times;
    times.actime = when;
    times.modtime = when;
    utime(path, &times);
}

int unpack_replace_file(const char* from, const char* to)
{
    return rename(from, to) == 0 ? 1 : 0;
}

unsigned long unpack_process_id()
{
    return static_cast<unsigned long>(getpid());
}

int unpack_folder_exists(const char* path)
{
    struct stat status;
    return stat(path, &status) == 0 && S_ISDIR(status.st_mode) ? 1 : 0;
}

int unpack_rename_folder(const char* from, const char* to)
{
    return rename(from, to) == 0 ? 1 : 0;
}

void unpack_remove_tree(const char* path)
{
    char folder[PATH_SIZE];
    int needed = snprintf(folder, sizeof folder, "%s/", path);
    if (needed >= 0 && needed < static_cast<int>(sizeof folder))
        remove_matching(folder, "", false);
    rmdir(path);
}

void unpack_remove_folders(const char* folder, const char* prefix)
{
    remove_matching(folder, prefix, true);
}
