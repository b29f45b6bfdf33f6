// One HTTP/1.1 connection: the request text, the connection opened
// directly or through a proxy (a tunnel for https, TLS on it), requests
// sent, and the answers read in order: each header line by line into a
// StringList, then its body with http_read. Several requests may be sent
// before the answers to earlier ones are read (pipelining): answers come
// strictly in the order of the requests. The HTTP client that keeps a
// launch's connections over these calls is net/pool.h; net/http_get.h asks
// it for one request at a time.
//
// A body ends where its framing says: after its Content-Length, at the
// chunked coding's last chunk (decoded here), or where the server closes
// the connection. 1xx answers before the real one are read and passed over.
// A connection stays usable for the next answer when the server keeps it
// (HTTP/1.1 without "Connection: close", or HTTP/1.0 with "keep-alive") and
// the body was framed by its length or chunks and read to its end.
//
// A connection reads through a receive buffer of its own, in receives of
// what has arrived: one receive per piece, not per byte, since every call
// into the system costs (under Wine a round trip to its server). The header
// lines are taken from that buffer and the body continues from what it
// already holds.
#pragma once

#include "net/chunked.h"
#include "net/proxy.h"
#include "net/string_list.h"

#include <cstdint>

struct TlsSession;

enum {
    HTTP_REQUEST_SIZE = 2048,       // the whole request and its NUL
    HTTP_LINE_SIZE = 1024,          // one response header line and its NUL
    HTTP_CONNECT_SECONDS = 10,      // per address tried
    HTTP_RECEIVE_SECONDS = 60,      // every read after connecting
    HTTP_MAX_HEADER_LINES = 100,    // a response header stops being read here...
    HTTP_MAX_HEADER_BYTES = 65536,  // ...or here, whichever comes first
    HTTP_BUFFER_SIZE = 1 << 20,     // a connection's receive buffer
};

// The failures of opening a connection and asking on it; a success is the
// connected socket.
enum {
    HTTP_FAILED = -1,             // not sent, or no usable connection to the origin
    HTTP_UNTRUSTED = -2,          // the origin's certificate is not trusted
    HTTP_PROXY_UNREACHABLE = -3,  // the proxy could not be connected to
    HTTP_PROXY_AUTH = -4,         // the proxy wants a logon that cannot be given
};

// How the body of the answer being read ends.
enum HttpBody {
    HTTP_BODY_NONE,     // no body (a 304, say), or it has been read to its end
    HTTP_BODY_LENGTH,   // after left more bytes
    HTTP_BODY_CHUNKED,  // at the last chunk and the trailer after it
    HTTP_BODY_CLOSE,    // where the server closes the connection
};

// An open connection, made by http_open, owned by its caller
// and released with http_close. The received bytes not handed out yet are
// buffer[start, end).
struct HttpConnection {
    int socket;
    TlsSession* tls;  // for https://, owned; null for http://
    char* buffer;     // HTTP_BUFFER_SIZE bytes, owned
    int start;
    int end;
    int body;         // HttpBody of the answer being read
    long long left;   // HTTP_BODY_LENGTH: the bytes still to come
    ChunkedDecoder chunked;
    int persistent;   // 1 while the server keeps the connection after this answer
};

// A connection with nothing open, as http_open leaves it after a failure.
inline const HttpConnection HTTP_NO_CONNECTION = {-1, nullptr, nullptr, 0, 0, HTTP_BODY_NONE,
                                                  0, {}, 0};

// The first element of list whose header name is name (ignoring case, a
// ':' right after it), or null.
const char* http_header_line(const StringList* list, const char* name);

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

// The request for path on host and port, into out (HTTP_REQUEST_SIZE
// bytes, the whole request and its NUL):
//   GET /<path> HTTP/1.1 CRLF  Host: <host> CRLF  Accept: */* CRLF
//   User-Agent: simple http CRLF  [Connection: close CRLF]
//   <each element of request, which must end in CRLF>  CRLF
// with "Connection: close" only when last is 1 (the last request its
// connection will carry); request may be null. Through proxy (port not 0)
// plain http asks for the whole URL, "GET http://<host>:<port>/<path>
// HTTP/1.1" (a host with ':' in brackets), with the same lines; a tunnel
// carries the request as the origin gets it. 1, or 0 with the cause set
// when it does not fit or host or path holds a control character (CR and
// LF among them).
int http_request_text(const ProxyRoute* proxy, int secure, const char* host, int port,
                      const char* path, const StringList* request, int last, char* out);

