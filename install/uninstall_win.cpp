// Uninstall on Windows: the per-user .nlp and link registrations (only
// while they still name the launcher), the installed-programs entry, the
// per-user settings, the shortcuts and the install root.
#include "base/log.h"
#include "base/paths.h"
#include "install/install.h"
#include "install/link_scheme.h"
#include "install/shortcut.h"

#include <windows.h>
#include <shlobj.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

static const char title[] = "Uninstall";
static const char type_key[] = "Software\\Classes\\.nlp";
static const char shell_key[] = "Software\\Classes\\.nlp\\shell";
static const char open_key[] = "Software\\Classes\\.nlp\\shell\\open";
static const char command_key[] = "Software\\Classes\\.nlp\\shell\\open\\command";
// The copy that finishes an uninstall run from the install root; its name
// tells what it is in a list of processes.
static const char copy_name[] = "Launcher-uninstall.exe";

// What an uninstall finds of an installation. The desktop shortcut alone
// does not make one: its name is no proof.
struct Installation {
    bool root;
    bool association;
    bool links;
    bool entry;
    char root_path[MAX_PATH]; // the install root without its final "\"
};

static bool compose(char* out, size_t size, const char* format, const char* a, const char* b)
{
    int length = snprintf(out, size, format, a, b);
    return length >= 0 && static_cast<size_t>(length) < size;
}

static bool association_names_launcher()
{
    char command[MAX_PATH];
    DWORD size = sizeof command;
    return RegGetValueA(HKEY_CURRENT_USER, command_key, "", RRF_RT_REG_SZ, nullptr, command,
                        &size) == ERROR_SUCCESS &&
           install_command_names(command, installed_launcher);
}

static bool key_exists(const char* name)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, name, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

static Installation find_installation()
{
    Installation found = {};
    // The install root's constant ends in "\", which removal calls must not see.
    snprintf(found.root_path, sizeof found.root_path, "%.*s",
             static_cast<int>(strlen(install_root) - 1), install_root);
    DWORD attributes = GetFileAttributesA(found.root_path);
    found.root = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
    found.association = association_names_launcher();
    found.links = link_scheme_names(installed_launcher);
    found.entry = key_exists(install_uninstall_key);
    return found;
}

static bool delete_key_if_empty(const char* name)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, name, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    DWORD subkeys = 1;
    DWORD values = 1;
    LONG queried = RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                                    &values, nullptr, nullptr, nullptr, nullptr);
    RegCloseKey(key);
    return queried == ERROR_SUCCESS && subkeys == 0 && values == 0 &&
           RegDeleteKeyA(HKEY_CURRENT_USER, name) == ERROR_SUCCESS;
}

// Takes away what the installation wrote for .nlp; other entries of the
// type (another verb, another program's values) stay, and so do the keys
// that hold them.
static void remove_association()
{
    RegDeleteKeyA(HKEY_CURRENT_USER, command_key);
    delete_key_if_empty(open_key);
    delete_key_if_empty(shell_key);
    char text[sizeof install_file_type_description];
    DWORD size = sizeof text;
    if (RegGetValueA(HKEY_CURRENT_USER, type_key, "", RRF_RT_REG_SZ, nullptr, text, &size) ==
            ERROR_SUCCESS &&
        strcmp(text, install_file_type_description) == 0)
        RegDeleteKeyValueA(HKEY_CURRENT_USER, type_key, "");
    delete_key_if_empty(type_key);
    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
}

// What an uninstall could not remove, for the log: each path and the
// system's error.
struct Leftover {
    std::string path;
    DWORD error;
};
typedef std::vector<Leftover> Leftovers;

// Removes a file or an empty folder. Only an administrator may have Windows
// remove a file at the next restart, so what is in use stays, noted in
// left. Returns 1 when it stays, else 0.
static int remove_now(const char* path, bool folder, Leftovers* left)
{
    SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
    if (folder ? RemoveDirectoryA(path) : DeleteFileA(path))
        return 0;
    DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
        return 0;
    // A folder that stays because something in it stays is no news.
    if (!folder || error != ERROR_DIR_NOT_EMPTY)
        left->push_back({path, error});
    return 1;
}

