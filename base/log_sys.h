// Internal to the launch log: the primitives whose platform forms differ
// (log_win.cpp with CreateFileA's append access, log_posix.cpp with
// O_APPEND). One log per process, opened before other threads log.
#pragma once

#include "base/log.h"

#include <cstddef>

// Renames path to older, replacing it, when path is larger than limit bytes.
void log_sys_turn_over(const char* path, const char* older, long long limit);

void log_sys_open(const char* path);
bool log_sys_is_open(void);
// One write of the whole line at the file's end; its result is not examined.
void log_sys_write(const char* line, size_t length);
void log_sys_close(void);

void log_sys_now(LogTime* now);
unsigned long log_sys_process_id(void);
