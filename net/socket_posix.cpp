// POSIX primitives of the socket layer.
#include "net/socket_sys.h"

#include <cerrno>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/select.h>
#include <sys/time.h>
#include <unistd.h>

const int sys_send_flags = MSG_NOSIGNAL;

int sys_startup(void)
{
    return 0;
}

int sys_close(sys_socket s)
{
    return close(s) == 0 ? 0 : -1;
}

void sys_shutdown_both(sys_socket s)
{
    shutdown(s, SHUT_RDWR);
}

int sys_set_nonblocking(sys_socket s, unsigned long on)
{
    int mode = static_cast<int>(on);
    return ioctl(s, FIONBIO, &mode) == 0 ? 0 : -1;
}

int sys_connect_pending(void)
{
    return errno == EINPROGRESS;
}

int sys_wait_connect(sys_socket s, uint32_t seconds)
{
    // select cannot watch descriptors past FD_SETSIZE.
    if (s < 0 || s >= FD_SETSIZE)
        return -1;
    // A failed connect shows as writable here, with SO_ERROR set.
    fd_set writable;
    FD_ZERO(&writable);
    FD_SET(s, &writable);
    timeval wait = {static_cast<time_t>(seconds), 0};
    int ready = select(s + 1, nullptr, &writable, nullptr, &wait);
    if (ready <= 0)
        return ready;
    int error = 0;
    socklen_t length = sizeof error;
    if (getsockopt(s, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0)
        return 1;
    // Reading SO_ERROR clears it: errno keeps it for sys_connect_error.
    if (error != 0)
        errno = error;
    return -1;
}

int sys_wait_readable(sys_socket s, int ms)
{
    pollfd watched = {s, POLLIN, 0};
    int ready = poll(&watched, 1, ms);
    return ready < 0 ? (errno == EINTR ? 0 : -1) : ready;
}

int sys_set_recv_timeout_ms(sys_socket s, uint32_t ms)
{
    timeval value = {static_cast<time_t>(ms / 1000), static_cast<suseconds_t>(ms % 1000 * 1000)};
    return setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &value, sizeof value) == 0 ? 0 : -1;
}

int sys_recv(sys_socket s, char* buffer, int size, int flags)
{
    ssize_t got;
    do {
        got = recv(s, buffer, static_cast<size_t>(size), flags);
    } while (got < 0 && errno == EINTR);
    return static_cast<int>(got);
}

int sys_last_error(void)
{
    return errno;
}

int sys_connect_error(sys_socket s)
{
    int error = 0;
    socklen_t length = sizeof error;
    if (getsockopt(s, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error == 0)
        return errno;
    return error;
}

SysErrorKind sys_error_kind(int code)
{
    switch (code) {
    case ECONNREFUSED:
        return SYS_ERROR_REFUSED;
    case ETIMEDOUT:
    case EAGAIN:
        return SYS_ERROR_TIMED_OUT;
    case EHOSTUNREACH:
        return SYS_ERROR_HOST_UNREACHABLE;
    case ENETUNREACH:
    case ENETDOWN:
        return SYS_ERROR_NETWORK_UNREACHABLE;
    case ECONNRESET:
    case ECONNABORTED:
    case EPIPE:
        return SYS_ERROR_RESET;
    default:
        return SYS_ERROR_OTHER;
    }
}
