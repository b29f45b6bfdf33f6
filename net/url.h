// The URL parser: splits scheme://[user[:password]@]host[:port][/path] into
// fixed-size fields. One left-to-right pass of single-character searches; no
// percent decoding, no character checks. A component too long for its field
// leaves that field empty and the parse goes on.
#pragma once

#include <cstddef>

struct UrlParts {
    char scheme[16];       // text before the first ':'
    char credentials[54];  // between "://" and '@', whole
    char user[54];         // credentials up to their first ':'
    char password[54];     // credentials after their first ':'
    char host[80];         // without the brackets of the bracketed form
    char port[8];          // as given, or the scheme's default ("80", "443", "554")
    char path[1001];       // after the '/' ending host or port, cut at 1000
    int bracketed;         // 1 when the text after "://" (and credentials) holds a ']'
};

// Clears parts, then fills it from url (not changed). Returns 0 when url has
// a scheme followed by "://", -1 otherwise; after -1 parts holds at most the
// scheme. The searches for '@' and ':' run over the whole remaining text,
// path included, so "http://host/a:b" gives host "host/a" and port "b".
int url_parse(const char* url, UrlParts* parts);

// url without the credentials url_parse would find in it (the text from
// "://" to the first "@"), into out, cut at size - 1 characters: the form
// of a URL that may be shown or logged. size must be at least 1.
void url_strip_credentials(const char* url, char* out, size_t size);

// 1 when the scheme of parts is scheme, in any letter case; else 0.
int url_scheme_is(const UrlParts* parts, const char* scheme);

// Resolves reference, a URL that may be relative (a "Location" header's,
// say), against base, an absolute URL of the form scheme://authority...,
// by RFC 3986 section 5.2, into out (size bytes, NUL-terminated). A
// fragment is left out: it is never sent. Returns 1, or 0 when base has no
// scheme and authority or the result does not fit.
int url_resolve(const char* base, const char* reference, char* out, size_t size);
