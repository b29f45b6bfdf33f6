// The Windows-only file utilities: folder creation and the hidden process start.
#include "base/fileutil.h"

#include <windows.h>

#include <cstring>

void make_folder_chain(const char* path)
{
    char prefix[FILEUTIL_PATH_SIZE];
    memset(prefix, 0, sizeof prefix);
    for (const char* slash = strchr(path, '\\'); slash; slash = strchr(slash + 1, '\\')) {
        size_t length = static_cast<size_t>(slash - path) + 1;
        if (length >= sizeof prefix)
            return;
        // Each prefix is longer than the one before, so the cleared bytes
        // behind it terminate it.
        memcpy(prefix, path, length);
        // Fails for the drive root and for folders that exist: both fine.
        CreateDirectoryA(prefix, nullptr);
    }
}

void run_hidden(char* command_line)
{
    STARTUPINFOA startup;
    PROCESS_INFORMATION process;
    memset(&startup, 0, sizeof startup);
    memset(&process, 0, sizeof process);
    startup.cb = sizeof startup;
    if (!CreateProcessA(nullptr, command_line, nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                        nullptr, nullptr, &startup, &process))
        return;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}
