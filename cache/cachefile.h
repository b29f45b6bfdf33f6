// Internal to the cached download: its file operations whose platform forms
// differ (cachefile_win.cpp with the C runtime's _wstat64i32, _gmtime64,
// _wutime64 and MoveFileExW of UTF-8 paths; cachefile_posix.cpp with stat,
// gmtime_r, utime and rename).
#pragma once

#include <cstddef>
#include <cstdint>

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

// This process's id, which keeps the temporary files of launchers running
// at once apart.
unsigned long cache_file_process_id(void);
