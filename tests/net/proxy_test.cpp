#include "net/download.h"
#include "net/http.h"
#include "net/proxy.h"

#include "tests/support/tempdir.h"
#include "tests/support/test_server.h"
#include "tests/support/ui_probe.h"

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

TEST(ProxyAuthOffer, NegotiateBeforeNtlmAndNeverBasic)
{
    struct Case {
        std::vector<std::string> lines;
        const char* offer;  // "scheme challenge", or "" for none
    } cases[] = {
        {{"Proxy-Authenticate: NTLM\r\n", "proxy-authenticate:  Negotiate\r\n"}, "Negotiate "},
        {{"Proxy-Authenticate: NTLM TlRMTVNTUAACAAAA\r\n"}, "NTLM TlRMTVNTUAACAAAA"},
        {{"Proxy-Authenticate: Basic realm=\"corp\"\r\n"}, ""},
        {{"Proxy-Authenticate: NegotiateX\r\n", "X-Proxy-Authenticate: NTLM\r\n"}, ""},
        {{"Proxy-Authenticate: NTLM " + std::string(64, 'A') + "\r\n"}, ""},
    };
    for (const Case& c : cases) {
        StringList header = {nullptr, 0};
        for (const std::string& line : c.lines)
            string_list_add(line.c_str(), &header);
        char scheme[PROXY_SCHEME_SIZE];
        char challenge[64];
        std::string offer = proxy_auth_offer(&header, scheme, challenge, sizeof challenge)
                                ? std::string(scheme) + " " + challenge
                                : "";
        EXPECT_EQ(offer, c.offer) << c.lines[0];
        string_list_free(&header);
    }
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

const std::string TAIL = "If-Modified-Since: Mon, 07 Dec 2026 11:38:43 GMT\r\n\r\n";

TEST(HttpGetRouted, PlainHttpAsksTheProxyForTheWholeUrl)
{
    TestServer proxy;
    proxy.on("http://origin.test:8080/app/a.jar",
             http_response("502 Bad Gateway", {"Content-Length: 0"}, ""));
    Through got = through(proxy, 0, 8080);
    ASSERT_GE(got.result, 0);
    EXPECT_EQ(got.requests, std::vector<std::string>{
                                "GET http://origin.test:8080/app/a.jar HTTP/1.0\r\n"
                                "Host: origin.test\r\n"
                                "Accept: */*\r\nUser-Agent: simple http\r\nConnection: close\r\n" +
                                TAIL});
    EXPECT_EQ(got.header, (std::vector<std::string>{"HTTP/1.0 502 Bad Gateway\r\n",
                                                    "Content-Length: 0\r\n", "\r\n"}));
}

TEST(HttpGetRouted, HttpsOpensATunnelAndOnlyA2xxLetsTlsStart)
{
    TestServer proxy;
    proxy.on("origin.test:443", http_response("403 Forbidden", {}, "no"));
    Through refused = through(proxy, 1, 443);
    EXPECT_EQ(refused.result, HTTP_FAILED);
    EXPECT_EQ(refused.requests, std::vector<std::string>{
                                    "CONNECT origin.test:443 HTTP/1.1\r\nHost: origin.test:443\r\n"
                                    "User-Agent: simple http\r\n\r\n"});
    EXPECT_TRUE(refused.header.empty());
}

TEST(HttpGetRouted, A407ThatNoLogonAnswersEndsWithoutSendingBasic)
{
    // No logon can be had here (natively none; Wine has no credentials to
    // offer): the one request goes without a Proxy-Authorization.
    TestServer proxy;
    proxy.on("http://origin.test:80/app/a.jar",
             http_response("407 Proxy Authentication Required",
                           {"Proxy-Authenticate: Basic realm=\"corp\"",
                            "Proxy-Authenticate: Negotiate", "Content-Length: 0"},
                           ""));
    Through got = through(proxy, 0, 80);
    EXPECT_EQ(got.result, HTTP_PROXY_AUTH);
    ASSERT_EQ(got.requests.size(), 1u);
    EXPECT_EQ(got.requests[0].find("Proxy-Authorization"), std::string::npos);
    EXPECT_TRUE(got.header.empty());

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
    proxy.on("origin.test:443",
             http_response("407 Proxy Authentication Required",
                           {"Proxy-Authenticate: NTLM", "Proxy-Authenticate: Negotiate",
                            "Connection: close"},
                           ""));
    proxy_use_logon("YIIGdgYGKwYBBQUCoIIGajCCBmagMDAu");
    Through got = through(proxy, 1, 443);
    proxy_use_logon(nullptr);
    // The proxy turns the token down: the second 407 ends the handshake.
    EXPECT_EQ(got.result, HTTP_PROXY_AUTH);
    const std::string connect =
        "CONNECT origin.test:443 HTTP/1.1\r\nHost: origin.test:443\r\nUser-Agent: simple http\r\n";
    EXPECT_EQ(got.requests,
              (std::vector<std::string>{connect + "\r\n",
                                        connect + "Proxy-Authorization: Negotiate "
                                                  "YIIGdgYGKwYBBQUCoIIGajCCBmagMDAu\r\n\r\n"}));
}

TEST(DownloadThroughProxy, AProxyThatFailsFailsEveryHostBehindIt)
{
    TestServer proxy;
    proxy.on("http://a.test:80/app/a.jar",
             http_response("407 Proxy Authentication Required", {"Proxy-Authenticate: NTLM"}, ""));
    TempDir dir;
    UiProbe ui;
    DownloadState state = {nullptr, &ui.request, 0, nullptr};
    proxy_use_list(("127.0.0.1:" + std::to_string(proxy.port())).c_str(), "127.0.0.1");
    EXPECT_EQ(download_resource("http://a.test/app/a.jar", dir.folder().c_str(), &state), -1);
    write_file(dir.file("c.jar"), "cached");
    EXPECT_EQ(download_resource("http://c.test/app/c.jar", dir.folder().c_str(), &state), 0);
    EXPECT_EQ(ui.messages, std::vector<std::string>{
                               "Error, the proxy server requires authentication 127.0.0.1"});
    EXPECT_EQ(proxy.connections(), 1);
    EXPECT_EQ(state.failed_host, nullptr);

    // A bypassed host goes directly: here to a port that refuses.
    RefusingPort down;
    std::string direct = "http://127.0.0.1:" + std::to_string(down.port()) + "/app/c.jar";
    EXPECT_EQ(download_resource(direct.c_str(), dir.folder().c_str(), &state), 0);
    EXPECT_STREQ(state.failed_host, "127.0.0.1");
    proxy_use_list(nullptr, nullptr);
    download_state_release(&state);
}
#endif

} // namespace
