// Small stateless file, folder, process and text operations shared by the
// launcher. Texts are NUL-terminated UTF-8 byte strings; paths are Windows
// paths with "\" as separator. On Windows every name and command line goes
// to the wide functions, so names beyond the process's code page arrive
// whole on any Windows (base/utf8.h). Nothing here shows anything to the
// user or says why it failed: each caller decides what a failure means.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

// Path buffers are MAX_PATH bytes including the terminating NUL.
enum { FILEUTIL_PATH_SIZE = 260 };

// Creates, from the left, every folder named by a prefix of path that ends in
// "\" (so "C:\a\b\" makes C:\, C:\a\ and C:\a\b\; nothing after the last "\"
// is made). Each failure (exists, access denied, drive root) is ignored.
// Prefixes of 260 characters or more are not attempted. Windows only.
void make_folder_chain(const char* path);

// Reads the whole file (mode "rb") into a heap block followed by one NUL and
// stores the byte count, NUL excluded, in *length. Returns null, leaving
// *length untouched, when the file cannot be opened or memory runs out; a
// read error ends the file where it struck. The caller frees the block.
// Files of 2 GiB or more do not fit the length and are refused (null).
char* read_whole_file(const char* path, int* length);

// Creates or truncates path (mode "wb") and writes size bytes with one write
// call. Returns the count that call reported, or 0 when the file cannot be
// opened.
int write_whole_file(const char* path, const void* data, size_t size);

// fopen of a UTF-8 path (on Windows through _wfopen).
FILE* file_open(const char* path, const char* mode);

// Starts command_line (the program is its first token) with CreateProcess
// and CREATE_NO_WINDOW, closes both handles at once and does not wait.
// True when the process was started. Windows only.
bool run_hidden(const char* command_line);

#ifdef _WIN32
// CopyFile (replacing to), MoveFileEx with flags, DeleteFile and
// GetFileAttributes of UTF-8 paths; each returns what the call returns.
bool file_copy(const char* from, const char* to);
bool file_move(const char* from, const char* to, unsigned long flags);
bool file_delete(const char* path);
unsigned long file_attributes(const char* path);

// The names of the files (folders false) or of the folders (folders true,
// "." and ".." left out) in folder, which ends in "\"; a folder that is not
// there has none. False when it could not be listed whole.
bool file_list_names(const char* folder, bool folders, std::vector<std::string>* names);
#endif

// Overwrites in place every character of text that occurs in set with the
// byte replacement; a NUL replacement ends the text there. Returns the
// text's length afterwards.
size_t replace_chars(char* text, const char* set, int replacement);

// 1 when text contains "://" anywhere, else 0.
int is_url(const char* text);

// 1 when the file "release" in folder (which ends in "\") can be read, else
// 0; also 0 when the path would not fit a path buffer.
int release_file_present(const char* folder);
