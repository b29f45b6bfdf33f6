// Internal to the serving side: the one listening-side primitive whose
// form differs between Winsock (server_win.cpp) and POSIX (server_posix.cpp).
#pragma once

#include "net/socket_sys.h"

// Turns Nagle's algorithm off (TCP_NODELAY) on a connection: 0 or -1.
int sys_set_nodelay(sys_socket s);
