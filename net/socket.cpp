// The portable part of the socket layer; the platform primitives are in
// socket_win.cpp and socket_posix.cpp.
#include "net/socket.h"

#include "net/cause.h"
#include "net/socket_sys.h"

#include <cstdio>
#include <cstring>

int sockets_started = 0;

int sock_startup(void)
{
    int result = sys_startup();
    sockets_started = 1;
    return result;
}

int sock_ensure_started(void)
{
    if (sockets_started)
        return 1;
    return sock_startup();
}

namespace {

// The cause of a failed connect, send or receive with the system's code;
// timed_out and otherwise name the operation's own time-out and failure.
void set_cause(int code, const char* timed_out, const char* otherwise)
{
    const char* text = otherwise;
    switch (sys_error_kind(code)) {
    case SYS_ERROR_REFUSED:
        text = "connection refused";
        break;
    case SYS_ERROR_TIMED_OUT:
        text = timed_out;
        break;
    case SYS_ERROR_HOST_UNREACHABLE:
        text = "host unreachable";
        break;
    case SYS_ERROR_NETWORK_UNREACHABLE:
        text = "network unreachable";
        break;
    case SYS_ERROR_RESET:
        text = "connection reset";
        break;
    case SYS_ERROR_OTHER:
        break;
    }
    cause_set(text, code);
}

// One address of the walk: a connected socket still in non-blocking mode,
// or -1 with nothing left open and the cause set.
int connect_one(const struct addrinfo* address, uint32_t seconds)
{
    sys_socket s = socket(address->ai_family, address->ai_socktype, address->ai_protocol);
    int value = sys_value(s);
    if (value == -1) {
        set_cause(sys_last_error(), "connection timed out", "no socket");
        return -1;
    }
    if (sys_set_nonblocking(s, 1) != 0) {
        set_cause(sys_last_error(), "connection timed out", "connection failed");
        sys_close(s);
        return -1;
    }
    if (connect(s, address->ai_addr, static_cast<int>(address->ai_addrlen)) != -1)
        return value;
    int waited = sys_connect_pending() ? sys_wait_connect(s, seconds) : -1;
    if (waited == 0)
        cause_set("connection timed out", 0);
    else if (waited != 1)
        set_cause(sys_connect_error(s), "connection timed out", "connection failed");
    if (waited != 1) {
        sys_close(s);
        return -1;
    }
    return value;
}

} // namespace

int sock_connect_addresses(const struct addrinfo* list, uint32_t seconds)
{
    return connect_addresses(list, seconds, seconds);
}

int connect_addresses(const struct addrinfo* list, uint32_t seconds, uint32_t receive_seconds)
{
    int value = -1;
    for (const struct addrinfo* address = list; address && value == -1;
         address = address->ai_next)
        value = connect_one(address, seconds);
    if (value == -1)
        return -1;
    sys_socket s = sys_handle(value);
    // Unsigned arithmetic: an absurd time-out wraps instead of overflowing.
    sys_set_recv_timeout_ms(s, receive_seconds * 1000u);
    if (sys_set_nonblocking(s, 0) != 0) {
        sys_shutdown_both(s);
        sys_close(s);
        return -1;
    }
    return value;
}

int sock_connect(const char* host, uint32_t port, uint32_t seconds)
{
    return sock_connect_receiving(host, port, seconds, seconds);
}

int sock_connect_receiving(const char* host, uint32_t port, uint32_t seconds,
                           uint32_t receive_seconds)
{
    if (!sockets_started)
        sock_startup();
    char service[10];
    snprintf(service, sizeof service, "%d", static_cast<int>(port));
    struct addrinfo hints;
    memset(&hints, 0, sizeof hints);
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    struct addrinfo* list = nullptr;
    int resolved = getaddrinfo(host, service, &hints, &list);
    if (resolved != 0) {
        cause_set("name not resolved", resolved);
        return -1;
    }
    int value = connect_addresses(list, seconds, receive_seconds);
    freeaddrinfo(list);
    return value;
}

int sock_set_recv_timeout(int socket, int seconds)
{
    uint32_t ms = static_cast<uint32_t>(seconds) * 1000u;
    return sys_set_recv_timeout_ms(sys_handle(socket), ms) == 0 ? 1 : -1;
}

int sock_set_nonblocking(int socket)
{
    return sys_set_nonblocking(sys_handle(socket), 1) == 0 ? 1 : -1;
}

int sock_set_blocking(int socket)
{
    return sys_set_nonblocking(sys_handle(socket), 0) == 0 ? 1 : -1;
}

namespace {

// The socket whose last sock_recv_all returned bytes that came before an
// error: the platform reports an error (a reset, say) only once, so it is
// kept here for the next call. Per thread, like the call that set it.
thread_local int recv_error_pending = -1;

} // namespace

int sock_recv_all(int socket, char* buffer, int size)
{
    if (recv_error_pending == socket) {
        recv_error_pending = -1;
        return -1;
    }
    sys_socket s = sys_handle(socket);
    int total = 0;
    // MSG_WAITALL alone would do on Windows and Linux, but Wine ignores it and
    // returns what has arrived, so the loop keeps the whole-block contract.
    while (total < size) {
        int got = sys_recv(s, buffer + total, size - total, MSG_WAITALL);
        if (got < 0)
            set_cause(sys_last_error(), "receive timed out", "receive failed");
        if (got < 0 && total > 0)
            recv_error_pending = socket;
        if (got <= 0)
            return total > 0 ? total : got;
        total += got;
    }
    return total;
}

int sock_recv(int socket, char* buffer, int size)
{
    int got = sys_recv(sys_handle(socket), buffer, size, 0);
    if (got >= 0)
        return got;
    set_cause(sys_last_error(), "receive timed out", "receive failed");
    return -1;
}

int sock_wait_readable(int socket, int ms)
{
    return sys_wait_readable(sys_handle(socket), ms);
}

int sock_read_line(int socket, char* buffer, int size)
{
    if (size < 1)
        return -1;
    sys_socket s = sys_handle(socket);
    buffer[0] = '\0';
    int count = 0;
    while (count < size - 1) {
        char byte;
        if (sys_recv(s, &byte, 1, MSG_WAITALL) <= 0)
            return -1;
        buffer[count] = byte;
        buffer[count + 1] = '\0';
        count++;
        if (byte == '\n')
            break;
    }
    return count;
}

int sock_send_string(int socket, const char* text)
{
    int sent = static_cast<int>(send(sys_handle(socket), text, static_cast<int>(strlen(text)),
                                     sys_send_flags));
    if (sent >= 0)
        return sent;
    set_cause(sys_last_error(), "send timed out", "send failed");
    return -1;
}

int sock_send_all(int socket, const char* data, int size)
{
    for (int sent = 0; sent < size;) {
        int piece = static_cast<int>(send(sys_handle(socket), data + sent, size - sent,
                                          sys_send_flags));
        if (piece <= 0) {
            set_cause(sys_last_error(), "send timed out", "send failed");
            return -1;
        }
        sent += piece;
    }
    return size;
}

int sock_close(int socket)
{
    if (recv_error_pending == socket)
        recv_error_pending = -1;
    sys_socket s = sys_handle(socket);
    sys_shutdown_both(s);
    return sys_close(s) == 0 ? 0 : -1;
}

int sock_release(int socket)
{
    if (recv_error_pending == socket)
        recv_error_pending = -1;
    return sys_close(sys_handle(socket)) == 0 ? 0 : -1;
}
