// Who an application is and where each of its files is kept. Every path of
// an application is derived here from two names its record holds (its
// folder name and its sites copy's name), under one bound: MAX_PATH.
//
//   cache\<folder>\                 the site cache folder: its class-path files
//   releases\<folder>\              its release folder:
//       staged\                     bodies fetched and checked, until the commit
//       previous\, previous-nlp\    what a commit replaces, while it runs
//       journal                     a commit in progress (cache/commit.h)
//       digests                     the digest record (cache/digest_record.h)
//       release.nlp                 a new descriptor kept aside with its files
//       next.nlp, next.nlp.minisig  a release brought whole in the background
//                                   and its signature, moved in before the
//                                   next start
//       release.nlp.minisig         its publisher's signature, when it has one
//       publisher                   the publisher's pinned key (app/publisher.h)
//       application                 the record: identity and sites copy name
//   sites\<copy>                    the descriptor the user opens
//   sites\<copy>.minisig            its publisher's signature, when it has one
//
// An application's identity is the origin and path of its descriptor's
// href, or of its code base followed by the descriptor's file name: scheme
// and host in lower case, the scheme's default port, user, password, query
// and fragment left out. Two applications never share a folder, a copy or
// a record.
#pragma once

#include <cstddef>

enum {
    LAYOUT_PATH_SIZE = 260,      // a path and its NUL: MAX_PATH
    LAYOUT_IDENTITY_SIZE = 2048, // an identity and its NUL
};

struct Layout {
    char folder_name[LAYOUT_PATH_SIZE];
    char copy_name[LAYOUT_PATH_SIZE];
    char site_cache_folder[LAYOUT_PATH_SIZE];  // each folder ends in "\"
    char release_folder[LAYOUT_PATH_SIZE];
    char staged[LAYOUT_PATH_SIZE];
    char previous[LAYOUT_PATH_SIZE];
    char previous_nlp[LAYOUT_PATH_SIZE];
    char journal[LAYOUT_PATH_SIZE];
    char digests[LAYOUT_PATH_SIZE];
    char kept_descriptor[LAYOUT_PATH_SIZE];
    char next_release[LAYOUT_PATH_SIZE];
    char next_signature[LAYOUT_PATH_SIZE];
    char kept_signature[LAYOUT_PATH_SIZE];
    char publisher[LAYOUT_PATH_SIZE];
    char record[LAYOUT_PATH_SIZE];
    char sites_copy[LAYOUT_PATH_SIZE];
    char sites_signature[LAYOUT_PATH_SIZE];
    char previous_copy[LAYOUT_PATH_SIZE];  // where the sites copy waits during a commit
};

// Every path of the application whose folder and sites copy have these
// names (copy_name null: the folder's paths alone, the copy's ""). 1, or 0
// when a name is no plain file name (or one shaped like a short 8.3 alias,
// which may name another file) or a path (with the temporary files written
// beside them) would not fit LAYOUT_PATH_SIZE.
int layout_make(const char* folder_name, const char* copy_name, Layout* out);

// 1 when a file of this name fits every place a release moves it through
// (the longest is previous\); 0 when it would not fit, so it is refused
// before anything is fetched.
int layout_resource_fits(const Layout* layout, const char* name);

// The longest file name layout_resource_fits takes for this layout.
size_t layout_longest_name(const Layout* layout);

// The identity of a descriptor at url (file_name null), or of one with code
// base url and file name file_name. 1, or 0 when it does not fit.
int layout_identity(const char* url, const char* file_name, char* out, size_t size);

// The host of an identity, as a name can carry it: "b.example", "[::1]" as
// "--1". "" when it has none.
void layout_identity_host(const char* identity, char* out, size_t size);

// A new application's folder name: its code base without a user or
// password (no folder name, so no log line, carries them), each of
// <>:"/\|?* as "#", and for n > 1 "~n" after it, so a folder another
// application holds is never taken. 1, or 0 when it does not fit.
int layout_folder_name(const char* codebase, int n, char* out, size_t size);

// A folder an earlier build named after a code base with its user and
// password ("http###user#password@host#app#") carries them into every path:
// the log hides them from now on (log_hide). Called for the folders whose
// paths a launch logs: its application's, a cut commit's.
void layout_hide_credentials(const char* folder_name);

// A new application's sites copy name: name itself, or for n > 1 the name
// with " (host)" (n = 2) or " (host n-1)" before its extension, so a person
// can tell two applications of one name apart (" (n)" without a host). 1,
// or 0 when it does not fit.
int layout_copy_name(const char* name, const char* host, int n, char* out, size_t size);

// 1 when Windows takes a and b for the same file name: letters in any case,
// trailing dots and blanks dropped.
int layout_same_name(const char* a, const char* b);

// The named mutex of an application, in the session's namespace:
// "Local\quorvel-app-" and 16 hex digits of a hash of its identity.
// Identities sharing a hash only wait for each other.
int layout_lock_name(const char* identity, char* out, size_t size);
