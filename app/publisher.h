// Whether a release comes from the application's publisher: the key pinned
// to the application, the administrator's keys, the release's minisign
// signature and the refusal of older releases.
//
// The first signed release of an application that is committed pins the
// key its descriptor names ("publickey"); from then on every release must
// be signed by the pinned key, and a release so signed may name a new key,
// which is pinned when it is committed (a rotation). A release signed
// before the committed one is refused. Keys an administrator lists for the
// application's origin are pinned ahead of any release and stay pinned.
#pragma once

#include "app/minisign.h"

#include <cstddef>
#include <cstdint>

enum {
    // A public key line: base64 of 42 bytes, 56 characters.
    PUBLISHER_KEY_SIZE = 57,
    // A pinned record larger than this is damaged.
    PUBLISHER_RECORD_MAX = 4096,
    PUBLISHER_REASON_SIZE = 256,
};

// The machine's policy (site_policy_key, HKEY_LOCAL_MACHINE): the
// REG_MULTI_SZ value "PublisherKeys", one "<origin> <key>" a line.
constexpr char publisher_policy_value[] = "PublisherKeys";

// The refusal the user sees when no previous release can start instead.
extern const char PUBLISHER_NOT_SIGNED[];  // "Error, the nlp file is not signed by its publisher"

// What an application's pinned record holds.
struct PublisherPin {
    char key[PUBLISHER_KEY_SIZE];  // the pinned key's line, "" when none
    int64_t timestamp;             // the committed release's signing time
};

// Reads the record at path for the application identity. 1 when a key is
// pinned, 0 when there is no record (nothing pinned, *pin zero), -1 when it
// cannot be read whole, is damaged or is another application's: the caller
// then refuses, since a lock must not open by a fault.
int publisher_pin_read(const char* path, const char* identity, PublisherPin* pin);

// Writes the record whole or not at all (the folder must exist). 1 or 0.
int publisher_pin_write(const char* path, const char* identity, const PublisherPin* pin);

// The verdict on one release.
struct PublisherVerdict {
    int accepted;  // 1 when the release may be committed and started
    // When accepted and signed: what publisher_pin_commit records.
    bool signed_release;
    PublisherPin pin;
    // Why it was refused, for the log: "not signed", "signature does not
    // verify", "signed by key <id>, the application's key is <id>",
    // "signed at <time>, older than the running release's <time>"; for an
    // accepted one what was found ("unsigned, no key pinned", "signed by
    // key <id> at <time>").
    char reason[PUBLISHER_REASON_SIZE];
};

// The inputs of a verdict: all borrowed.
struct PublisherRelease {
    const char* identity;        // the application's identity
    const char* record_path;     // its pinned record
    const char* admin_keys;      // the PublisherKeys lines as a REG_MULTI_SZ; null when none
    const char* publickey;       // the new descriptor's "publickey", null when absent
    const char* signature;       // its signature file's bytes, null when there is none
    size_t signature_length;
    const char* descriptor;      // the descriptor's bytes as signed
    size_t descriptor_length;
};

// Decides on a release. A release is refused when a key is pinned (by the
// record or by the administrator for the identity's origin) and it is not
// signed by that key, or is signed before the committed release (the
// record's timestamp; a signature without one counts as signed at 0);
// also when it names "publickey" but its signature is missing or does not
// verify with that key. One that names no key while none is pinned is
// accepted unsigned. Returns out->accepted.
int publisher_decide(const PublisherRelease* release, PublisherVerdict* out);

// After the release was committed: pins its key and timestamp when it was
// signed (nothing to do otherwise). 1, or 0 when the record cannot be
// written (logged by the caller; the next release is then judged by the
// previous record).
int publisher_pin_commit(const char* record_path, const char* identity,
                         const PublisherVerdict* verdict);

#ifdef _WIN32
// The administrator's PublisherKeys lines (freed by the caller), or null
// when there are none. A value that cannot be read, is no REG_MULTI_SZ or
// is larger than 64 KiB gives an empty list: no key of the list then
// matches, so every pinned application keeps its own pins.
char* publisher_policy_read();
#endif
