// Writers of the four HTTP replies of the serving side. Every reply announces
// a persistent connection ("Connection: Keep-Alive", "Keep-Alive: timeout=60").
// Headers are composed in a 1024-byte buffer and go out in one send; bodies
// are sent straight from the caller's text. Sends go through sock_send_string:
// only -1 counts as failure, a short count does not. After a failure nothing
// more is sent and the connection stays open for the caller to close.
#pragma once

// Composed headers, blank line included, fit in HTTP_REPLY_HEADER_SIZE - 1
// bytes; any content type of up to 900 characters fits.
enum { HTTP_REPLY_HEADER_SIZE = 1024 };

// Sends the fixed 120-byte 204 reply (Content-Type: text/plain,
// Content-Length: 0) in one send. Returns the bytes sent, or -1.
int http_reply_no_content(int sock);

// Sends the 200 header with content_type, and "Content-Length: <length>" when
// length is not -1. Returns the bytes sent, or -1; -1 without sending when the
// header would not fit its buffer.
int http_reply_header(int sock, const char* content_type, int length);

// Sends the 200 header with the body's length, then the body. 1, or -1 at the
// first failed send (or when the header would not fit or the body is 2 GiB or
// more, without sending).
int http_reply_ok(int sock, const char* content_type, const char* body);

// Sends a 200 reply of type "text/javascript" whose body is the call
// "<callback>(<payload>);", in four sends after the header. 1, or -1 as
// http_reply_ok. The callback name becomes script that a browser runs, so it
// must be a plain name path: dot-separated JavaScript names of letters,
// digits, "_" and "$", none starting with a digit, 128 characters at most.
// Any other name gets the 400 reply with a plain-text body instead, and the
// result is 0 when that reply went out (-1 when it failed).
int http_reply_jsonp(int sock, const char* payload, const char* callback);

// Sends the 400 header with content_type and the body's length (the
// Content-Length line is always present), then the body. 1, or -1 as
// http_reply_ok.
int http_reply_bad_request(int sock, const char* content_type, const char* body);
