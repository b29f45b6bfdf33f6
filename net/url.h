// The URL parser: splits scheme://[user[:password]@]host[:port][/path] into
// fixed-size fields. One left-to-right pass of single-character searches; no
// percent decoding, no character checks. A component too long for its field
// leaves that field empty and the parse goes on.
#pragma once

struct UrlParts {
    char scheme[16];       // text before the first ':'
    char credentials[54];  // between "://" and '@', whole
    char user[54];         // credentials up to their first ':'
    char password[54];     // credentials after their first ':'
    char host[80];         // without the brackets of the bracketed form
    char port[8];          // as given, or the scheme's default ("80", "554")
    char path[1001];       // after the '/' ending host or port, cut at 1000
    int bracketed;         // 1 when the text after "://" (and credentials) holds a ']'
};

// Clears parts, then fills it from url (not changed). Returns 0 when url has
// a scheme followed by "://", -1 otherwise; after -1 parts holds at most the
// scheme. The searches for '@' and ':' run over the whole remaining text,
// path included, so "http://host/a:b" gives host "host/a" and port "b".
int url_parse(const char* url, UrlParts* parts);
