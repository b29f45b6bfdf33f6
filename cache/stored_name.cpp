#include "cache/stored_name.h"

#include "cache/download.h"

#include <cstring>

const char* stored_name_of(const char* url)
{
    const char* slash = strrchr(url, '/');
    return slash ? slash + 1 : nullptr;
}

int stored_name_acceptable(const char* name)
{
    size_t length = strlen(name);
    if (length == 0 || length >= DOWNLOAD_NAME_SIZE || strcmp(name, ".") == 0 ||
        strcmp(name, "..") == 0)
        return 0;
    for (const char* c = name; *c; c++) {
        if (static_cast<unsigned char>(*c) < 32 || strchr("<>:\"/\\|?*", *c))
            return 0;
    }
    return 1;
}
