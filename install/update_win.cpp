#include "install/update.h"

#include "base/fileutil.h"
#include "base/log.h"
#include "base/paths.h"
#include "install/install.h"
#include "install/signature.h"
#include "runtime/version.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

// The installed launcher's name while an update moves it aside.
static const char set_aside_prefix[] = "Launcher-old-";

bool update_needed(const char* member)
{
    char installed[VERSION_TEXT_SIZE] = "";
    char wanted[VERSION_TEXT_SIZE];
    int readable = query_file_version(installed_launcher, installed, sizeof installed);
    component_wanted_version(member, wanted, sizeof wanted);
    bool needed = component_needs_update(readable, wanted, installed) != 0;
    log_line("launcher: wanted %s, installed %s: %s", wanted, readable ? installed : "none",
             needed ? "fetching the build" : "up to date");
    return needed;
}

bool update_build_taken(const char* program)
{
    char reason[SIGNATURE_REASON_SIZE];
    if (signature_check_build(program, reason, sizeof reason) != SIGNATURE_REFUSED) {
        log_line("launcher: %s taken: %s", program, reason);
        return true;
    }
    if (DeleteFileA(program))
        log_line("launcher: %s refused: %s; removed", program, reason);
    else
        log_line("launcher: %s refused: %s; not removed (error %lu)", program, reason,
                 GetLastError());
    return false;
}

// The installed programs' entry, when there is one, names version. The
// build's version is read before it moves in: a program asking for the
// version of its own path (where this one ran from) gets its own.
static void show_installed_version(const char* version)
{
    HKEY key;
    if (!version[0] || RegOpenKeyExA(HKEY_CURRENT_USER, install_uninstall_key, 0, KEY_SET_VALUE,
                                     &key) != ERROR_SUCCESS)
        return;
    if (RegSetValueExA(key, "DisplayVersion", 0, REG_SZ, reinterpret_cast<const BYTE*>(version),
                       static_cast<DWORD>(strlen(version) + 1)) == ERROR_SUCCESS)
        log_line("launcher: the installed programs' entry shows version %s", version);
    RegCloseKey(key);
}

// Where this process moves the installed launcher aside.
static void set_aside_path(char* out, size_t size)
{
    snprintf(out, size, "%s%s%lu.exe", install_root, set_aside_prefix, GetCurrentProcessId());
}

bool update_put_in_place(const char* program)
{
    char version[VERSION_TEXT_SIZE] = "";
    query_file_version(program, version, sizeof version);
    char aside[MAX_PATH];
    set_aside_path(aside, sizeof aside);
    // Only a process of this id that ended long ago can have left this name.
    DeleteFileA(aside);
    bool moved_aside = MoveFileExA(installed_launcher, aside, 0) != 0;
    DWORD error = moved_aside ? ERROR_SUCCESS : GetLastError();
    if (!moved_aside && error != ERROR_FILE_NOT_FOUND) {
        log_line("launcher: %s not put in place: %s cannot be moved aside (error %lu); going on "
                 "with this build", program, installed_launcher, error);
        return false;
    }
    if (!MoveFileExA(program, installed_launcher, 0)) {
        error = GetLastError();
        bool back = !moved_aside || MoveFileExA(aside, installed_launcher, 0);
        log_line("launcher: %s not put in place: it cannot be moved to %s (error %lu); %s",
                 program, installed_launcher, error,
                 back ? "going on with this build" : "this build could not be moved back");
        return false;
    }
    log_line("launcher: %s put in place of %s%s%s", program, installed_launcher,
             moved_aside ? ", which waits as " : "", moved_aside ? aside : "");
    show_installed_version(version);
    return true;
}

// After a relaunch that failed: the build goes back to program, where a
// later launch finds it, and the launcher set aside (this running one)
// takes its place again.
static void take_back(const char* program)
{
    char aside[MAX_PATH];
    set_aside_path(aside, sizeof aside);
    bool moved = file_move(installed_launcher, program, MOVEFILE_REPLACE_EXISTING) &&
                 file_move(aside, installed_launcher, 0);
    log_line("launcher: %s", moved ? "the previous build is back in place"
                                    : "the previous build could not be moved back in place");
}

bool update_hand_over(char* command, const char* shown, const char* program)
{
    MessageBoxA(nullptr, "Quorvel launcher will update and relaunch", "Update",
                MB_ICONINFORMATION);
    log_line("launcher: starting the new build: %s", shown);
    if (run_hidden(command))
        return true;
    DWORD error = GetLastError();
    char message[MAX_PATH + 96];
    snprintf(message, sizeof message,
             "Error starting the updated launcher: %s cannot be started (error %lu)",
             installed_launcher, error);
    log_line("launcher: %s", message);
    take_back(program);
    MessageBoxA(nullptr, message, "Error", MB_ICONERROR);
    return false;
}

void update_remove_set_aside(void)
{
    char pattern[MAX_PATH];
    snprintf(pattern, sizeof pattern, "%s%s*.exe", install_root, set_aside_prefix);
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern, &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        char path[MAX_PATH];
        // A search also matches short names: the long name must match too.
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
            _strnicmp(found.cFileName, set_aside_prefix, strlen(set_aside_prefix)) != 0 ||
            snprintf(path, sizeof path, "%s%s", install_root, found.cFileName) >=
                static_cast<int>(sizeof path))
            continue;
        if (DeleteFileA(path))
            log_line("launcher: %s, set aside by an update, removed", path);
        else
            log_line("launcher: %s, set aside by an update, kept (error %lu): it still runs",
                     path, GetLastError());
    } while (FindNextFileA(search, &found));
    FindClose(search);
}
