#include "app/unpack_os.h"

#include <windows.h>

#include <direct.h>
#include <sys/utime.h>

void unpack_make_folder(const char* path)
{
    _mkdir(path);
}

void unpack_set_file_times(const char* path, time_t when)
{
    struct _utimbuf times;
    times.actime = when;
    times.modtime = when;
    _utime(path, &times);
}

int unpack_replace_file(const char* from, const char* to)
{
    // rename() on Windows refuses an existing target.
    return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING) ? 1 : 0;
}

unsigned long unpack_process_id()
{
    return GetCurrentProcessId();
}