// Opens a connection for requests to host and port without sending any:
// directly, or through proxy when it is not null and its port not 0, TLS
// for secure, 10 seconds per address tried and a receive time-out of 60
// seconds for every read; with patience (seconds, not 0) each address and
// every read until the connection is open (a proxy's tunnel, the TLS
// handshake) wait at most that long instead, and the reads after it 60
// seconds again. Through a proxy, https goes through a tunnel:
// "CONNECT <host>:<port> HTTP/1.1" with "Host: <host>:<port>" and
// "User-Agent: simple http", and only a 2xx answer lets the TLS handshake
// start; for plain http the connection is to the proxy itself, asked with
// http_ask_proxy. A 407 offering "Negotiate" or "NTLM" is answered with
// the user's logon (proxy_auth_step) and the request sent again. TLS
// checks the origin's certificate for host. Returns the socket, or with
// nothing left open: HTTP_FAILED (a control character in host, no buffer,
// no connection, an answer to CONNECT other than 2xx, a failed handshake),
// HTTP_UNTRUSTED, HTTP_PROXY_UNREACHABLE or HTTP_PROXY_AUTH (a 407 that
// could not be answered).
int http_open(const ProxyRoute* proxy, int secure, const char* host, int port, int patience,
              HttpConnection* connection);

// Sends size bytes of text (one request or several) on the connection, in
// one send where the platform takes them so. 1, or -1 with the cause set.
int http_send(HttpConnection* connection, const char* text, int size);

// Reads the next answer's header on the connection into response (CR LF
// kept; a line over 1023 characters comes as several elements), up to and
// including the empty line; 1xx answers before it are read and passed
// over. Reading stops early, without a message, at a read failure or
// time-out, or after 100 lines or 64 KiB of header (1xx answers included);
// http_header_complete tells. Makes ready to read the body. Returns the
// bytes of header received, 1xx answers included: 0 when the connection
// ended or failed before the first byte of the answer.
int http_read_answer(HttpConnection* connection, StringList* response);

// On a connection that http_open made to proxy for plain http: sends text
// (from http_request_text) and reads the proxy's answer into response,
// answering a 407 as http_open does, the logon handshake's middle legs
// with "Proxy-Connection: Keep-Alive" in place of "Connection: close" (the
// connection may be opened anew for it). Returns the socket or an HTTP_
// failure; after a failure the connection is closed.
int http_ask_proxy(const ProxyRoute* proxy, const char* host, int port, const char* text,
                   StringList* response, HttpConnection* connection);

// The next piece of the body: what the buffer holds, or else what one
// receive brings (at most HTTP_BUFFER_SIZE bytes), with the chunked
// coding's framing taken out. Points *data at it, valid until the next
// call on the connection. Returns its length; 0 at the body's end (its
// length, its last chunk, the server's close); -1 on an error or time-out,
// when the connection ends before the body does, for a malformed chunked
// body, and when bytes beyond a body's length arrived with it on a
// connection the server ends after it.
int http_read(HttpConnection* connection, const char** data);

// Reads the rest of the body and drops it when it is at most limit bytes.
// 1 when the connection can carry the next answer (http_reusable), else 0.
int http_discard(HttpConnection* connection, long long limit);

// 1 when the body has been read to its end and the server keeps the
// connection: the next answer can be read from it.
int http_reusable(const HttpConnection* connection);

// 1 when http_read would return at once: bytes are buffered (in the
// connection's buffer or its TLS session), or arrive (or the connection
// ends) within ms milliseconds. 0 otherwise.
int http_wait_readable(HttpConnection* connection, int ms);

// Ends the connection's TLS session, if any, closes its socket and frees
// its buffer. Returns the close's result, 0 or -1.
int http_close(HttpConnection* connection);
