// The origin of a URL, scheme://host[:port] as the HTTP client connects to
// it, and whether a list of allowed origins takes it in. The list's owner
// (the launcher's site policy) reads it; the download checks every request
// and every redirect's target against it, so no hop reaches a site the
// list leaves out.
#pragma once

#include <cstddef>

// The origin of url into out: scheme and host in lower case, an IPv6
// address in brackets, the port left out when it is the scheme's default
// (80 for http, 443 for https). Returns 1, or 0 (out "") when url names no
// host (in letters, digits and "-._:%", as a browser writes even an
// international name) and decimal port (1 to 65535) to connect to, or the
// text does not fit.
int origin_text(const char* url, char* out, size_t size);

// 1 when lines is null (no list), or url's origin matches one of its
// lines: the same scheme and port, and the same host or, for "*.domain", a
// host that ends in ".domain". lines holds NUL-terminated lines and an
// empty one after the last (a REG_MULTI_SZ's form). Lines are read with
// blanks around them and one final "/" left out; a line with more than an
// origin (a path, a user) matches nothing. A URL without an origin matches
// nothing.
int origin_listed(const char* lines, const char* url);
