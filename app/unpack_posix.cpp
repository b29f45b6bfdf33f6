#include "app/unpack_os.h"

#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

#include <cstdio>

void unpack_make_folder(const char* path)
{
    mkdir(path, 0777);
}

void unpack_set_file_times(const char* path, time_t when)
{
    struct utimbuf times;
    times.actime = when;
    times.modtime = when;
    utime(path, &times);
}

int unpack_replace_file(const char* from, const char* to)
{
    return rename(from, to) == 0 ? 1 : 0;
}

unsigned long unpack_process_id()
{
    return static_cast<unsigned long>(getpid());
}
