// The launch log's file on Windows: opened with append access alone, so
// every write lands at the file's end, and each line written under a
// mutex, so that lines of launches writing at once stay whole; shared for
// reading, writing and deleting, so another launch may append or turn the
// log over meanwhile.
#include "base/log_sys.h"

#include <windows.h>

static HANDLE log_file = INVALID_HANDLE_VALUE;
// Wine makes an append-only write two steps (find the end, write there), so
// launches writing at once could write over each other's lines: each line
// is written under this mutex, which Windows' own appends do not need.
static HANDLE write_lock = nullptr;

// A launch waits this long at most for another's line: the log is a
// witness, never a reason to wait.
static const DWORD WRITE_WAIT_MS = 1000;

// A waiting launch gives up on the turn over after this long: the log is
// a witness, never a reason to wait.
static const DWORD TURN_OVER_WAIT_MS = 5000;

static bool larger_than(const char* path, long long limit)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data))
        return false;
    return ((static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow) > limit;
}

void log_sys_turn_over(const char* path, const char* older, long long limit)
{
    if (!larger_than(path, limit))
        return;
    // Launches that start at once may both find the old log: the one that
    // turns it over holds the mutex, the other then finds the new log small.
    HANDLE lock = CreateMutexA(nullptr, FALSE, "Local\\quorvel-log");
    DWORD waited = lock ? WaitForSingleObject(lock, TURN_OVER_WAIT_MS) : WAIT_FAILED;
    bool held = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
    if (held && larger_than(path, limit))
        MoveFileExA(path, older, MOVEFILE_REPLACE_EXISTING);
    if (held)
        ReleaseMutex(lock);
    if (lock)
        CloseHandle(lock);
}

void log_sys_open(const char* path)
{
    log_file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE |
                           FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    if (log_file != INVALID_HANDLE_VALUE && !write_lock)
        write_lock = CreateMutexA(nullptr, FALSE, "Local\\quorvel-log-write");
}

bool log_sys_is_open(void)
{
    return log_file != INVALID_HANDLE_VALUE;
}

void log_sys_write(const char* line, size_t length)
{
    DWORD waited = write_lock ? WaitForSingleObject(write_lock, WRITE_WAIT_MS) : WAIT_FAILED;
    DWORD written = 0;
    WriteFile(log_file, line, static_cast<DWORD>(length), &written, nullptr);
    if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED)
        ReleaseMutex(write_lock);
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
