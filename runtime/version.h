// The version check of the launcher's own builds: the installed version is
// read from the executable's fixed file version; the wanted version is taken
// from the name the launch descriptor gives the build; the two are compared
// as numbers when both are dotted decimals, else as texts. Runtimes are
// known by their Java versions instead (runtime/java_version.h), but their
// java.exe's file version is read here too.
#pragma once

#include <cstddef>

// Version texts live in buffers of this many bytes, NUL included.
enum { VERSION_TEXT_SIZE = 256 };

// Reads the fixed file version of the executable at path (system code page)
// and writes it as "a.b.c.d", each part a 16-bit decimal, into out, cut to
// size - 1 characters and always terminated. Returns 1 when out holds the
// text; 0 when no version could be read (no file, no version resource, no
// memory, a failed query) or size is 0, and then out is not written.
// Windows only.
int query_file_version(const char* path, char* out, size_t size);

// Takes the version a component's file name carries: the text after the last
// "-" up to, not including, the last "." of that text (jre-1.8.0_181.zip
// gives 1.8.0_181). No "-": returns 0 and out is not touched. Otherwise the
// text after the "-" is copied, cut at n - 1 characters and NUL-padded to n
// bytes; without a "." in it the copy stays and 0 is returned, else that "."
// ends the text and 1 is returned. n below 1 returns 0 and touches nothing.
int version_from_file_name(const char* name, char* out, int n);

// The wanted version of a component from the descriptor member's value (a
// plain name such as jre-1.2.3.4.zip or a whole URL): the text after the last
// "-" of the whole value, up to but not including its last ".", cut to n - 1
// characters. Without any "-" the wanted text is empty; a text after the "-"
// without "." is taken whole. out must hold n bytes; n below 1 leaves out
// untouched.
void component_wanted_version(const char* value, char* out, int n);

// 1 when the component is to be fetched, else 0. installed_known is the
// result of query_file_version: 0 (nothing installed that can be read)
// always fetches. Otherwise only a wanted version strictly greater than the
// installed one fetches. When both texts are dotted decimals (digits, fields
// joined by single "."), they are compared field by field as numbers of any
// size, a missing field counting as 0: 1.10 is greater than 1.9, and 1.2
// equals 1.2.0.0. Any other text (1.8.0_181, the empty text of a value
// without "-") is compared byte by byte as unsigned values, a prefix being
// the smaller, so an empty wanted text never fetches over a readable
// installed version.
int component_needs_update(int installed_known, const char* wanted, const char* installed);
