// The Windows-only file utilities: folder creation, the hidden process
// start and the file calls, each through the wide functions.
#include "base/fileutil.h"

#include "base/utf8.h"

#include <windows.h>

#include <cstring>
#include <string>

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
        CreateDirectoryW(utf8_widen(prefix).c_str(), nullptr);
    }
}

FILE* file_open(const char* path, const char* mode)
{
    return _wfopen(utf8_widen(path).c_str(), utf8_widen(mode).c_str());
}

bool run_hidden(const char* command_line)
{
    // CreateProcessW may write into the command line it is given.
    std::wstring line = utf8_widen(command_line);
    STARTUPINFOW startup;
    PROCESS_INFORMATION process;
    memset(&startup, 0, sizeof startup);
    memset(&process, 0, sizeof process);
    startup.cb = sizeof startup;
    if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                        nullptr, &startup, &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

bool file_copy(const char* from, const char* to)
{
    return CopyFileW(utf8_widen(from).c_str(), utf8_widen(to).c_str(), FALSE) != 0;
}

bool file_move(const char* from, const char* to, unsigned long flags)
{
    return MoveFileExW(utf8_widen(from).c_str(), to ? utf8_widen(to).c_str() : nullptr, flags) != 0;
}

bool file_delete(const char* path)
{
    return DeleteFileW(utf8_widen(path).c_str()) != 0;
}

unsigned long file_attributes(const char* path)
{
    return GetFileAttributesW(utf8_widen(path).c_str());
}

bool file_list_names(const char* folder, bool folders, std::vector<std::string>* names)
{
    std::string pattern = std::string(folder) + "*";
    if (pattern.size() >= FILEUTIL_PATH_SIZE)
        return false;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(utf8_widen(pattern.c_str()).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_FILE_NOT_FOUND || GetLastError() == ERROR_PATH_NOT_FOUND;
    do {
        std::string name = utf8_narrow(found.cFileName);
        bool folder_found = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (folder_found == folders && name != "." && name != "..")
            names->push_back(name);
    } while (FindNextFileW(search, &found));
    bool listed = GetLastError() == ERROR_NO_MORE_FILES;
    FindClose(search);
    return listed;
}
