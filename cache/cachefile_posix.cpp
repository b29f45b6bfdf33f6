// The cached download's file operations over POSIX.
#include "cache/cachefile.h"

#include <cstdio>
#include <ctime>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

int cache_file_time(const char* path, int64_t* time)
{
    struct stat status;
    if (stat(path, &status) == -1)
        return 0;
    *time = static_cast<int64_t>(status.st_mtime);
    return 1;
}

int cache_file_set_time(const char* path, int64_t time)
{
    struct utimbuf times = {static_cast<time_t>(time), static_cast<time_t>(time)};
    return utime(path, &times) == 0;
}

int cache_file_http_date(int64_t time, char* out, size_t size)
{
    time_t value = static_cast<time_t>(time);
    struct tm utc;
    if (!gmtime_r(&value, &utc))
        return 0;
    return strftime(out, size, "%a, %d %b %Y %H:%M:%S GMT", &utc) != 0;
}

int cache_file_replace(const char* from, const char* to)
{
    return rename(from, to) == 0;
}

unsigned long cache_file_process_id(void)
{
    return static_cast<unsigned long>(getpid());
}
