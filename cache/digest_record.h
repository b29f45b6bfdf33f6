// A site's record of the digests of its cached files, so that a launch
// need not read every pinned file whole each time: a file's SHA-256 is
// taken from the record while its size and modification time are still
// those recorded beside it, and computed (and recorded) again otherwise.
// Kept as text, one line a file: "<64 hex digits> <size> <time> <name>".
#pragma once

#include "cache/digest.h"

#include <cstddef>

struct DigestRecord;

// The record read from path; a missing or unreadable file, and any line
// that is not of the form above, count as nothing recorded. Null only when
// memory runs out. Freed with digest_record_free.
DigestRecord* digest_record_load(const char* path);

// The record read from size bytes of text, as digest_record_load reads a
// file.
DigestRecord* digest_record_parse(const char* text, size_t size);

void digest_record_free(DigestRecord* record);

// The SHA-256 of the file folder + name: recorded, or computed and then
// recorded. 1, or 0 when the file cannot be read or the path does not fit
// (hex is then "").
int digest_record_file(DigestRecord* record, const char* folder, const char* name,
                       char (&hex)[DIGEST_HEX_SIZE]);

// Records hex as the digest of folder + name with the file's size and time
// as they are now (nothing when its status cannot be read).
void digest_record_set(DigestRecord* record, const char* folder, const char* name,
                       const char* hex);

// Writes the record to path, whole or not at all, when it changed since it
// was read. 1 when the file holds the record (or nothing changed), else 0.
int digest_record_save(DigestRecord* record, const char* path);
