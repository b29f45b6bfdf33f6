// Reading a launch descriptor (.nlp): a JSON object in UTF-8 naming the code
// base, the class-path resources, the main class and its arguments, and
// optionally runtime and launcher builds and the application's shortcuts.
// Shows nothing itself: failures come back as the message the launch task
// shows.
#pragma once

#include <cjson/cJSON.h>

#include <cstddef>

struct Descriptor {
    cJSON* document;        // owned; released by descriptor_free
    const char* codebase;   // the texts below live inside document
    const cJSON* resources; // an array whose items are all strings
    const char* mainclass;
    const char* arguments;  // "" when the member is absent
    const char* jre;        // null when absent
    const char* launcher;   // null when absent
    const char* href;       // the descriptor's own URL; null when absent
    const char* vmargs;     // options for the Java runtime; null when absent
    const cJSON* sha256;    // file name to pinned SHA-256, all valid; null when absent
    // The publisher's minisign public key line: the release is signed, and
    // then "sha256" pins every file it names. Null when absent.
    const char* publickey;
    // The shortcut members as they stand, of any JSON type, null when absent:
    // a bad one fails no launch (app/shortcut_members.h checks them).
    const cJSON* title;
    const cJSON* icon;
    const cJSON* shortcut;
    // "update": "background" starts a whole cached release at once and
    // brings the next one for the next launch; "timeout" (the default)
    // asks the server first.
    bool background;
};

// A fetched descriptor larger than this is not taken.
enum { DESCRIPTOR_FETCHED_MAX = 1 << 20 };

extern const char DESCRIPTOR_ERROR_LOADING[];   // "Error loading nlp file"
extern const char DESCRIPTOR_ERROR_PARSING[];   // "Error parsing nlp file"
extern const char DESCRIPTOR_ERROR_CODEBASE[];  // the three "not found" texts
extern const char DESCRIPTOR_ERROR_RESOURCES[];
extern const char DESCRIPTOR_ERROR_MAINCLASS[];
// "Error, \"mainclass\" is not valid in nlp file": no Java class name
// (app/java_command.h), so never an option or a path.
extern const char DESCRIPTOR_ERROR_MAINCLASS_INVALID[];
// "Error, \"jre\" is not valid in nlp file" and the same of "launcher": the
// build's file name (after the member's last "/") is not one the download
// stores as it is, or does not end in ".zip" (a runtime) or ".exe" (a
// launcher), letter case aside; or the runtime's name carries no Java
// version (runtime/java_version.h).
extern const char DESCRIPTOR_ERROR_JRE[];
extern const char DESCRIPTOR_ERROR_LAUNCHER[];
// "Error, \"sha256\" is not valid in nlp file": the member is no object
// whose every value is 64 lowercase hexadecimal digits, or the descriptor
// names "publickey" and leaves a file unpinned: a resource's, the runtime's
// or the launcher's (by the name the launch stores it under).
extern const char DESCRIPTOR_ERROR_SHA256[];
extern const char DESCRIPTOR_ERROR_UPDATE[];    // "update" other than these two

// Reads the file at path whole, parses it and looks up its members (names
// matched without regard to letter case, the first of duplicates wins).
// Returns null and fills *out on success; the caller then owns out->document
// and releases it with descriptor_free. Otherwise returns one of the
// messages above, in the order the checks run, and *out holds nothing to
// release. A present member of the wrong JSON type is a parse error. A text
// that is no UTF-8 is read in the system code page, as earlier launchers
// read every descriptor, so that their descriptors keep their texts.
const char* descriptor_load(const char* path, Descriptor* out);

// descriptor_load on the length bytes at text rather than a file's.
const char* descriptor_parse(const char* text, size_t length, Descriptor* out);

// descriptor_load for a file fetched from a server: one larger than
// DESCRIPTOR_FETCHED_MAX bytes is not read and DESCRIPTOR_TOO_LARGE comes
// back, a text for the log only.
extern const char DESCRIPTOR_TOO_LARGE[];
const char* descriptor_load_fetched(const char* path, Descriptor* out);

// The text of resources item index, or null past the last item.
const char* descriptor_resource(const Descriptor* descriptor, int index);

// The SHA-256 that "sha256" pins for the file stored under name (letter
// case aside, as Windows names files), or null when none is pinned.
const char* descriptor_sha256(const Descriptor* descriptor, const char* name);

// Releases the document; safe on a zero-filled or already released record.
void descriptor_free(Descriptor* descriptor);
