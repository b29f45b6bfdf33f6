// Installation and uninstall: the launcher's fixed home, the .nlp
// association and the entry in the installed programs, both per user so
// that a standard user can make them, and the desktop shortcut to the sites
// folder.
#pragma once

// The per-user entry of the installed programs, below HKEY_CURRENT_USER.
constexpr char install_uninstall_key[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\QuorvelLauncher";

// The launcher's per-user settings (the sites the user trusts), below
// HKEY_CURRENT_USER; the uninstall removes them whole.
constexpr char install_settings_key[] = "Software\\Quorvel\\Launcher";

// The description of the ".nlp" file type the launcher registers, and by
// which an uninstall knows the registration is its own.
constexpr char install_file_type_description[] = "Network Launch Protocol";

// The option an uninstall hands to its temporary copy, followed directly by
// the decimal value of the handle of the process to wait for.
constexpr char command_line_finish_uninstall[] = "--finish-uninstall=";

// True when the open command starts program: its first word, or the text
// between its leading double quotation marks, equals program without regard
// to letter case.
bool install_command_names(const char* command, const char* program);

// True when this process runs from the installed launcher's path (letter
// case ignored). Windows only.
bool install_running_installed(void);

// Runs at every start but an uninstall: makes the install root, the cache
// root and the sites folder and removes what an update or an uninstall
// left (update_remove_set_aside, uninstall_remove_copy); when the running
// program is not the installed launcher (letter case ignored), copies
// itself there, registers ".nlp" and the nlp:// and nlps:// links, adds the
// installed-programs entry, makes the "Cameras" desktop shortcut unless
// no_shortcut, and shows "Quorvel launcher installed" unless silent or a
// descriptor follows. A registration that fails is always reported instead
// of that notice. Windows only.
void install_launcher(bool silent, bool no_shortcut, bool descriptor_follows);

// Makes executable the program that opens extension in the per-user classes,
// unless the shell says it already is, and tells the shell of a change.
// False when a key could not be created. Windows only.
bool register_file_type(const char* extension, const char* description, const char* executable);

// Saves "<desktop>\<name>.lnk" with shortcut_save (install/shortcut.h):
// target, working folder, description, the first icon of icon and a normal
// window. A shortcut that cannot be made is not reported; the launch log
// says why. Windows only.
void create_desktop_shortcut(const char* name, const char* target, const char* folder,
                             const char* icon, const char* description);

// --uninstall: when anything is installed, asks (unless silent), then
// removes the .nlp and link registrations where they still name the
// installed launcher, the "Cameras" shortcut and every application shortcut
// the launcher made, the installed programs' entry, the per-user settings
// and the install root, and tells the user
// (unless silent).
// Run from the install root, it hands the removal to a copy of itself in the
// temporary folder, which waits for this process to end. Nothing is left
// for a restart (only an administrator may ask Windows for that): what is
// in use stays, the launch log in the install root says what, and a later
// uninstall removes it. Windows only.
void uninstall_launcher(bool silent);

// The temporary copy's part: waits for the process whose inherited handle
// has the value process and removes as uninstall_launcher does without
// asking. Its own file stays, for the launcher's next start to remove.
// Windows only.
void finish_uninstall(unsigned long long process, bool silent);

// Removes the temporary copy an earlier uninstall left; one still running
// stays. Run at every start but the copy's own. Windows only.
void uninstall_remove_copy(void);
