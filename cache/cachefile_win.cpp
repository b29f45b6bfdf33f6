// The cached download's file operations over the Windows C runtime and
// kernel, with UTF-8 paths through their wide forms.
#include "cache/cachefile.h"

#include "base/fileutil.h"
#include "base/utf8.h"

#include <windows.h>

#include <cstdio>
#include <io.h>

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

int cache_file_status(const char* path, int64_t* size, int64_t* time)
{
    struct _stat64 status;
    if (_wstat64(utf8_widen(path).c_str(), &status) == -1 || !(status.st_mode & _S_IFREG))
        return 0;
    *size = status.st_size;
    *time = status.st_mtime;
    return 1;
}

int cache_file_exists(const char* path)
{
    DWORD attributes = file_attributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

int cache_file_move(const char* from, const char* to)
{
    return file_move(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
}

int cache_file_remove(const char* path)
{
    return file_delete(path) || GetLastError() == ERROR_FILE_NOT_FOUND ||
           GetLastError() == ERROR_PATH_NOT_FOUND;
}

int cache_file_write_whole(const char* path, const char* data, size_t size)
{
    char temporary[MAX_PATH];
    int needed = snprintf(temporary, sizeof temporary, "%s.new", path);
    if (needed < 0 || needed >= static_cast<int>(sizeof temporary) || size > MAXDWORD)
        return 0;
    HANDLE file = CreateFileW(utf8_widen(temporary).c_str(), GENERIC_WRITE, 0, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    DWORD written = 0;
    bool whole = WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr) &&
                 written == size && FlushFileBuffers(file);
    CloseHandle(file);
    if (whole && cache_file_move(temporary, path))
        return 1;
    file_delete(temporary);
    return 0;
}

void cache_file_make_folders(const char* folder)
{
    make_folder_chain(folder);
}

int cache_file_flush(FILE* file)
{
    if (fflush(file) != 0)
        return 0;
    HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
    return handle != INVALID_HANDLE_VALUE && FlushFileBuffers(handle) ? 1 : 0;
}
