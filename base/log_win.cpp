// The launch log's file on Windows: opened with append access alone, which
// makes every write land whole at the file's end even when other launches
// write at the same time; shared for reading, writing and deleting, so
// another launch may append or turn the log over meanwhile.
#include "base/log_sys.h"

#include <windows.h>

static HANDLE log_file = INVALID_HANDLE_VALUE;

void log_sys_turn_over(const char* path, const char* older, long long limit)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data))
        return;
    long long size = (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    if (size > limit)
        MoveFileExA(path, older, MOVEFILE_REPLACE_EXISTING);
}

void log_sys_open(const char* path)
{
    log_file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE |
                           FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
}

bool log_sys_is_open(void)
{
    return log_file != INVALID_HANDLE_VALUE;
}

void log_sys_write(const char* line, size_t length)
{
    DWORD written = 0;
    WriteFile(log_file, line, static_cast<DWORD>(length), &written, nullptr);
}

void log_sys_close(void)
{
    if (log_file != INVALID_HANDLE_VALUE)
        CloseHandle(log_file);
    log_file = INVALID_HANDLE_VALUE;
}

void log_sys_now(LogTime* now)
{
    SYSTEMTIME local;
    GetLocalTime(&local);
    *now = {local.wYear,   local.wMonth,  local.wDay,         local.wHour,
            local.wMinute, local.wSecond, local.wMilliseconds};
}

unsigned long log_sys_process_id(void)
{
    return GetCurrentProcessId();
}
