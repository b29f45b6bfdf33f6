// Unpacking a runtime archive (a zip file) into a folder. The archive is read
// through its file: only the central directory entry at hand is held in
// memory, and each entry is inflated straight into its file through one
// fixed buffer.
#pragma once

// Walks the archive's entries once, in central-directory order, below
// target_folder (which must end in "\" on Windows, or "/"):
// - a folder entry (name ending in "/", or the DOS directory attribute 0x10
//   in its external attributes) is made with one single-level mkdir, its
//   result ignored; folders are never made from a file entry's path, so a
//   file is unpacked only when its folder exists or an earlier entry made it;
// - a file entry is inflated or copied (stored), its CRC-32 and size
//   checked, to target_folder + name, replacing an older file of that name
//   only when the whole entry came out sound, and given the entry's date and
//   time (local time) as access and modification time.
// An entry that cannot be unpacked is skipped silently and the walk goes on:
// a name that is absolute ("/x", "\x"), holds ":" or a ".." component (with
// "/" or "\"), holds a NUL or another control character, or does not fit
// with the folder in 260 bytes; an encrypted entry or one neither stored nor
// deflated; a corrupt one (its data, stored or inflated, not exactly its
// declared size or not matching its CRC-32: no more than the declared size
// is ever written); a target that cannot be written. A failed entry leaves
// no file of its own behind, and an older file of its name stays as it was. While an entry is
// unpacked its data is kept in a temporary file "~unpack-<process id>.tmp"
// directly in target_folder. Files the archive does not name are left alone.
// Returns 1 when the archive was opened (whatever became of its entries),
// 0 when it could not be opened or is not a zip archive; then nothing is
// changed.
int unpack_archive(const char* archive_path, const char* target_folder);

// Installs the runtime in archive_path as the folder runtime (its whole
// path, no final separator), whole or not at all. The runtime is the
// archive's top folder java/, or, when the archive has none, the one top
// folder all its entries lie below if that holds bin/java.exe (as vendors
// ship runtimes: jdk-17.0.9+9-jre/bin/java.exe). root ends in its separator
// ("\" on Windows, "/") and holds runtime, or the folder that holds it
// (made when missing, as for runtimes\<line>). The archive is unpacked as
// unpack_archive does into a staging folder "staging-<process id>" in root;
// only when every entry arrived (none refused, damaged or unwritable, the
// central directory read to its end) and it holds a runtime are the folders
// swapped: the installed runtime goes aside to "java-old-<process id>" in
// root, the staged one moves into its place, and the old one is removed.
// When the installed runtime cannot be moved (a program runs from it), it
// stays as it was. installed_as, when given, is written with a line end
// into the new runtime's file UNPACK_RECORD_NAME before it moves in, so the
// record comes and goes with the runtime it describes. The staging folder,
// with anything else the archive held, is removed in every case; the
// archive is left where it is. Returns 1 when the new runtime is in place,
// else 0. Only one install may run in root at a time.
int unpack_runtime(const char* archive_path, const char* root, const char* runtime,
                   const char* installed_as);

// "installed-as.txt": the version a runtime was installed as (runtime/installed.h).
extern const char UNPACK_RECORD_NAME[];

// Removes the runtime folder runtime (its whole path, no final separator,
// on root's volume) whole: it goes aside to "java-old-<process id>" in root
// first, so a runtime in use, which cannot be moved, stays as it is.
// Returns 1 when it is gone from its place, 0 when it stays. Under the same
// rule as unpack_runtime.
int unpack_remove_runtime(const char* root, const char* runtime);

// Removes the staging and set-aside folders that an install killed on the
// way left in root (which ends in its separator). Only while no install runs.
void unpack_remove_leftovers(const char* root);
