// Winsock primitives of the socket layer.
#include "net/socket_sys.h"

const int sys_send_flags = 0;

int sys_startup(void)
{
    WSADATA data;
    return WSAStartup(0x0101, &data);
}

int sys_close(sys_socket s)
{
    return closesocket(s) == 0 ? 0 : -1;
}

void sys_shutdown_both(sys_socket s)
{
    shutdown(s, SD_BOTH);
}

int sys_set_nonblocking(sys_socket s, unsigned long on)
{
    u_long mode = on;
    return ioctlsocket(s, static_cast<long>(FIONBIO), &mode) == 0 ? 0 : -1;
}

int sys_connect_pending(void)
{
    return WSAGetLastError() == WSAEWOULDBLOCK;
}

int sys_wait_connect(sys_socket s, uint32_t seconds)
{
    // Windows reports a failed connect in the exception set, never as
    // writable (so a writable socket is connected, without asking SO_ERROR);
    // without it a refused address would cost the whole time-out.
    fd_set writable;
    fd_set failed;
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(s, &writable);
    FD_SET(s, &failed);
    timeval wait = {static_cast<long>(seconds), 0};
    int ready = select(static_cast<int>(s) + 1, nullptr, &writable, &failed, &wait);
    if (ready <= 0)
        return ready;
    return FD_ISSET(s, &writable) && !FD_ISSET(s, &failed) ? 1 : -1;
}

int sys_wait_readable(sys_socket s, int ms)
{
    // A closed or reset connection shows as readable: the next recv tells.
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(s, &readable);
    timeval wait = {ms / 1000, ms % 1000 * 1000};
    int ready = select(static_cast<int>(s) + 1, &readable, nullptr, nullptr, &wait);
    return ready < 0 ? -1 : ready;
}

int sys_recv(sys_socket s, char* buffer, int size, int flags)
{
    return recv(s, buffer, size, flags);
}

int sys_set_recv_timeout_ms(sys_socket s, uint32_t ms)
{
    DWORD value = ms;
    return setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&value),
                      sizeof value) == 0 ? 0 : -1;
}

int sys_last_error(void)
{
    return WSAGetLastError();
}

int sys_connect_error(sys_socket s)
{
    int error = 0;
    int length = sizeof error;
    if (getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0 ||
        error == 0)
        return WSAGetLastError();
    return error;
}

SysErrorKind sys_error_kind(int code)
{
    switch (code) {
    case WSAECONNREFUSED:
        return SYS_ERROR_REFUSED;
    case WSAETIMEDOUT:
        return SYS_ERROR_TIMED_OUT;
    case WSAEHOSTUNREACH:
        return SYS_ERROR_HOST_UNREACHABLE;
    case WSAENETUNREACH:
    case WSAENETDOWN:
        return SYS_ERROR_NETWORK_UNREACHABLE;
    case WSAECONNRESET:
    case WSAECONNABORTED:
        return SYS_ERROR_RESET;
    default:
        return SYS_ERROR_OTHER;
    }
}
