#include "serve/server.h"

#include "net/socket.h"
#include "serve/server_sys.h"

#include <cstdio>
#include <cstring>

enum { LISTEN_BACKLOG = 1024 };

int server_open(unsigned port)
{
    if (!sockets_started)
        sock_startup();
    sys_socket handle = socket(AF_INET, SOCK_STREAM, 0);
    int sock = sys_value(handle);
    if (sock == -1) {
        puts("socket() failed");
        return -1;
    }
    int on = 1;
    if (setsockopt(handle, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&on),
                   sizeof on) != 0)
        puts("failed to set SO_REUSEADDR");

    sockaddr_in address;
    memset(&address, 0, sizeof address);
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<unsigned short>(port & 0xFFFF));
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    if (bind(handle, reinterpret_cast<const sockaddr*>(&address), sizeof address) < 0) {
        puts("bind() failed");
        sock_release(sock);
        return -1;
    }
    return sock;
}

int server_accept(int sock)
{
    sys_socket handle = sys_handle(sock);
    listen(handle, LISTEN_BACKLOG);
    sockaddr_in peer;
    socklen_t peer_size = sizeof peer;
    sys_socket conn = accept(handle, reinterpret_cast<sockaddr*>(&peer), &peer_size);
    // Every reply goes out in several sends (header, then body pieces). With
    // Nagle's algorithm on, each later piece would wait for the client's
    // delayed acknowledgement of the first, some 40 to 200 ms per reply on a
    // kept-alive connection.
    if (sys_value(conn) != -1)
        sys_set_nodelay(conn);
    return sys_value(conn);
}

int net_resolve_address(const char* host, char* out)
{
    if (!sockets_started)
        sock_startup();
    addrinfo hints;
    memset(&hints, 0, sizeof hints);
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    int rendered = 0;
    if (getaddrinfo(host, nullptr, &hints, &list) == 0 && list) {
        rendered = getnameinfo(list->ai_addr, static_cast<socklen_t>(list->ai_addrlen), out,
                               NET_ADDRESS_SIZE, nullptr, 0, NI_NUMERICHOST) == 0;
    }
    if (list)
        freeaddrinfo(list);
    if (!rendered)
        snprintf(out, NET_ADDRESS_SIZE, "0.0.0.0");
    return rendered;
}
