// Where an opened file came from, as the browser that downloaded it wrote
// it: the "Zone.Identifier" alternate data stream, an INI text whose
// [ZoneTransfer] section holds "ZoneId=<n>" (0 the local machine, 1 the
// intranet, 2 trusted sites, 3 the Internet, 4 restricted sites). A
// descriptor from the Internet or restricted sites is treated like a link.
#pragma once

#include <cstddef>

// The stream is a few lines; one longer than this is not read.
enum { ZONE_STREAM_MAX = 4096 };

// The ZoneId of the stream's text (length bytes, ASCII, UTF-8 with a
// byte-order mark or UTF-16LE with one): the decimal value of the first
// "ZoneId" key (letter case aside, blanks around "=") in the [ZoneTransfer]
// section. -1 when there is none or it is no number.
int zone_of_identifier(const char* text, size_t length);

// 1 for the zones whose files are asked about: the Internet (3) and
// restricted sites (4), and any value above.
int zone_is_remote(int zone);

#ifdef _WIN32
// The ZoneId of the file at path (UTF-8): zone_of_identifier of its
// "<path>:Zone.Identifier" stream, -1 when it has none. A stream that
// cannot be read whole within ZONE_STREAM_MAX bytes, or names no zone,
// counts as the Internet's (3), logged: a mark that does not read is no
// trust.
int zone_of_file(const char* path);
#endif
