// Installation on Windows: folders, self-copy, registry entries and shortcut.
#include "install/install.h"

#include "base/fileutil.h"
#include "base/log.h"
#include "base/paths.h"
#include "install/link_scheme.h"
#include "install/shortcut.h"
#include "install/update.h"
#include "runtime/version.h"

#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <cstdio>
#include <cstring>
#include <string>

static const char registry_key_error[] = "Could not create or open a registrty key";
// The per-user classes, which the merged HKEY_CLASSES_ROOT view shows.
static const char classes_key[] = "Software\\Classes\\";

// A launch that has just ended may still hold Launcher.exe for a moment;
// give it two seconds.
static void copy_over_installed_launcher(const char* self)
{
    DWORD error = ERROR_SHARING_VIOLATION;
    for (int attempt = 0; attempt < 20 && error == ERROR_SHARING_VIOLATION; attempt++) {
        if (CopyFileA(self, installed_launcher, FALSE)) {
            log_line("install: %s copied to %s", self, installed_launcher);
            return;
        }
        error = GetLastError();
        if (error == ERROR_SHARING_VIOLATION)
            Sleep(100);
    }
    log_line("install: %s not copied to %s (error %lu)", self, installed_launcher, error);
}

// Sums the sizes of the files below folder (which ends in "\"); entries
// whose path does not fit a path buffer are not counted.
static unsigned long long folder_bytes(const char* folder)
{
    char pattern[MAX_PATH];
    if (snprintf(pattern, sizeof pattern, "%s*", folder) >= static_cast<int>(sizeof pattern))
        return 0;
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA(pattern, &entry);
    if (find == INVALID_HANDLE_VALUE)
        return 0;
    unsigned long long bytes = 0;
    do {
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            bytes += (static_cast<unsigned long long>(entry.nFileSizeHigh) << 32) |
                     entry.nFileSizeLow;
            continue;
        }
        // A linked folder is not the launcher's to count.
        if (strcmp(entry.cFileName, ".") == 0 || strcmp(entry.cFileName, "..") == 0 ||
            (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
            continue;
        char child[MAX_PATH];
        if (snprintf(child, sizeof child, "%s%s\\", folder, entry.cFileName) <
            static_cast<int>(sizeof child))
            bytes += folder_bytes(child);
    } while (FindNextFileA(find, &entry));
    FindClose(find);
    return bytes;
}

static void set_text(HKEY key, const char* name, const char* text)
{
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                   static_cast<DWORD>(strlen(text) + 1));
}

static void set_number(HKEY key, const char* name, DWORD number)
{
    RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                   sizeof number);
}

// The per-user entry of the installed programs, so that the system's list
// shows the launcher and can remove it. The version is the running build's:
// the one just installed (a launcher update writes its own).
static void add_uninstall_entry(const char* self)
{
    char version[VERSION_TEXT_SIZE] = "";
    query_file_version(self, version, sizeof version);
    char uninstall[MAX_PATH];
    char quiet[MAX_PATH];
    if (snprintf(uninstall, sizeof uninstall, "\"%s\" --uninstall", installed_launcher) >=
            static_cast<int>(sizeof uninstall) ||
        snprintf(quiet, sizeof quiet, "%s --silent", uninstall) >= static_cast<int>(sizeof quiet))
        return;
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, install_uninstall_key, 0, nullptr,
                        REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
        log_line("install: the installed programs' entry not written");
        puts(registry_key_error);
        return;
    }
    log_line("install: the installed programs' entry written, version %s", version);
    unsigned long long kib = (folder_bytes(install_root) + 1023) / 1024;
    set_text(key, "DisplayName", "Quorvel launcher");
    set_text(key, "DisplayVersion", version);
    set_text(key, "Publisher", "Quorvel");
    set_text(key, "DisplayIcon", installed_launcher);
    set_text(key, "InstallLocation", install_root);
    set_text(key, "UninstallString", uninstall);
    set_text(key, "QuietUninstallString", quiet);
    set_number(key, "NoModify", 1);
    set_number(key, "NoRepair", 1);
    set_number(key, "EstimatedSize", kib > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<DWORD>(kib));
    RegCloseKey(key);
}

