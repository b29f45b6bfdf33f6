// The cached download's file operations over the Windows C runtime and
// kernel, with UTF-8 paths through their wide forms.
#include "cache/cachefile.h"

#include "base/fileutil.h"
#include "base/utf8.h"

#include <windows.h>

#include <sys/stat.h>
#include <sys/utime.h>
#include <time.h>

int cache_file_time(const char* path, int64_t* time)
{
    struct _stat64i32 status;
    if (_wstat64i32(utf8_widen(path).c_str(), &status) == -1)
        return 0;
    *time = status.st_mtime;
    return 1;
}

int cache_file_set_time(const char* path, int64_t time)
{
    struct __utimbuf64 times = {time, time};
    return _wutime64(utf8_widen(path).c_str(), &times) == 0;
}

int cache_file_http_date(int64_t time, char* out, size_t size)
{
    __time64_t value = time;
    struct tm* utc = _gmtime64(&value);
    if (!utc)
        return 0;
    return strftime(out, size, "%a, %d %b %Y %H:%M:%S GMT", utc) != 0;
}

int cache_file_replace(const char* from, const char* to)
{
    return file_move(from, to, MOVEFILE_REPLACE_EXISTING);
}

unsigned long cache_file_process_id(void)
{
    return GetCurrentProcessId();
}
