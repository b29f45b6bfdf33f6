// The modification time the download's cache rule reads from a local copy.
#pragma once

#include "cache/cachefile.h"

#include <cstdint>
#include <string>

// Seconds since 1970 (UTC), or -1 when the file cannot be read.
inline int64_t modified(const std::string& path)
{
    int64_t time = -1;
    cache_file_time(path.c_str(), &time);
    return time;
}
