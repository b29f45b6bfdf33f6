// Loopback connections between two socket values of the library, for the
// responder tests: the serving end comes from server_accept, the client end
// from sock_connect, so replies can be written on one and read on the other.
#pragma once

#include <string>

struct Connection {
    Connection();
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Closes the serving end and returns every byte the client end received,
    // up to the close (or a 10-second receive time-out).
    std::string finish();

    int server = -1;
    int client = -1;
};

// The local port of a socket value, or 0.
int local_port(int sock);

// Everything the socket receives until the peer closes or the time-out.
std::string read_until_closed(int sock);
