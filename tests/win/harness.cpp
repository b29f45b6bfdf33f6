#include "tests/win/harness.h"

#include "base/utf8.h"

#include <tlhelp32.h>

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

RunResult harness_run(const std::string& command_line, DWORD timeout_ms,
                      const std::string& output)
{
    RunResult result = {false, false, 0, 0};
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    HANDLE file = INVALID_HANDLE_VALUE;
    if (!output.empty()) {
        SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
        file = CreateFileA(output.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           &inherited, CREATE_ALWAYS, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return result;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = file;
        startup.hStdError = file;
    }
    PROCESS_INFORMATION process = {};
    std::wstring line = utf8_widen(command_line.c_str());
    BOOL started = CreateProcessW(nullptr, &line[0], nullptr, nullptr, file != INVALID_HANDLE_VALUE,
                                  0, nullptr, nullptr, &startup, &process);
    if (!started)
        result.start_error = GetLastError();
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    if (!started)
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

namespace {

// True when path lies below folder (which has no final separator).
bool below(const std::string& path, const std::string& folder)
{
    return path.size() > folder.size() && path[folder.size()] == '\\' &&
           _strnicmp(path.c_str(), folder.c_str(), folder.size()) == 0;
}

} // namespace

void harness_wait_for_programs_below(const std::string& folder)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return;
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more;
         more = Process32Next(snapshot, &entry)) {
        HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE,
                                     entry.th32ProcessID);
        if (!process)
            continue;
        char path[MAX_PATH] = "";
        DWORD size = sizeof path;
        if (QueryFullProcessImageNameA(process, 0, path, &size) && below(path, folder))
            WaitForSingleObject(process, 60000);
        CloseHandle(process);
    }
    CloseHandle(snapshot);
}

bool harness_remove_tree(const std::string& folder)
{
    harness_wait_for_programs_below(folder);
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    return GetFileAttributesA(folder.c_str()) == INVALID_FILE_ATTRIBUTES;
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
