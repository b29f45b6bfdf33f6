// The web proxy a request goes through: the user's Windows proxy settings,
// read as Windows programs read them, and the proxy's own logon through the
// user's Windows logon (SSPI Negotiate or NTLM). Without a proxy set, every
// request goes directly to its origin.
#pragma once

#include "net/string_list.h"

#include <cstddef>

enum {
    PROXY_HOST_SIZE = 256,
    PROXY_DEFAULT_PORT = 80,  // a proxy named without a port
    PROXY_SCHEME_SIZE = 16,   // "Negotiate" or "NTLM" and its NUL
    PROXY_AUTH_LINE_SIZE = 32768,  // a logon line: Kerberos tokens reach 12 KiB
};

// Where a request connects: through host:port, or directly when port is 0.
struct ProxyRoute {
    char host[PROXY_HOST_SIZE];
    int port;
};

// The route for url under a proxy setting in the form Windows keeps it.
// list holds entries "[<scheme>=][http://]host[:port]" separated by ';' or
// blanks: an entry naming a scheme serves URLs of that scheme alone, one
// without serves every scheme; the first that serves url's scheme is taken.
// bypass holds entries separated by ';', ',' or blanks, each a host pattern
// ('*' matches any run of characters, letter case ignored) with an optional
// "<scheme>://" before and ":<port>" after, or "<local>", which matches
// every host name without a dot. Either text may be null. Fills *route
// and returns 1 for a proxy, 0 for a direct connection (url not parsed, no
// entry for its scheme, or bypassed); an entry whose host does not fit
// PROXY_HOST_SIZE or whose port is not 1 to 65535 is passed over.
int proxy_route_from_list(const char* url, const char* list, const char* bypass,
                          ProxyRoute* route);

// The route for url under the user's proxy settings: 1 through a proxy,
// 0 directly. On Windows: WinHttpGetIEProxyConfigForCurrentUser, read once;
// when auto-detection or an auto-config script is set, WinHttpGetProxyForUrl
// for the URL (its answer kept for the scheme, host and port for the rest of
// the process; a failed detection is not tried again and falls back to the
// fixed proxy); else the fixed proxy and its bypass list. Natively: the
// setting given to proxy_use_list.
int proxy_for_url(const char* url, ProxyRoute* route);

#ifndef _WIN32
// Natively there are no user settings to read: the list and bypass list
// (null: none) that proxy_for_url applies from now on. Copied.
void proxy_use_list(const char* list, const char* bypass);

// Natively there is no Windows logon either: token (null: none, at first)
// stands for it, given by proxy_auth_step as a handshake's one token.
void proxy_use_logon(const char* token);
#endif

// The scheme the launcher answers a 407 with, from the response's
// "Proxy-Authenticate" lines: "Negotiate" when offered, else "NTLM", into
// scheme (PROXY_SCHEME_SIZE bytes), and the challenge after the scheme's
// name (empty on the first leg) into challenge (size bytes). 0 when neither
// is offered ("Basic" and others are never answered) or the challenge does
// not fit.
int proxy_auth_offer(const StringList* response, char* scheme, char* challenge, size_t size);

// A logon handshake with a proxy in progress: made by proxy_auth_step,
// ended with proxy_auth_end.
struct ProxyAuth;

enum {
    PROXY_AUTH_NONE = 0,  // nothing to answer with
    PROXY_AUTH_LAST = 1,  // the handshake's last token
    PROXY_AUTH_MORE = 2,  // the proxy answers this token with a challenge
};

// The next token of the handshake in *auth (made on the first call, when
// *auth is null) for scheme and the proxy's challenge, with the user's
// Windows logon (no name or password is asked for or kept), for the
// service "HTTP/<proxy_host>": written to line as a whole
// "Proxy-Authorization: <scheme> <base64>" CR LF line (size bytes).
// Natively the token given to proxy_use_logon, if any, is the one token.
int proxy_auth_step(ProxyAuth** auth, const char* scheme, const char* challenge,
                    const char* proxy_host, char* line, size_t size);

// Frees the handshake; null is allowed.
void proxy_auth_end(ProxyAuth* auth);
