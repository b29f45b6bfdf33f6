// A minimal HTTP/1.0 GET client. http_get sends a fixed request (plus the
// caller's extra header lines), reads the response header line by line into
// a StringList and hands back the open connection positioned at the body,
// which the caller reads with sock_recv_all and closes with http_close.
#pragma once

#include "net/string_list.h"

#include <cstdint>

enum {
    HTTP_REQUEST_SIZE = 2048,       // the whole request and its NUL
    HTTP_LINE_SIZE = 1024,          // one response header line and its NUL
    HTTP_CONNECT_SECONDS = 10,      // per address tried
    HTTP_RECEIVE_SECONDS = 60,      // every read after connecting
    HTTP_MAX_HEADER_LINES = 100,    // a response header stops being read here...
    HTTP_MAX_HEADER_BYTES = 65536,  // ...or here, whichever comes first
};

// Finds the first element of list whose header name is name (ignoring case,
// a ':' right after it) and copies its value into out: from after the ':'
// and any blanks or tabs to the line's CR, LF or end, cut at size - 1
// characters and NUL-terminated. Returns 1 (also for an empty value), or 0
// when no element matches or size is 0; out is then untouched.
int http_header_value(const StringList* list, const char* name, char* out, uint32_t size);

// The status code of the list's first element (the status line), read from
// at most the three characters after its first space: "HTTP/1.1 304 Not
// Modified" gives 304. 0 for an empty list or a line without a space.
int http_status_code(const StringList* list);

// 1 when the last element of a response header list is the empty line that
// ends a header (first character CR or LF): the header arrived whole.
int http_header_complete(const StringList* list);

// Connects to host and port (10 seconds per address), sets the receive
// time-out to 60 seconds and sends, in one send:
//   GET /<path> HTTP/1.0 CRLF  Host: <host> CRLF  Accept: */* CRLF
//   User-Agent: simple http CRLF  Connection: close CRLF
//   <each element of request, which must end in CRLF>  CRLF
// then appends the response header lines to response as they arrive (CR LF
// kept; a line over 1023 characters comes as several elements), up to and
// including the empty line. Reading stops early, without a message, at a
// read failure or time-out, or after 100 lines or 64 KiB of header;
// http_header_complete tells. request may be null.
// Returns the connected socket (the caller owns it), or -1 when the request
// does not fit 2048 bytes (nothing is contacted), the connect fails or the
// send fails (the socket is closed); nothing is added to response then.
int http_get(const char* host, int port, const char* path, StringList* response,
             const StringList* request);

// http_get on the parts of url (url_parse; its result is not examined, so a
// rejected URL runs with empty host, port and path), the port read with
// strtol, base 10.
int http_get_url(const char* url, StringList* response, const StringList* request);
