// Uninstall on Windows: the per-user .nlp registration (only while it still
// names the launcher), the installed-programs entry, the shortcuts and the
// install root.
#include "base/log.h"
#include "base/paths.h"
#include "install/install.h"
#include "install/shortcut.h"

#include <windows.h>
#include <shlobj.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

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

// Removes a file or an empty folder now, or, when it is in use, at the next
// restart. Returns 1 when it is left for now, else 0.
static int remove_now_or_later(const char* path, bool folder)
{
    SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
    if (folder ? RemoveDirectoryA(path) : DeleteFileA(path))
        return 0;
    DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
        return 0;
    MoveFileExA(path, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    return 1;
}

// Removes folder (no final "\") with everything below it. The delayed
// removals come in order, a folder's entries before the folder. Returns the
// count of what is left for now.
static int remove_tree(const char* folder)
{
    int left = 0;
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
                left++;
                continue;
            }
            bool is_folder = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
            // A linked folder is removed as a link: what it leads to is not
            // the launcher's.
            if (is_folder && !(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
                left += remove_tree(path);
            else
                left += remove_now_or_later(path, is_folder);
        } while (FindNextFileA(find, &entry));
        FindClose(find);
    }
    return left + remove_now_or_later(folder, true);
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
    shortcut_remove_all();
    if (found.entry && RegDeleteTreeA(HKEY_CURRENT_USER, install_uninstall_key) == ERROR_SUCCESS)
        log_line("uninstall: the installed programs' entry removed");
    // The log goes with the install root.
    log_line("uninstall: removing %s", found.root_path);
    log_close();
    int left = found.root ? remove_tree(found.root_path) : 0;
    // The folder above the install root goes too when nothing else is in it.
    char parent[MAX_PATH];
    snprintf(parent, sizeof parent, "%s", found.root_path);
    char* slash = strrchr(parent, '\\');
    if (slash && slash > strchr(parent, '\\')) {
        *slash = '\0';
        if (!RemoveDirectoryA(parent) && left > 0)
            MoveFileExA(parent, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    }
    if (silent)
        return;
    MessageBoxA(nullptr,
                left > 0 ? "Quorvel launcher removed; some files are in use and will be removed "
                           "at the next restart"
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

void uninstall_launcher(bool silent)
{
    Installation found = find_installation();
    if (!found.root && !found.association && !found.entry) {
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
    // Should the copy not start, this program's own file is left for the
    // next restart like any file in use.
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
    char self[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, self, sizeof self);
    if (length > 0 && length < sizeof self)
        MoveFileExA(self, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}
