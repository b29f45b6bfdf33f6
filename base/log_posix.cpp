// The launch log's file natively: O_APPEND makes every write land whole at
// the file's end.
#include "base/log_sys.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>

static int log_file = -1;

void log_sys_turn_over(const char* path, const char* older, long long limit)
{
    struct stat status;
    if (stat(path, &status) == 0 && status.st_size > limit)
        rename(path, older);
}

void log_sys_open(const char* path)
{
    log_file = open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
}

bool log_sys_is_open(void)
{
    return log_file != -1;
}

void log_sys_write(const char* line, size_t length)
{
    ssize_t written = write(log_file, line, length);
    (void)written;
}

void log_sys_close(void)
{
    if (log_file != -1)
        close(log_file);
    log_file = -1;
}

void log_sys_now(LogTime* now)
{
    struct timeval clock;
    gettimeofday(&clock, nullptr);
    struct tm local;
    localtime_r(&clock.tv_sec, &local);
    *now = {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
            local.tm_min,         local.tm_sec,     static_cast<int>(clock.tv_usec / 1000)};
}

unsigned long log_sys_process_id(void)
{
    return static_cast<unsigned long>(getpid());
}
