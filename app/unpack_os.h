// The few file operations unpacking needs that differ between Windows
// (unpack_win.cpp) and POSIX (unpack_posix.cpp). Paths are in the system
// code page.
#pragma once

#include <ctime>

// Makes the one folder path names (its parent must exist); failure, an
// existing folder included, is not reported.
void unpack_make_folder(const char* path);

// Sets the file's access and modification times to when; failure is not
// reported.
void unpack_set_file_times(const char* path, time_t when);

// Renames from to to, replacing a file named to. 1 on success, else 0 (to's
// folder missing, to in use or a folder); then both files are as they were.
int unpack_replace_file(const char* from, const char* to);

// The running process's id, to keep temporary names of concurrent runs apart.
unsigned long unpack_process_id();
