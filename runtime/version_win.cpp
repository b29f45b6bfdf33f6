// Reading an executable's fixed file version through the version API.
#include "runtime/version.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>

int query_file_version(const char* path, char* out, size_t size)
{
    if (size == 0)
        return 0;
    DWORD handle = 0;
    DWORD info_size = GetFileVersionInfoSizeA(path, &handle);
    if (info_size == 0)
        return 0;
    void* info = malloc(info_size);
    if (!info)
        return 0;
    int result = 0;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT fixed_size = 0;
    if (GetFileVersionInfoA(path, handle, info_size, info) &&
        VerQueryValueA(info, "\\", reinterpret_cast<void**>(&fixed), &fixed_size) && fixed) {
        snprintf(out, size, "%u.%u.%u.%u",
                 static_cast<unsigned>(HIWORD(fixed->dwFileVersionMS)),
                 static_cast<unsigned>(LOWORD(fixed->dwFileVersionMS)),
                 static_cast<unsigned>(HIWORD(fixed->dwFileVersionLS)),
                 static_cast<unsigned>(LOWORD(fixed->dwFileVersionLS)));
        result = 1;
    }
    free(info);
    return result;
}
