#include "serve/server_sys.h"

#include <netinet/in.h>
#include <netinet/tcp.h>

int sys_set_nodelay(sys_socket s)
{
    int on = 1;
    return setsockopt(s, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on) == 0 ? 0 : -1;
}
