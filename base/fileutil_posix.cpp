// The POSIX file call: names are UTF-8 bytes already.
#include "base/fileutil.h"

FILE* file_open(const char* path, const char* mode)
{
    return fopen(path, mode);
}
