// One GET at a time: each call is a single request of the HTTP client
// (net/pool.h), sent alone on a connection of its own with "Connection:
// close", whose answer's header is read into response and whose connection
// is handed to the caller at the body: the caller reads it with http_read
// and closes it with http_close. The framing, the 1xx answers, the proxy's
// way and the TLS check are the client's, as net/http.h tells.
#pragma once

#include "net/http.h"
#include "net/proxy.h"
#include "net/string_list.h"

// Sends, on a new connection to host and port (10 seconds per address, a
// receive time-out of 60 seconds for every read), the request of
// http_request_text for path with "Connection: close" and the elements of
// request (each ending in CRLF; request may be null), then appends the
// answer's header lines to response as http_read_answer reads them.
// Returns the connected socket, with connection open on it at the body, or
// HTTP_FAILED when the request does not fit 2048 bytes, host or path holds
// a control character (CR and LF among them), host does not fit
// PROXY_HOST_SIZE or no buffer can be had (nothing is contacted), the
// connect fails or the send fails; nothing is added to response and
// nothing is left open then.
int http_get(const char* host, int port, const char* path, StringList* response,
             const StringList* request, HttpConnection* connection);

// http_get over TLS (https://): the same request, sent once a TLS
// handshake with the server has succeeded and its certificate is trusted
// for host. Returns as http_get does, and HTTP_UNTRUSTED when the
// certificate is not trusted (nothing is sent then). Natively every call
// fails with HTTP_FAILED.
int https_get(const char* host, int port, const char* path, StringList* response,
              const StringList* request, HttpConnection* connection);

// http_get (secure 0) or https_get (secure 1) through proxy, or directly
// when proxy is null or its port 0, the way http_open and http_ask_proxy
// go. Returns the socket, with response and connection as http_get leaves
// them, or: HTTP_PROXY_UNREACHABLE, the proxy not connected;
// HTTP_PROXY_AUTH, a 407 that could not be answered; HTTP_FAILED also for
// an answer to CONNECT other than 2xx.
int http_get_routed(const ProxyRoute* proxy, int secure, const char* host, int port,
                    const char* path, StringList* response, const StringList* request,
                    HttpConnection* connection);

// http_get, or https_get for an "https" URL, on the parts of url
// (url_parse; its result is not examined, so a rejected URL runs with empty
// host, port and path), the port read with strtol, base 10.
int http_get_url(const char* url, StringList* response, const StringList* request,
                 HttpConnection* connection);
