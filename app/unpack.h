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
