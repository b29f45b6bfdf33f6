#include "tests/win/harness.h"

#include <filesystem>

std::string harness_program_folder()
{
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    if (length == 0 || length >= sizeof path)
        return "";
    std::string folder(path, length);
    return folder.substr(0, folder.find_last_of('\\') + 1);
}

RunResult harness_run(const std::string& command_line, DWORD timeout_ms)
{
    RunResult result = {false, false, 0};
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    std::string line = command_line;
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        return result;
    result.started = true;
    CloseHandle(process.hThread);
    if (WaitForSingleObject(process.hProcess, timeout_ms) == WAIT_OBJECT_0) {
        result.finished = true;
        GetExitCodeProcess(process.hProcess, &result.exit_code);
    } else {
        TerminateProcess(process.hProcess, 1);
        WaitForSingleObject(process.hProcess, INFINITE);
    }
    CloseHandle(process.hProcess);
    return result;
}

void harness_remove_tree(const std::string& folder)
{
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
}

bool harness_folder_exists(const std::string& path)
{
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void harness_make_folders(const std::string& path)
{
    std::error_code ignored;
    std::filesystem::create_directories(path, ignored);
}
