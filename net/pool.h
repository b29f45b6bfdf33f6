// The connections of one launch: one per server (scheme, host, port and the
// route: directly, or through the same proxy), kept from request to request
// for the resources, the runtime and the launcher alike. Requests of later
// files may be sent on a server's connection before the answer being read
// (pipelining, up to POOL_DEPTH in flight); the answers are taken strictly
// in the order of the requests. A connection that ends before all its
// requests are answered has the rest sent again on a new connection, one
// at a time, and its server gets no pipelined requests for the rest of the
// launch. Plain http through a proxy keeps its connection but is never
// pipelined. Every request and every such decision goes to the launch log.
// Runs on the launch task's worker thread, like the download.
#pragma once

#include "net/http.h"
#include "net/proxy.h"
#include "net/string_list.h"

enum {
    POOL_DEPTH = 64,              // requests in flight on one connection
    POOL_DISCARD_LIMIT = 65536,   // a body not wanted is read away up to this
    POOL_TEXT_SIZE = 2304,        // what the log says of a request
};

// Where a request goes: the key of its connection.
struct PoolServer {
    ProxyRoute route;  // port 0: directly
    int secure;
    char host[PROXY_HOST_SIZE];
    int port;
};

struct ConnectionPool;

// 1 when a and b name the same server and route.
int pool_same_server(const PoolServer* a, const PoolServer* b);

// An empty pool; null when memory runs out. Freed with pool_free.
ConnectionPool* pool_make(void);

// Closes every connection and frees the pool; null is allowed.
void pool_free(ConnectionPool* pool);

// Seconds within which the connections opened from now on must be made
// (and their tunnel and TLS handshake done, http_open's patience), and
// within which each answer's first byte must arrive: a server that is
// silent that long counts as one that cannot be reached, and the request
// is not sent again. 0 (the default): the usual time-outs alone. Bytes
// that have begun to arrive are read under the usual time-outs. The first
// byte of an answer through a proxy asked for plain http is waited for
// under the usual time-outs.
void pool_set_patience(ConnectionPool* pool, int seconds);

// 1 when a request for server could be sent now ahead of the answers not
// taken yet: its connection is open, pipelined, and has room.
int pool_can_send_ahead(const ConnectionPool* pool, const PoolServer* server);

// How pool_request sends a request.
enum PoolWay {
    POOL_NOW,    // taken up now: on the server's connection when that has
                 // nothing in flight, else on a connection of its own
    POOL_AHEAD,  // ahead of the answers not taken yet (pool_can_send_ahead)
    POOL_ALONE,  // on a connection of its own, whatever the server's holds
};

// Sends the request for path with the extra header lines (copied) to
// server, or puts it in line to go with the next pool_flush, the way way
// says. A request not sent ahead goes on the server's connection when that
// has nothing in flight (POOL_NOW), opened here when it is closed, else on
// a connection of its own that carries it alone (with "Connection:
// close"). what ("GET <url> <way>...") is logged with the connection's
// kind, and again should the request be sent again. Returns a ticket for
// pool_answer, or an HTTP_ failure: the request does not fit, or the
// connection could not be opened (nothing is kept then).
int pool_request(ConnectionPool* pool, const PoolServer* server, const char* path,
                 const StringList* lines, const char* what, int way);

// 1 while ticket's request is in flight on a connection: sent, or in line
// to be, and not lost with its connection since.
int pool_in_flight(const ConnectionPool* pool, int ticket);

// Sends what the requests put in line hold, one send per connection.
void pool_flush(ConnectionPool* pool);

// Takes the answer to ticket, which must be the first unanswered request
// of its connection: its header into response and *connection at its body.
// A request whose connection ended before any byte of its answer came
// (unless it went alone on a fresh connection) is sent again, alone, on a
// new connection first. Returns the socket, or an HTTP_ failure of its
// connection (opened anew, or its first send): the host then counts as
// failed.
int pool_answer(ConnectionPool* pool, int ticket, StringList* response,
                HttpConnection** connection);

// Hands the connection that carries ticket's answer, at its body (after
// pool_answer returned its socket), to the caller, who then owns it and
// closes it with http_close; the pool keeps nothing of it. For a request
// sent POOL_ALONE, whose connection carries nothing else.
void pool_take_connection(ConnectionPool* pool, int ticket, HttpConnection* connection);

// Ends the answer to ticket once its body was read or abandoned: the
// connection serves the next answer when the server keeps it and the body
// was read to its end; otherwise it is closed, and requests still in
// flight on it go again one at a time.
void pool_done(ConnectionPool* pool, int ticket);

// Ends a list of requests: connections with requests still in flight (after
// a file failed, say) are closed, and the tickets forgotten.
void pool_end_list(ConnectionPool* pool);
