// Shortcuts through the shell's link object: the installation's "Cameras"
// shortcut, and an application's own on the user's desktop and in the
// user's Start menu, which each launch brings in line with its descriptor
// and keeps in a record that the uninstall reads.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// The longest title of an application's shortcut, in characters.
enum { SHORTCUT_TITLE_MAX = 120 };

// An application's shortcut takes the first free name of "<title>",
// "<title> (2)" ... "<title> (9)": a file of the name that is not the
// launcher's own link for that application is never replaced.
enum { SHORTCUT_NAMES_MAX = 9 };

// The places an application asks for, as a set.
enum { SHORTCUT_DESKTOP = 1, SHORTCUT_MENU = 2 };

// The file name, without ".lnk", of a shortcut titled title (UTF-8): each
// character a file name cannot hold (<>:"/\|?* and control characters)
// becomes "_", and a name Windows keeps for a device (CON, PRN, AUX, NUL,
// COM1 to COM9, LPT1 to LPT9, in any letter case, also before a dot) gets
// a "_" after it. 1, or 0 when it does not fit size bytes.
int shortcut_file_name(const char* title, char* out, size_t size);

// What the record keeps of one application's shortcuts.
struct ShortcutEntry {
    std::string descriptor; // its descriptor's copy in the sites folder: the key
    std::string title;
    std::string icon;       // the icon file the links show
    int places;             // the places asked for
    std::vector<std::string> links; // the links made, full paths
};

// The record's text: one line an application, its fields separated by
// tabs: descriptor, title, icon, places ("desktop", "menu", both with a
// blank between, or none), then each link. A line that does not read so is
// passed over.
std::vector<ShortcutEntry> shortcut_record_parse(const char* text);

// The text of entries for shortcut_record_parse; false (out unchanged) when
// a field holds a tab or a line end.
bool shortcut_record_format(const std::vector<ShortcutEntry>& entries, std::string* out);

#ifdef _WIN32
// A link's texts, UTF-8.
struct ShortcutLink {
    const char* target;
    const char* arguments; // "" for none
    const char* folder;    // the working folder
    const char* icon;      // the file whose first icon it shows
    const char* description;
};

// Saves "<place>\<file name of name>.lnk" (SHORTCUT_DESKTOP: the user's
// desktop; SHORTCUT_MENU: the user's Start menu programs folder) through
// the shell's link object, replacing any file there, with a normal window.
// COM is initialised for the call alone. True with the link's full path in
// *path when it was saved; otherwise the launch log says why, its lines
// beginning with who.
bool shortcut_save(int place, const char* name, const ShortcutLink* link, const char* who,
                   std::string* path);

// Brings the shortcuts of the application whose descriptor's copy in the
// sites folder is descriptor in line with what it asks: one link a place of
// places titled title (none when title is null or places 0), showing icon,
// starting the installed launcher on the copy. Nothing is done when the
// record holds these very title, icon and places for it, so that a link the
// user deleted stays deleted until they change. Otherwise the links asked
// for are made, each under the first free name (SHORTCUT_NAMES_MAX) or over
// the application's own link of the record that still starts its copy;
// those made before and no longer wanted are removed when they still start
// the copy and no other application's entry names them; and the record is
// rewritten. Launches that run at once take turns.
void shortcut_renew(const char* descriptor, const char* title, const char* icon, int places);

// For the uninstall: removes every link the record names that still
// starts its application's copy, and the desktop's "Cameras" shortcut. The record goes with the install root.
void shortcut_remove_all(void);
#endif
