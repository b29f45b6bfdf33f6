#include "serve/server_sys.h"

int sys_set_nodelay(sys_socket s)
{
    BOOL on = TRUE;
    int failed = setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
    return failed == 0 ? 0 : -1;
}