// The running program's path into self; false when it does not fit.
static bool own_path(char (&self)[MAX_PATH])
{
    DWORD length = GetModuleFileNameA(nullptr, self, sizeof self);
    return length != 0 && length < sizeof self;
}

bool install_running_installed(void)
{
    char self[MAX_PATH];
    return own_path(self) && _stricmp(self, installed_launcher) == 0;
}

void install_launcher(bool silent, bool no_shortcut, bool descriptor_follows)
{
    make_folder_chain(install_root);
    make_folder_chain(cache_root);
    make_folder_chain(sites_folder);
    update_remove_set_aside();
    uninstall_remove_copy();

    char self[MAX_PATH];
    if (!own_path(self) || _stricmp(self, installed_launcher) == 0)
        return;

    copy_over_installed_launcher(self);
    bool registered = register_file_type(".nlp", install_file_type_description, installed_launcher);
    log_line(registered ? "install: .nlp files open with %s" : "install: .nlp not registered for %s",
             installed_launcher);
    link_scheme_register(installed_launcher);
    add_uninstall_entry(self);
    if (!no_shortcut)
        create_desktop_shortcut("Cameras", sites_folder, install_root, installed_launcher,
                                "Launcher Cameras Shortcut");
    // A registration that failed is never silent: without it the launcher
    // does not open descriptors.
    if (!registered) {
        log_line("message: Error, the .nlp file type could not be registered");
        MessageBoxA(nullptr, "Error, the .nlp file type could not be registered", "Error",
                    MB_ICONERROR);
    } else if (!silent && !descriptor_follows) {
        MessageBoxA(nullptr, "Quorvel launcher installed", "Install", MB_ICONINFORMATION);
    }
}

static bool already_registered(const char* extension, const char* executable)
{
    char program[MAX_PATH];
    DWORD size = sizeof program;
    if (AssocQueryStringA(0, ASSOCSTR_EXECUTABLE, extension, nullptr, program, &size) != S_OK)
        return false;
    return _stricmp(program, executable) == 0;
}

// Writes below the per-user classes: a standard user may not create keys in
// the machine's classes, where HKEY_CLASSES_ROOT puts new ones.
static bool set_default_value(const char* key_name, const char* text)
{
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, key_name, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS) {
        puts(registry_key_error);
        return false;
    }
    // The count is the text's length without its NUL.
    RegSetValueExA(key, "", 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                   static_cast<DWORD>(strlen(text)));
    RegCloseKey(key);
    return true;
}

bool register_file_type(const char* extension, const char* description, const char* executable)
{
    if (already_registered(extension, executable))
        return true;
    char type_key[MAX_PATH];
    char command_key[MAX_PATH];
    char command[MAX_PATH];
    if (snprintf(type_key, sizeof type_key, "%s%s", classes_key, extension) >=
            static_cast<int>(sizeof type_key) ||
        snprintf(command_key, sizeof command_key, "%s\\shell\\open\\command\\", type_key) >=
            static_cast<int>(sizeof command_key) ||
        snprintf(command, sizeof command, "\"%s\" \"%%1\"", executable) >=
            static_cast<int>(sizeof command))
        return false;
    if (!set_default_value(type_key, description))
        return false;
    bool made = set_default_value(command_key, command);
    // Explorer shows the new icon and verb at once.
    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
    return made;
}

void create_desktop_shortcut(const char* name, const char* target, const char* folder,
                             const char* icon, const char* description)
{
    ShortcutLink link = {target, "", folder, icon, description};
    std::string path;
    shortcut_save(SHORTCUT_DESKTOP, name, &link, "install", &path);
}
