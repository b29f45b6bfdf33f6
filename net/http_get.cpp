#include "net/http_get.h"

#include "net/cause.h"
#include "net/pool.h"
#include "net/url.h"

#include <cstdio>
#include <cstdlib>
#include <string>

int http_get_routed(const ProxyRoute* proxy, int secure, const char* host, int port,
                    const char* path, StringList* response, const StringList* request,
                    HttpConnection* connection)
{
    *connection = HTTP_NO_CONNECTION;
    PoolServer server = {};
    if (proxy)
        server.route = *proxy;
    server.secure = secure != 0;
    server.port = port;
    int length = snprintf(server.host, sizeof server.host, "%s", host);
    if (length < 0 || static_cast<size_t>(length) >= sizeof server.host) {
        cause_set("the host name does not fit", 0);
        return HTTP_FAILED;
    }
    ConnectionPool* pool = pool_make();
    if (!pool) {
        cause_set("out of memory", 0);
        return HTTP_FAILED;
    }
    std::string what = std::string("GET ") + (secure ? "https://" : "http://") + host + ":" +
                       std::to_string(port) + "/" + path;
    int ticket = pool_request(pool, &server, path, request, what.c_str(), POOL_ALONE);
    HttpConnection* answered = nullptr;
    int socket = ticket < 0 ? ticket : pool_answer(pool, ticket, response, &answered);
    if (socket >= 0)
        pool_take_connection(pool, ticket, connection);
    pool_free(pool);
    return socket;
}

int http_get(const char* host, int port, const char* path, StringList* response,
             const StringList* request, HttpConnection* connection)
{
    return http_get_routed(nullptr, 0, host, port, path, response, request, connection);
}

int https_get(const char* host, int port, const char* path, StringList* response,
              const StringList* request, HttpConnection* connection)
{
    return http_get_routed(nullptr, 1, host, port, path, response, request, connection);
}

int http_get_url(const char* url, StringList* response, const StringList* request,
                 HttpConnection* connection)
{
    UrlParts parts;
    url_parse(url, &parts);
    return http_get_routed(nullptr, url_scheme_is(&parts, "https"), parts.host,
                           static_cast<int>(strtol(parts.port, nullptr, 10)), parts.path,
                           response, request, connection);
}
