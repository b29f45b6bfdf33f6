// The cached download's file operations over POSIX.
#include "cache/cachefile.h"

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <string>
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

int cache_file_status(const char* path, int64_t* size, int64_t* time)
{
    struct stat status;
    if (stat(path, &status) == -1 || !S_ISREG(status.st_mode))
        return 0;
    *size = static_cast<int64_t>(status.st_size);
    *time = static_cast<int64_t>(status.st_mtime);
    return 1;
}

int cache_file_exists(const char* path)
{
    struct stat status;
    return stat(path, &status) == 0 && S_ISREG(status.st_mode);
}

int cache_file_move(const char* from, const char* to)
{
    return rename(from, to) == 0;
}

int cache_file_remove(const char* path)
{
    return unlink(path) == 0 || errno == ENOENT;
}

int cache_file_write_whole(const char* path, const char* data, size_t size)
{
    std::string temporary = std::string(path) + ".new";
    int file = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (file < 0)
        return 0;
    bool whole = write(file, data, size) == static_cast<ssize_t>(size) && fsync(file) == 0;
    close(file);
    if (whole && rename(temporary.c_str(), path) == 0)
        return 1;
    unlink(temporary.c_str());
    return 0;
}

void cache_file_make_folders(const char* folder)
{
    std::string path = folder;
    for (size_t at = path.find('/', 1); at != std::string::npos; at = path.find('/', at + 1))
        mkdir(path.substr(0, at).c_str(), 0755);
}

int cache_file_flush(FILE* file)
{
    return fflush(file) == 0 && fsync(fileno(file)) == 0 ? 1 : 0;
}
