// The serving side's listening socket: an IPv4 TCP listening socket on
// all addresses, accepting one connection per call, and a host name rendered
// as its numeric address. Winsock is started first when sockets_started is
// clear. Socket values follow the socket layer: signed 32-bit, -1 for none.
#pragma once

// Smallest buffer net_resolve_address writes into.
enum { NET_ADDRESS_SIZE = 22 };

// A TCP socket bound to port (its low 16 bits) on every IPv4 address, with
// SO_REUSEADDR on, not yet listening; server_accept starts the listening.
// Failures are printed with puts: "socket() failed" and "bind() failed" end
// in -1 (a socket that cannot be bound is closed first), "failed to set
// SO_REUSEADDR" only in the message. The caller owns the socket and closes it
// with sock_close or sock_release.
int server_open(unsigned port);

// Listens on sock (backlog 1024; calling it again is harmless) and waits for
// the next connection. Returns the connection's socket, which the caller
// owns, or -1 when accept fails. The peer's address is not returned. The
// connection sends small pieces at once (TCP_NODELAY), so a reply written in
// several sends does not wait on the peer's delayed acknowledgements.
int server_accept(int sock);

// Writes the numeric text of host's first IPv4 address ("127.0.0.1") into
// out, which holds at least NET_ADDRESS_SIZE bytes, and returns 1. When the
// name does not resolve to an IPv4 address, writes "0.0.0.0" and returns 0.
int net_resolve_address(const char* host, char* out);
