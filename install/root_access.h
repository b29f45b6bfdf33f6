// The install root is the user's alone: both C:\quorvel\ and the launcher
// folder below it carry an explicit access list that inherits nothing from
// the drive's root (whose rule lets every signed-in user modify what is
// made below it):
// full control for the installing user, SYSTEM and Administrators, nothing
// for anyone else. Everything the launcher keeps below inherits that list.
// Security identifiers are handled as their text ("S-1-5-18").
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Shown when the root cannot be trusted; the launcher then starts nothing.
extern const char ROOT_ACCESS_REFUSED[]; // "C:\quorvel\launcher\ can be changed by other users; ask your administrator"

// The security descriptor, in the system's descriptor language, that the
// root's folders are made with: the user as owner and a protected list of
// three full-control entries that folders and files below inherit. 1, or
// 0 when it does not fit size bytes (out then "").
int root_access_descriptor(const char* user_sid, char* out, size_t size);

// One entry of a folder's access list as the system reads it.
struct RootAce {
    bool allow;          // an allow entry; deny entries give no one anything
    std::string sid;
    unsigned long mask;  // the rights, generic ones included
};

// The rights that let someone change a folder's content or its list:
// writing or adding files and folders, deleting (its children), changing
// its list or owner, and the generic write and all.
enum : unsigned long { ROOT_WRITE_RIGHTS = 0x500D0046ul };

// True when a folder of this list lets someone other than user, SYSTEM,
// Administrators, TrustedInstaller or the creator-owner placeholder change
// it; a folder without a list (dacl_present false) lets everyone.
bool root_access_open_to_others(bool dacl_present, const std::vector<RootAce>& aces,
                                const char* user_sid);

// What becomes of a folder of the root that is there already.
enum RootVerdict {
    ROOT_KEEP,      // owned by the user or the system's own, and closed to others
    ROOT_SET_LIST,  // the user's own but open to others: it gets the list
    ROOT_REFUSED,   // owned by someone else, or open to others and not the user's to fix
};
RootVerdict root_access_verdict(const char* owner_sid, const char* user_sid,
                                bool open_to_others);

#ifdef _WIN32
// What root_access_prepare found and did.
struct RootAccess {
    bool usable;                    // false: show ROOT_ACCESS_REFUSED, start nothing
    std::vector<std::string> said;  // for the log, which may not be open yet
};

// Makes each missing folder of the root with the list, gives it to one of
// the user's own that is open to others, and refuses a root someone else
// can change. A folder whose list cannot be read or set counts as refused;
// one that cannot be made is only logged.
RootAccess root_access_prepare(void);
#endif
