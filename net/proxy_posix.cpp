// Natively there are no user settings and no Windows logon: the proxy
// setting and the token that stands for the logon are what the tests give.
#include "net/proxy.h"

#include <cstdio>
#include <string>

struct ProxyAuth {
    int legs;
};

namespace {

std::string list_given;
std::string bypass_given;
std::string token_given;

} // namespace

void proxy_use_list(const char* list, const char* bypass)
{
    list_given = list ? list : "";
    bypass_given = bypass ? bypass : "";
}

int proxy_for_url(const char* url, ProxyRoute* route)
{
    return proxy_route_from_list(url, list_given.c_str(), bypass_given.c_str(), route);
}

void proxy_use_logon(const char* token)
{
    token_given = token ? token : "";
}

// The given token once, as the last of its handshake.
int proxy_auth_step(ProxyAuth** auth, const char* scheme, const char*, const char*, char* line,
                    size_t size)
{
    if (token_given.empty() || *auth)
        return PROXY_AUTH_NONE;
    *auth = new ProxyAuth{1};
    int written =
        snprintf(line, size, "Proxy-Authorization: %s %s\r\n", scheme, token_given.c_str());
    return written > 0 && static_cast<size_t>(written) < size ? PROXY_AUTH_LAST : PROXY_AUTH_NONE;
}

void proxy_auth_end(ProxyAuth* auth)
{
    delete auth;
}
