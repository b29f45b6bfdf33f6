// The socket layer: a handful of blocking TCP client operations over the
// platform's sockets (Winsock on Windows, POSIX sockets elsewhere). A
// connection is nothing but its socket value; the layer keeps no state of its
// own beyond sockets_started and an error held back by sock_recv_all. No
// operation reports anything to the user: failures are results only.
//
// Socket values are signed 32-bit; -1 means no socket, and is the failure
// result of every operation that yields one. The owner of a socket value
// closes it with sock_close or sock_release.
#pragma once

#include <cstdint>

// Set to 1 right after the process's first Winsock start-up (whatever it
// returned) and never cleared. Always 0 at process start. Not atomic: the
// library is used from one thread at a time.
extern int sockets_started;

// Starts Winsock, version 1.1, sets sockets_started and returns the
// start-up's result (0 when started). Natively there is nothing to start: 0.
int sock_startup(void);

// 1 when sockets_started is already set (even after a start-up that failed);
// otherwise the result of sock_startup.
int sock_ensure_started(void);

// Opens a TCP connection to host (a name or a numeric address) and port,
// trying each resolved address in turn and waiting at most seconds for each
// one. Returns a connected socket in blocking mode whose receive time-out is
// seconds * 1000 ms, or -1. Starts Winsock first when needed. Never leaves a
// socket open on failure.
int sock_connect(const char* host, uint32_t port, uint32_t seconds);

// sock_connect with a receive time-out of receive_seconds instead: one
// setting less for a caller that would change it at once (each costs a
// round trip to the Wine server under Wine).
int sock_connect_receiving(const char* host, uint32_t port, uint32_t seconds,
                           uint32_t receive_seconds);

// Sets the receive time-out to seconds * 1000 ms (0: no time-out).
// 1 on success, -1 on failure (a closed socket, for one).
int sock_set_recv_timeout(int socket, int seconds);

// Switch the socket to non-blocking or blocking mode. 1 or -1.
int sock_set_nonblocking(int socket);
int sock_set_blocking(int socket);

// Receives into buffer until size bytes have arrived, the peer has closed
// the connection, or an error or the receive time-out strikes. Returns the
// count received (size unless the connection ended), 0 when the peer had
// already closed, -1 on error or time-out with nothing received. Bytes that
// arrived before an error are returned first; the error shows on the next
// call on that socket from the same thread (the one piece of state the layer
// keeps, dropped when the socket is closed).
int sock_recv_all(int socket, char* buffer, int size);

// One receive of at most size bytes: what has arrived, without waiting for
// more once something has. Returns the count (1 to size), 0 when the peer
// has closed, -1 on error or time-out.
int sock_recv(int socket, char* buffer, int size);

// Waits at most ms milliseconds for the socket to have something to read (or
// to report a close or an error, which the next read then returns). 1 when
// it has, 0 on time-out, -1 on failure.
int sock_wait_readable(int socket, int ms);

// Reads one line, one byte per receive so nothing past its line feed is
// consumed. Stores at most size - 1 characters (the line feed included) and
// keeps buffer NUL-terminated at all times; a longer line comes in pieces of
// size - 1 characters. Returns the count stored, or -1 when the peer closed
// or a read failed before the line ended (the bytes read so far stay in the
// buffer). Size 1 returns 0 without receiving; a size below 1 returns -1
// and touches nothing.
int sock_read_line(int socket, char* buffer, int size);

// One send of text's length (without its NUL). Returns the count the
// platform sent (a partial send is not completed), or -1.
int sock_send_string(int socket, const char* text);

// Sends all size bytes, as many sends as that takes. Returns size, or -1
// when a send fails.
int sock_send_all(int socket, const char* data, int size);

// Shuts both directions down (result ignored), then closes. Returns the
// close's result, 0 or -1.
int sock_close(int socket);

// Closes without a shutdown. 0 or -1.
int sock_release(int socket);
