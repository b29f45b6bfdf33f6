// Internal to the network library: the platform's socket headers and the few
// primitives whose form differs between Winsock (socket_win.cpp) and POSIX
// sockets (socket_posix.cpp). Everything else in socket.cpp uses the calls
// both platforms share (getaddrinfo, socket, connect, getsockopt, send).
#pragma once

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
typedef SOCKET sys_socket;
#else
#include <netdb.h>
#include <sys/socket.h>
#include <sys/types.h>
typedef int sys_socket;
#endif

#include <cstdint>

// The platform handle of a socket value, widened with its sign (-1 gives the
// platform's invalid socket).
inline sys_socket sys_handle(int value)
{
    return static_cast<sys_socket>(static_cast<intptr_t>(value));
}

// The socket value of a platform handle, narrowed to 32 bits (the invalid
// socket gives -1).
inline int sys_value(sys_socket handle)
{
    return static_cast<int>(handle);
}

// WSAStartup for version 1.1 and its result; natively 0.
int sys_startup(void);

// closesocket / close: 0 or -1.
int sys_close(sys_socket s);

// shutdown of both directions (SD_BOTH / SHUT_RDWR); its result is not needed.
void sys_shutdown_both(sys_socket s);

// FIONBIO with on (1 non-blocking, 0 blocking): 0 or -1.
int sys_set_nonblocking(sys_socket s, unsigned long on);

// 1 when the last connect failed only because it goes on in the background
// (WSAEWOULDBLOCK / EINPROGRESS).
int sys_connect_pending(void);

// Waits at most seconds for a pending connect to finish: 1 when it
// connected, 0 on time-out, -1 when it failed or the wait did.
int sys_wait_connect(sys_socket s, uint32_t seconds);

// Waits at most ms milliseconds for the socket to turn readable: 1, 0 on
// time-out, -1 on failure.
int sys_wait_readable(sys_socket s, int ms);

// SO_RCVTIMEO as a millisecond count (a DWORD on Windows, a timeval here).
// 0 or -1.
int sys_set_recv_timeout_ms(sys_socket s, uint32_t ms);

// recv. Natively a signal that interrupts the wait before any byte arrived
// (EINTR; a socket with a receive time-out is never restarted by the
// system) is waited out again, so only the peer, an error or the time-out
// ends a read. Winsock has no such case.
int sys_recv(sys_socket s, char* buffer, int size, int flags);

// Flags for every send: natively MSG_NOSIGNAL, so a peer that has gone
// yields -1 instead of SIGPIPE ending the process.
extern const int sys_send_flags;

// What a socket error code means, as far as the launch log tells it.
enum SysErrorKind {
    SYS_ERROR_OTHER,
    SYS_ERROR_REFUSED,
    SYS_ERROR_TIMED_OUT,
    SYS_ERROR_HOST_UNREACHABLE,
    SYS_ERROR_NETWORK_UNREACHABLE,
    SYS_ERROR_RESET,
};

// The calling thread's last socket error (WSAGetLastError / errno).
int sys_last_error(void);

// A failed connect's own error (SO_ERROR); sys_last_error when it cannot be
// read.
int sys_connect_error(sys_socket s);

SysErrorKind sys_error_kind(int code);

// The address walk of sock_connect over an already resolved list, exposed
// for the tests: tries each address in order, seconds each. A connected
// socket in blocking mode with the receive time-out set, or -1.
int sock_connect_addresses(const struct addrinfo* list, uint32_t seconds);

// The same walk with the receive time-out set to receive_seconds instead.
int connect_addresses(const struct addrinfo* list, uint32_t seconds, uint32_t receive_seconds);
