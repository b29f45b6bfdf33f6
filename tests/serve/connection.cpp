#include "tests/serve/connection.h"

#include "net/socket.h"
#include "net/socket_sys.h"
#include "serve/server.h"

#include <gtest/gtest.h>

#include <cstring>

Connection::Connection()
{
    sock_ensure_started();
    // Bound to loopback only, not through server_open (every address).
    sys_socket listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address;
    memset(&address, 0, sizeof address);
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener, 1) != 0) {
        ADD_FAILURE() << "cannot listen on loopback";
        sock_release(sys_value(listener));
        return;
    }
    int port = local_port(sys_value(listener));
    client = sock_connect("127.0.0.1", static_cast<uint32_t>(port), 10);
    if (client != -1)
        server = server_accept(sys_value(listener));
    sock_release(sys_value(listener));
    EXPECT_NE(client, -1);
    EXPECT_NE(server, -1);
}

Connection::~Connection()
{
    if (server != -1)
        sock_release(server);
    if (client != -1)
        sock_release(client);
}

std::string Connection::finish()
{
    sock_close(server);
    server = -1;
    return read_until_closed(client);
}

int local_port(int sock)
{
    sockaddr_in address;
    socklen_t size = sizeof address;
    if (getsockname(sys_handle(sock), reinterpret_cast<sockaddr*>(&address), &size) != 0)
        return 0;
    return ntohs(address.sin_port);
}

std::string read_until_closed(int sock)
{
    std::string bytes;
    char buffer[4096];
    for (;;) {
        int got = sock_recv_all(sock, buffer, sizeof buffer);
        if (got <= 0)
            return bytes;
        bytes.append(buffer, static_cast<size_t>(got));
    }
}
