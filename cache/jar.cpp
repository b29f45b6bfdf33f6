#include "cache/jar.h"

#include <unzip.h>

#include <cctype>
#include <cstring>

int jar_named(const char* name)
{
    size_t length = strlen(name);
    if (length < 4)
        return 0;
    const char* end = name + length - 4;
    return end[0] == '.' && tolower(static_cast<unsigned char>(end[1])) == 'j' &&
           tolower(static_cast<unsigned char>(end[2])) == 'a' &&
           tolower(static_cast<unsigned char>(end[3])) == 'r';
}

int jar_readable(const char* path)
{
    unzFile zip = unzOpen64(path);
    if (!zip)
        return 0;
    unz_global_info64 global;
    bool listed = unzGetGlobalInfo64(zip, &global) == UNZ_OK;
    // Each entry's header in the central directory is read in turn; the
    // last step must find the directory's end where it said.
    for (ZPOS64_T i = 0; listed && i < global.number_entry; i++) {
        unz_file_info64 info;
        int moved = i == 0 ? unzGoToFirstFile(zip) : unzGoToNextFile(zip);
        listed = moved == UNZ_OK &&
                 unzGetCurrentFileInfo64(zip, &info, nullptr, 0, nullptr, 0, nullptr, 0) == UNZ_OK;
    }
    listed = listed && (global.number_entry == 0 || unzGoToNextFile(zip) == UNZ_END_OF_LIST_OF_FILE);
    unzClose(zip);
    return listed;
}
