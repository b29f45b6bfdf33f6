// The cache's file operations whose platform forms differ
// (cachefile_win.cpp with the C runtime's _wstat64i32, _gmtime64,
// _wutime64 and the kernel's MoveFileExW and FlushFileBuffers, of UTF-8
// paths; cachefile_posix.cpp with stat, gmtime_r, utime, rename and fsync).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

// 1 with the modification time (seconds since 1970, UTC) when path's status
// can be read, else 0.
int cache_file_time(const char* path, int64_t* time);

// Sets path's modification (and access) time. 1 or 0.
int cache_file_set_time(const char* path, int64_t time);

// Formats time as an HTTP date, "Mon, 07 Dec 2026 11:38:43 GMT" (English
// names whatever the locale), into out. 1, or 0 when the time cannot be
// converted or does not fit.
int cache_file_http_date(int64_t time, char* out, size_t size);

// Replaces to with from in one step (the old to is gone only when the new
// one is in place). 1, or 0 with both files as they were.
int cache_file_replace(const char* from, const char* to);

// 1 with the size and modification time when path is a file whose status
// can be read, else 0.
int cache_file_status(const char* path, int64_t* size, int64_t* time);

// 1 when path names a file (not a folder).
int cache_file_exists(const char* path);

// Moves the file from to to, replacing a file there, and has the move on
// disk before it returns. 0 when it cannot be moved (a program holds from
// or to open without sharing delete, say), both then as they were.
int cache_file_move(const char* from, const char* to);

// Removes the file; 1 when it is gone, also when it was not there.
int cache_file_remove(const char* path);

// Writes size bytes to path whole or not at all: into path with ".new"
// appended, flushed to disk, then moved over path. 1, or 0 with path as it
// was (and no ".new" file left).
int cache_file_write_whole(const char* path, const char* data, size_t size);

// Has what was written to file reach the disk (fflush, then
// FlushFileBuffers or fsync). 1 or 0.
int cache_file_flush(FILE* file);

// Makes folder (ending in the separator) and every folder above it.
void cache_file_make_folders(const char* folder);

// This process's id, which keeps the temporary files of launchers running
// at once apart.
unsigned long cache_file_process_id(void);