// Removes folder (no final "\") with everything below it. Returns the count
// of what stays.
static int remove_tree(const char* folder, Leftovers* left)
{
    int kept = 0;
    char pattern[MAX_PATH];
    WIN32_FIND_DATAA entry;
    HANDLE find = compose(pattern, sizeof pattern, "%s\\%s", folder, "*")
                      ? FindFirstFileA(pattern, &entry)
                      : INVALID_HANDLE_VALUE;
    if (find != INVALID_HANDLE_VALUE) {
        do {
            if (strcmp(entry.cFileName, ".") == 0 || strcmp(entry.cFileName, "..") == 0)
                continue;
            char path[MAX_PATH];
            if (!compose(path, sizeof path, "%s\\%s", folder, entry.cFileName)) {
                left->push_back({std::string(folder) + "\\" + entry.cFileName,
                                 ERROR_FILENAME_EXCED_RANGE});
                kept++;
                continue;
            }
            bool is_folder = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
            // A linked folder is removed as a link: what it leads to is not
            // the launcher's.
            if (is_folder && !(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
                kept += remove_tree(path, left);
            else
                kept += remove_now(path, is_folder, left);
        } while (FindNextFileA(find, &entry));
        FindClose(find);
    }
    return kept + remove_now(folder, true, left);
}

// The user's temporary folder, ending in "\"; false when it does not fit.
static bool temp_folder(char* out, DWORD size)
{
    DWORD length = GetTempPathA(size, out);
    return length > 0 && length < size;
}

static void remove_installation(const Installation& found, bool silent)
{
    // A process's current folder cannot be removed: this one's must not be
    // the install root.
    char temp[MAX_PATH];
    if (temp_folder(temp, sizeof temp))
        SetCurrentDirectoryA(temp);
    if (found.association) {
        remove_association();
        log_line("uninstall: the .nlp registration removed");
    }
    link_scheme_remove(installed_launcher);
    // The sites the user trusted go with the launcher: a new installation
    // asks again.
    if (RegDeleteTreeA(HKEY_CURRENT_USER, install_settings_key) == ERROR_SUCCESS) {
        delete_key_if_empty("Software\\Quorvel");
        log_line("uninstall: the settings removed");
    }
    shortcut_remove_all();
    if (found.entry && RegDeleteTreeA(HKEY_CURRENT_USER, install_uninstall_key) == ERROR_SUCCESS)
        log_line("uninstall: the installed programs' entry removed");
    // The log goes with the install root.
    log_line("uninstall: removing %s", found.root_path);
    log_close();
    Leftovers left;
    int kept = found.root ? remove_tree(found.root_path, &left) : 0;
    // The folder above the install root goes too when nothing else is in it.
    char parent[MAX_PATH];
    snprintf(parent, sizeof parent, "%s", found.root_path);
    char* slash = strrchr(parent, '\\');
    if (slash && slash > strchr(parent, '\\')) {
        *slash = '\0';
        RemoveDirectoryA(parent);
    }
    // What stays keeps the install root, and its log says what and why;
    // a later uninstall removes it.
    if (kept > 0) {
        log_open(launch_log);
        for (const Leftover& leftover : left)
            log_line("uninstall: %s not removed (error %lu)", leftover.path.c_str(),
                     leftover.error);
    }
    if (silent)
        return;
    MessageBoxA(nullptr,
                kept > 0 ? "Quorvel launcher removed; some files are in use and were left in "
                           "C:\\quorvel\\launcher\\"
                         : "Quorvel launcher removed",
                title, MB_ICONINFORMATION);
}

// Windows keeps the file of a running program: a copy of it in the
// temporary folder waits for this process to end and removes everything,
// this program's file and folder included.
static bool hand_over_to_copy(const char* self, bool silent)
{
    char temp[MAX_PATH];
    char copy[MAX_PATH];
    if (!temp_folder(temp, sizeof temp) || !compose(copy, sizeof copy, "%s%s", temp, copy_name) ||
        !CopyFileA(self, copy, FALSE))
        return false;
    // The copy inherits this handle and waits on it.
    HANDLE self_process;
    if (!DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(),
                         &self_process, SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, TRUE,
                         0)) {
        DeleteFileA(copy);
        return false;
    }
    char line[1024];
    int line_length = snprintf(line, sizeof line, "\"%s\" %s%llu%s", copy,
                               command_line_finish_uninstall,
                               static_cast<unsigned long long>(
                                   reinterpret_cast<uintptr_t>(self_process)),
                               silent ? " --silent" : "");
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    bool started = line_length > 0 && static_cast<size_t>(line_length) < sizeof line &&
                   CreateProcessA(copy, line, nullptr, nullptr, TRUE, 0, nullptr, temp,
                                  &startup, &process);
    CloseHandle(self_process);
    if (!started) {
        DeleteFileA(copy);
        return false;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

void uninstall_remove_copy(void)
{
    char temp[MAX_PATH];
    char copy[MAX_PATH];
    if (!temp_folder(temp, sizeof temp) || !compose(copy, sizeof copy, "%s%s", temp, copy_name))
        return;
    if (DeleteFileA(copy))
        log_line("uninstall: %s, left by an uninstall, removed", copy);
    else if (GetLastError() != ERROR_FILE_NOT_FOUND)
        log_line("uninstall: %s, left by an uninstall, kept (error %lu): it still runs", copy,
                 GetLastError());
}

void uninstall_launcher(bool silent)
{
    uninstall_remove_copy();
    Installation found = find_installation();
    if (!found.root && !found.association && !found.links && !found.entry) {
        if (!silent)
            MessageBoxA(nullptr, "Quorvel launcher is not installed", title, MB_ICONINFORMATION);
        return;
    }
    if (!silent && MessageBoxA(nullptr,
                               "Remove Quorvel launcher, its Java runtime and its cached "
                               "applications?",
                               title, MB_YESNO | MB_ICONQUESTION) != IDYES) {
        log_line("uninstall: not confirmed");
        return;
    }
    char self[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, self, sizeof self);
    bool in_root = length > 0 && length < sizeof self &&
                   _strnicmp(self, install_root, strlen(install_root)) == 0;
    // Should the copy not start, this program's own file stays like any
    // file in use.
    if (in_root && hand_over_to_copy(self, silent)) {
        log_line("uninstall: handed to %s in the temporary folder", copy_name);
        return;
    }
    remove_installation(found, silent);
}

void finish_uninstall(unsigned long long process, bool silent)
{
    HANDLE parent = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(process));
    // Only a handle to another process, as an uninstall hands down, is
    // waited for; any other value ends the run here.
    DWORD id = GetProcessId(parent);
    if (id == 0 || id == GetCurrentProcessId() ||
        WaitForSingleObject(parent, INFINITE) != WAIT_OBJECT_0)
        return;
    CloseHandle(parent);
    remove_installation(find_installation(), silent);
    // A running program's file cannot be removed: the launcher's next start
    // removes this copy.
    char self[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, self, sizeof self);
    if (length > 0 && length < sizeof self)
        log_line("uninstall: %s not removed: it runs; the launcher's next start removes it", self);
}
