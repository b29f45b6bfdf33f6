#include "runtime/java_start.h"

#include "base/fileutil.h"
#include "base/log.h"

#include <windows.h>

#include <cstdio>

bool java_start_hidden(const char* java, const char* command, char* message, size_t size)
{
    DWORD attributes = file_attributes(java);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
        snprintf(message, size, "Error starting Java: %s is missing", java);
    else if (run_hidden(command))
        return true;
    else
        snprintf(message, size, "Error starting Java: %s cannot be started (error %lu)", java,
                 GetLastError());
    log_line("Java not started: %s", message);
    return false;
}
