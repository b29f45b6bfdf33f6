// Natively the proxy setting is what the tests give, and there is no
// Windows logon to answer a proxy with.
#include "net/proxy.h"

#include <string>

namespace {

std::string list_given;
std::string bypass_given;

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

int proxy_auth_step(ProxyAuth**, const char*, const char*, const char*, char*, size_t)
{
    return PROXY_AUTH_NONE;
}

void proxy_auth_end(ProxyAuth*) {}
