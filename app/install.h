// Installation: the launcher's fixed home, the .nlp association and the
// entry in the installed programs, both per user so that a standard user
// can make them, and the desktop shortcut to the sites folder.
#pragma once

#include <cstddef>

// The per-user entry of the installed programs, below HKEY_CURRENT_USER.
constexpr char install_uninstall_key[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\QuorvelLauncher";

// The generated shortcut script is composed in a buffer of this size.
enum { INSTALL_SCRIPT_SIZE = 4096 };

// Fills the nine-line VBScript (CR LF line ends) that makes the shortcut
// name.lnk on the desktop: description, icon file (its first icon), target,
// maximized window, working folder. Returns the script's length, or -1 when
// it does not fit size bytes (out then holds the empty text).
int install_shortcut_script(char* out, size_t size, const char* name, const char* description,
                            const char* icon, const char* target, const char* folder);

// Runs at every start: makes the install root, the cache root and the sites
// folder; when the running program is not the installed launcher (letter
// case ignored), copies itself there, registers ".nlp", adds the
// installed-programs entry, makes the "Cameras" desktop shortcut unless
// no_shortcut, and shows "Quorvel launcher installed" unless silent or a
// descriptor follows. A registration that fails is always reported instead
// of that notice. Windows only.
void install_launcher(bool silent, bool no_shortcut, bool descriptor_follows);

// Makes executable the program that opens extension in the per-user classes,
// unless the shell says it already is, and tells the shell of a change.
// False when a key could not be created. Windows only.
bool register_file_type(const char* extension, const char* description, const char* executable);

// Writes the shortcut script to "<folder>\shortcut.vbs", runs it through the
// command interpreter and deletes it. Windows only.
void create_desktop_shortcut(const char* name, const char* target, const char* folder,
                             const char* icon, const char* description);
