#include "net/http_get.h"
#include "net/proxy.h"

#include "tests/support/test_server.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string route_of(const char* url, const char* list, const char* bypass)
{
    ProxyRoute route;
    int through = proxy_route_from_list(url, list, bypass, &route);
    EXPECT_EQ(through, route.port != 0) << url;
    return through ? std::string(route.host) + ":" + std::to_string(route.port) : "direct";
}

TEST(ProxyRouteFromList, SchemesPortsAndBypassEntries)
{
    const std::string too_long(PROXY_HOST_SIZE, 'h');
    struct Case {
        const char* url;
        const char* list;
        const char* bypass;
        const char* route;
    } cases[] = {
        {"http://a.example/x", nullptr, nullptr, "direct"},
        {"http://a.example/x", "proxy.corp:3128", nullptr, "proxy.corp:3128"},
        {"https://a.example/x", " proxy.corp ", "", "proxy.corp:80"},
        {"http://a.example/x", "http://proxy.corp:8080", "", "proxy.corp:8080"},
        {"https://a.example/x", "http=web:1;https=secure:2", "", "secure:2"},
        {"HTTP://a.example/x", "https=secure:2 HTTP=web:1", "", "web:1"},
        {"https://a.example/x", "http=web:1", "", "direct"},
        {"https://a.example/x", "all:9;https=secure:2", "", "secure:2"},
        {"http://a.example/x", "ftp=f:1;all:9", "", "all:9"},
        {"http://a.example/x", "bad:0;worse:70000;x:;good:7", "", "good:7"},
        {"http://a.example/x", "[fd00::1]:3128", "", "fd00::1:3128"},
        {"http://a.example/x", too_long.c_str(), "", "direct"},
        {"http://intranet/x", "p:1", "<local>", "direct"},
        {"http://intra.net/x", "p:1", "<LOCAL>", "p:1"},
        {"http://[::1]/x", "p:1", "<local>", "p:1"},
        {"http://Build.Corp.Example:81/x", "p:1", "x; *.corp.example", "direct"},
        {"http://corp.example/x", "p:1", "*.corp.example", "p:1"},
        {"http://10.1.2.3/x", "p:1", "10.*,192.168.*", "direct"},
        {"http://a.example:81/x", "p:1", "a.example:80", "p:1"},
        {"http://a.example:81/x", "p:1", "a.example:81", "direct"},
        {"https://a.example/x", "p:1", "http://a.example", "p:1"},
        {"https://a.example/x", "p:1", "https://a.*", "direct"},
        {"http://[::1]:81/x", "p:1", "[::1]:81", "direct"},
        {"http://aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaab/x", "p:1", "*a*a*a*a*a*a*a*a*a*a*c",
         "p:1"},
        {"not a url", "p:1", "", "direct"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(route_of(c.url, c.list, c.bypass), c.route) << c.url << " | " << c.list;
}

struct Through {
    int result;
    std::vector<std::string> requests;
    std::vector<std::string> header;
};

// One request for http(s)://origin.test:<port>/app/a.jar through server.
Through through(TestServer& server, int secure, int port)
{
    ProxyRoute route = {"127.0.0.1", server.port()};
    StringList request = {nullptr, 0};
    StringList response = {nullptr, 0};
    string_list_add("If-Modified-Since: Mon, 07 Dec 2026 11:38:43 GMT\r\n", &request);
    HttpConnection connection;
    Through result = {http_get_routed(&route, secure, "origin.test", port, "app/a.jar",
                                      &response, &request, &connection),
                      server.requests(), {}};
    if (result.result >= 0)
        http_close(&connection);
    result.header.assign(response.items, response.items + response.count);
    string_list_free(&request);
    string_list_free(&response);
    return result;
}

const char CONNECT[] =
    "CONNECT origin.test:443 HTTP/1.1\r\nHost: origin.test:443\r\nUser-Agent: simple http\r\n";
const std::string GET = "GET http://origin.test:80/app/a.jar HTTP/1.1\r\nHost: origin.test\r\n"
                        "Accept: */*\r\nUser-Agent: simple http\r\nConnection: close\r\n"
                        "If-Modified-Since: Mon, 07 Dec 2026 11:38:43 GMT\r\n\r\n";
const CannedResponse NEGOTIATE =
    http_response("407 Proxy Authentication Required",
                  {"Proxy-Authenticate: Basic realm=\"x\"", "Proxy-Authenticate: NTLM",
                   "Proxy-Authenticate: Negotiate", "Connection: close"},
                  "");

TEST(HttpGetRouted, TheWholeUrlATunnelOnlyAfter2xxAndNoLogonToOffer)
{
    // No logon can be had here (natively none is given; Wine has no
    // credentials), so a 407 ends at once, without "Basic".
    struct Case {
        int secure;
        const char* target;
        CannedResponse answer;
        int result;  // 0: a connection
        std::string request;
        std::vector<std::string> header;
    } cases[] = {
        {0, "http://origin.test:80/app/a.jar", http_response("502 Bad Gateway", {}, "page"), 0, GET,
         {"HTTP/1.0 502 Bad Gateway\r\n", "\r\n"}},
        {1, "origin.test:443", http_response("403 Forbidden", {}, "no"), HTTP_FAILED,
         std::string(CONNECT) + "\r\n", {}},
        {0, "http://origin.test:80/app/a.jar", NEGOTIATE, HTTP_PROXY_AUTH, GET, {}},
        {1, "origin.test:443", NEGOTIATE, HTTP_PROXY_AUTH, std::string(CONNECT) + "\r\n", {}},
    };
    for (const Case& c : cases) {
        TestServer proxy;
        proxy.on(c.target, c.answer);
        Through got = through(proxy, c.secure, c.secure ? 443 : 80);
        EXPECT_EQ(got.result < 0 ? got.result : 0, c.result) << c.target;
        EXPECT_EQ(got.requests, std::vector<std::string>{c.request});
        EXPECT_EQ(got.header, c.header);
    }

    RefusingPort down;
    ProxyRoute route = {"127.0.0.1", down.port()};
    StringList response = {nullptr, 0};
    HttpConnection connection;
    EXPECT_EQ(http_get_routed(&route, 0, "origin.test", 80, "a", &response, nullptr, &connection),
              HTTP_PROXY_UNREACHABLE);
}

#ifndef _WIN32
TEST(HttpGetRouted, A407IsAskedAgainWithTheLogonOfTheOfferedScheme)
{
    TestServer proxy;
    proxy.on("origin.test:443", NEGOTIATE);
    proxy_use_logon("YIIGdgYGKwYBBQUCoIIGajCCBmagMDAu");
    Through got = through(proxy, 1, 443);
    proxy_use_logon(nullptr);
    // The proxy turns the token down: the second 407 ends the handshake.
    EXPECT_EQ(got.result, HTTP_PROXY_AUTH);
    EXPECT_EQ(got.requests, (std::vector<std::string>{
                                std::string(CONNECT) + "\r\n",
                                std::string(CONNECT) + "Proxy-Authorization: Negotiate "
                                                       "YIIGdgYGKwYBBQUCoIIGajCCBmagMDAu\r\n\r\n"}));
}
#endif

} // namespace
