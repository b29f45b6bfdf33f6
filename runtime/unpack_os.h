// The few file operations unpacking needs that differ between Windows
// (unpack_win.cpp) and POSIX (unpack_posix.cpp). Paths are in the system
// code page.
#pragma once

#include <ctime>

// Makes the one folder path names (its parent must exist); failure, an
// existing folder included, is not reported.
void unpack_make_folder(const char* path);

// 1 when path names a folder, else 0.
int unpack_folder_exists(const char* path);

// Renames the folder from to to, which must not exist. 1 on success, else 0
// (from missing or in use); then nothing changed.
int unpack_rename_folder(const char* from, const char* to);

// Removes the folder path (no final separator) with everything below it, as
// far as it can: what is in use stays. A link is removed, never followed.
void unpack_remove_tree(const char* path);

// Removes, as unpack_remove_tree does, every folder directly in folder
// (which ends in its separator) whose name begins with prefix.
void unpack_remove_folders(const char* folder, const char* prefix);

// Sets the file's access and modification times to when; failure is not
// reported.
void unpack_set_file_times(const char* path, time_t when);

// Renames from to to, replacing a file named to. 1 on success, else 0 (to's
// folder missing, to in use or a folder); then both files are as they were.
int unpack_replace_file(const char* from, const char* to);

// The running process's id, to keep temporary names of concurrent runs apart.
unsigned long unpack_process_id();
