// Finding the temporary download files whose writer is gone, through the
// file search and the process API.
#include "cache/leftover.h"

#include "base/fileutil.h"
#include "base/utf8.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

// The process id in a temporary file's name, into *process_id: true when
// name is "download-<decimal id>.part" with an id of 32 bits.
bool process_id_of(const char* name, unsigned long* process_id)
{
    static const char prefix[] = "download-";
    static const char suffix[] = ".part";
    if (strncmp(name, prefix, sizeof prefix - 1) != 0)
        return false;
    const char* digits = name + sizeof prefix - 1;
    size_t count = strspn(digits, "0123456789");
    if (count == 0 || strcmp(digits + count, suffix) != 0)
        return false;
    unsigned long long id = 0;
    for (size_t i = 0; i < count; i++) {
        id = id * 10 + static_cast<unsigned long long>(digits[i] - '0');
        if (id > 0xFFFFFFFFull)
            return false;
    }
    *process_id = static_cast<unsigned long>(id);
    return true;
}

// True when no running process can be the one that wrote a file last
// changed at written.
bool writer_is_gone(unsigned long process_id, const FILETIME& written)
{
    HANDLE process =
        OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, process_id);
    // A process that is not ours to ask still runs; it may be writing.
    if (!process)
        return GetLastError() != ERROR_ACCESS_DENIED;
    FILETIME created, exited, kernel, user;
    bool gone = WaitForSingleObject(process, 0) == WAIT_OBJECT_0 ||
                (GetProcessTimes(process, &created, &exited, &kernel, &user) &&
                 CompareFileTime(&created, &written) > 0);
    CloseHandle(process);
    return gone;
}

// The later of the file's creation and last write: a writer started before
// both.
FILETIME last_touched(const WIN32_FIND_DATAW& found)
{
    return CompareFileTime(&found.ftCreationTime, &found.ftLastWriteTime) > 0
               ? found.ftCreationTime
               : found.ftLastWriteTime;
}

} // namespace

int leftover_is_temp_name(const char* name)
{
    unsigned long process_id = 0;
    return process_id_of(name, &process_id);
}

void leftover_remove_stale(const char* folder)
{
    char pattern[MAX_PATH];
    int needed = snprintf(pattern, sizeof pattern, "%sdownload-*.part", folder);
    if (needed < 0 || needed >= static_cast<int>(sizeof pattern))
        return;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(utf8_widen(pattern).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        unsigned long process_id = 0;
        std::string name = utf8_narrow(found.cFileName);
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
            !process_id_of(name.c_str(), &process_id) ||
            !writer_is_gone(process_id, last_touched(found)))
            continue;
        char path[MAX_PATH];
        needed = snprintf(path, sizeof path, "%s%s", folder, name.c_str());
        if (needed >= 0 && needed < static_cast<int>(sizeof path))
            file_delete(path);
    } while (FindNextFileW(search, &found));
    FindClose(search);
}
