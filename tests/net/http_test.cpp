#include "net/http.h"
#include "net/http_get.h"
#include "net/socket.h"

#include "tests/support/test_server.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> elements(const StringList& list)
{
    return std::vector<std::string>(list.items, list.items + list.count);
}

struct Lines {
    StringList list = {nullptr, 0};
    explicit Lines(const std::vector<std::string>& lines = {})
    {
        for (const std::string& line : lines)
            string_list_add(line.c_str(), &list);
    }
    ~Lines() { string_list_free(&list); }
    const StringList* get() const { return &list; }
};

const std::string fixed_lines =
    "Accept: */*\r\nUser-Agent: simple http\r\nConnection: close\r\n";

std::string request_for(const std::string& path, const std::string& extra = "")
{
    return "GET /" + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + fixed_lines + extra + "\r\n";
}

TEST(StringList, KeepsCopiesInOrderAndCanBeFilledAgainAfterFree)
{
    StringList list = {nullptr, 0};
    string_list_free(&list);
    EXPECT_EQ(list.items, nullptr);
    EXPECT_EQ(list.count, 0);

    char text[] = "first";
    EXPECT_EQ(string_list_add(text, &list), 1);
    text[0] = 'X';
    EXPECT_EQ(string_list_add("", &list), 1);
    EXPECT_EQ(string_list_add("third\r\n", &list), 1);
    EXPECT_EQ(elements(list), (std::vector<std::string>{"first", "", "third\r\n"}));

    string_list_free(&list);
    EXPECT_EQ(list.items, nullptr);
    EXPECT_EQ(list.count, 0);
    string_list_add("again", &list);
    EXPECT_EQ(elements(list), std::vector<std::string>{"again"});
    string_list_free(&list);
}

TEST(HttpHeaderValue, MatchesTheWholeNameAndSkipsBlanks)
{
    Lines header({"HTTP/1.0 200 OK\r\n", "Content-Length-Foo: 7\r\n", "content-length: 42\r\n",
                  "Content-Length: 99\r\n", "X-Tight:5\r\n", "X-Tab:\t \tv a l\r\n",
                  "X-Empty:\r\n", "X-Blank: \r\n", "X-Bare-End: lf\n", "\r\n"});
    char out[32];
    EXPECT_EQ(http_header_value(&header.list, "Content-Length", out, sizeof out), 1);
    EXPECT_STREQ(out, "42");
    EXPECT_EQ(http_header_value(&header.list, "X-TIGHT", out, sizeof out), 1);
    EXPECT_STREQ(out, "5");
    EXPECT_EQ(http_header_value(&header.list, "x-tab", out, sizeof out), 1);
    EXPECT_STREQ(out, "v a l");
    EXPECT_EQ(http_header_value(&header.list, "X-Empty", out, sizeof out), 1);
    EXPECT_STREQ(out, "");
    EXPECT_EQ(http_header_value(&header.list, "X-Blank", out, sizeof out), 1);
    EXPECT_STREQ(out, "");
    EXPECT_EQ(http_header_value(&header.list, "X-Bare-End", out, sizeof out), 1);
    EXPECT_STREQ(out, "lf");
}

TEST(HttpHeaderValue, CutsAtTheSizeAndLeavesOutAloneWithoutAMatch)
{
    Lines header({"HTTP/1.0 200 OK\r\n", "Content-Length: 42\r\n", "\r\n"});
    char out[8] = "keep";
    EXPECT_EQ(http_header_value(&header.list, "Content-Length", out, 2), 1);
    EXPECT_STREQ(out, "4");
    EXPECT_EQ(http_header_value(&header.list, "Content-Length", out, 1), 1);
    EXPECT_STREQ(out, "");

    strcpy(out, "keep");
    EXPECT_EQ(http_header_value(&header.list, "Content-Len", out, sizeof out), 0);
    EXPECT_EQ(http_header_value(&header.list, "Last-Modified", out, sizeof out), 0);
    EXPECT_EQ(http_header_value(&header.list, "Content-Length", out, 0), 0);
    EXPECT_STREQ(out, "keep");
    Lines empty;
    EXPECT_EQ(http_header_value(&empty.list, "Content-Length", out, sizeof out), 0);
    EXPECT_STREQ(out, "keep");
}

TEST(HttpStatusCode, ReadsAtMostThreeCharactersAfterTheFirstSpace)
{
    const std::vector<std::pair<std::string, int>> cases = {
        {"HTTP/1.0 200 OK\r\n", 200},  {"HTTP/1.1 304 Not Modified\r\n", 304},
        {"HTTP/1.0 2000 X\r\n", 200},  {"HTTP/1.0 404\r\n", 404},
        {"HTTP/1.0 20\r\n", 20},       {"HTTP/1.0  200 OK\r\n", 20},
        {"HTTP/1.0 x00 OK\r\n", 0},    {"HTTP/1.0\r\n", 0},
        {"\r\n", 0},                   {"HTTP/1.0 ", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first);
        Lines header({c.first});
        EXPECT_EQ(http_status_code(&header.list), c.second);
    }
    Lines empty;
    EXPECT_EQ(http_status_code(&empty.list), 0);
}

TEST(HttpHeaderComplete, OnlyWhenTheLastLineIsEmpty)
{
    EXPECT_EQ(http_header_complete(Lines().get()), 0);
    EXPECT_EQ(http_header_complete(Lines({"HTTP/1.0 200 OK\r\n"}).get()), 0);
    EXPECT_EQ(http_header_complete(Lines({"HTTP/1.0 200 OK\r\n", "\r\n"}).get()), 1);
    EXPECT_EQ(http_header_complete(Lines({"HTTP/1.0 200 OK\n", "\n"}).get()), 1);
}

// One GET against a scripted server: the raw request it received, the
// response header list and the body left in the connection.
struct Exchange {
    int socket = -1;
    int status = -1;
    std::string request;
    std::vector<std::string> header;
    std::string body;
};

Exchange get(TestServer& server, const std::string& path, const StringList* extra)
{
    Exchange exchange;
    Lines response;
    HttpConnection connection;
    exchange.socket =
        http_get("127.0.0.1", server.port(), path.c_str(), &response.list, extra, &connection);
    exchange.header = elements(response.list);
    exchange.status = http_status_code(&response.list);
    if (exchange.socket < 0)
        return exchange;
    const char* piece;
    int got;
    while ((got = http_read(&connection, &piece)) > 0)
        exchange.body.append(piece, static_cast<size_t>(got));
    EXPECT_EQ(http_close(&connection), 0);
    std::vector<std::string> requests = server.requests();
    if (!requests.empty())
        exchange.request = requests.back();
    return exchange;
}

TEST(HttpGet, SendsTheFixedLinesThenTheExtraLinesThenTheEmptyLine)
{
    TestServer server;
    server.on("/dir/a.jar", http_response("200 OK", {"Content-Length: 4"}, "body"));

    Exchange plain = get(server, "dir/a.jar", nullptr);
    EXPECT_EQ(plain.request, request_for("dir/a.jar"));

    Lines empty;
    EXPECT_EQ(get(server, "dir/a.jar", &empty.list).request, request_for("dir/a.jar"));

    const std::string since = "If-Modified-Since: Mon, 07 Dec 2026 11:38:43 GMT\r\n";
    Lines extra({since, "X-Two: 2\r\n"});
    EXPECT_EQ(get(server, "dir/a.jar", &extra.list).request,
              request_for("dir/a.jar", since + "X-Two: 2\r\n"));

    EXPECT_EQ(get(server, "", nullptr).request, request_for(""));
    EXPECT_EQ(get(server, "q?x=1&y=2", nullptr).request, request_for("q?x=1&y=2"));
}

TEST(HttpGet, ReadsTheHeaderIntoTheListAndLeavesTheBodyInTheConnection)
{
    TestServer server;
    server.on("/a", http_response("200 OK", {"Content-Length: 11", "X-Bare: lf"},
                                  "\r\nbody\r\n\r\nx"));
    Exchange exchange = get(server, "a", nullptr);
    ASSERT_GE(exchange.socket, 0);
    EXPECT_EQ(exchange.header, (std::vector<std::string>{"HTTP/1.0 200 OK\r\n",
                                                         "Content-Length: 11\r\n",
                                                         "X-Bare: lf\r\n", "\r\n"}));
    EXPECT_EQ(exchange.body, "\r\nbody\r\n\r\nx");
}

TEST(HttpGet, SameHeaderWhereverTheStreamIsSplit)
{
    // No length: the body runs to the close.
    const std::string head =
        "HTTP/1.1 200 OK\r\nDate: Mon, 07 Dec 2026 11:38:43 GMT\nX: y\r\n\r\n";
    TestServer server;
    // Up to a split inside the body: its first bytes then come in the
    // header's receive.
    for (size_t split = 0; split <= head.size() + 3; split++) {
        SCOPED_TRACE(split);
        CannedResponse response;
        response.body = head + "rest";
        response.pause_at = split;
        server.on("/s", response);
        Exchange exchange = get(server, "s", nullptr);
        EXPECT_EQ(exchange.header,
                  (std::vector<std::string>{"HTTP/1.1 200 OK\r\n",
                                            "Date: Mon, 07 Dec 2026 11:38:43 GMT\n", "X: y\r\n",
                                            "\r\n"}));
        EXPECT_EQ(exchange.body, "rest");
    }
}

TEST(HttpGet, ServerClosingAtOnceGivesASocketAndAnEmptyList)
{
    TestServer server;
    CannedResponse nothing;
    server.on("/a", nothing);
    Exchange exchange = get(server, "a", nullptr);
    EXPECT_GE(exchange.socket, 0);
    EXPECT_TRUE(exchange.header.empty());
    EXPECT_EQ(exchange.status, 0);
}

TEST(HttpGet, HeaderCutShortKeepsTheLinesReadSoFar)
{
    TestServer server;
    CannedResponse cut = http_response("200 OK", {"Content-Length: 4"}, "body");
    cut.close_after = std::string("HTTP/1.0 200 OK\r\nContent-Le").size();
    server.on("/a", cut);
    Exchange exchange = get(server, "a", nullptr);
    EXPECT_GE(exchange.socket, 0);
    EXPECT_EQ(exchange.header, std::vector<std::string>{"HTTP/1.0 200 OK\r\n"});
}

TEST(HttpGet, LongLineArrivesInPiecesOf1023)
{
    TestServer server;
    std::string value(1500, 'v');
    server.on("/a", http_response("200 OK", {"X-Long: " + value}, ""));
    Exchange exchange = get(server, "a", nullptr);
    std::string line = "X-Long: " + value + "\r\n";
    EXPECT_EQ(exchange.header, (std::vector<std::string>{"HTTP/1.0 200 OK\r\n",
                                                         line.substr(0, 1023), line.substr(1023),
                                                         "\r\n"}));
}

TEST(HttpGet, EndlessHeaderStopsAfter100Lines)
{
    TestServer server;
    std::vector<std::string> lines(150, "X-Again: and again");
    server.on("/a", http_response("200 OK", lines, "body"));
    Lines response;
    HttpConnection connection;
    int s = http_get("127.0.0.1", server.port(), "a", &response.list, nullptr, &connection);
    ASSERT_GE(s, 0);
    http_close(&connection);
    EXPECT_EQ(response.list.count, 100);
    EXPECT_EQ(http_header_complete(&response.list), 0);

    // The 100th line may be the empty line: that header is whole.
    TestServer exact;
    exact.on("/a", http_response("200 OK", std::vector<std::string>(98, "X: y"), ""));
    Lines whole;
    s = http_get("127.0.0.1", exact.port(), "a", &whole.list, nullptr, &connection);
    ASSERT_GE(s, 0);
    http_close(&connection);
    EXPECT_EQ(whole.list.count, 100);
    EXPECT_EQ(http_header_complete(&whole.list), 1);
}

TEST(HttpGet, EndlessHeaderStopsAt64KiB)
{
    TestServer server;
    std::vector<std::string> lines(90, "X-Big: " + std::string(1000, 'b'));
    server.on("/a", http_response("200 OK", lines, "body"));
    Lines response;
    HttpConnection connection;
    int s = http_get("127.0.0.1", server.port(), "a", &response.list, nullptr, &connection);
    ASSERT_GE(s, 0);
    http_close(&connection);
    size_t bytes = 0;
    for (const std::string& line : elements(response.list))
        bytes += line.size();
    EXPECT_LE(bytes, 65536u);
    EXPECT_GT(bytes, 65536u - 1023u);
    EXPECT_EQ(http_header_complete(&response.list), 0);
}

TEST(HttpGet, RequestThatDoesNotFitIsRefusedWithoutConnecting)
{
    TestServer server;
    server.on("/a", http_response("200 OK", {}, ""));
    // 81 fixed bytes, host 9, path 1000, then the extra lines and CR LF:
    // a request of exactly 2047 characters still fits, one more does not.
    std::string path(1000, 'p');
    Lines fits({"X: " + std::string(2047 - 81 - 9 - 1000 - 2 - 5, 'f') + "\r\n"});
    Lines response;
    HttpConnection connection;
    int s = http_get("127.0.0.1", server.port(), path.c_str(), &response.list, &fits.list,
                     &connection);
    ASSERT_GE(s, 0);
    http_close(&connection);
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(server.requests()[0].size(), 2047u);

    Lines too_long({"X: " + std::string(2048 - 81 - 9 - 1000 - 2 - 5, 'f') + "\r\n"});
    Lines none;
    EXPECT_EQ(http_get("127.0.0.1", server.port(), path.c_str(), &none.list, &too_long.list,
                       &connection),
              -1);
    EXPECT_EQ(none.list.count, 0);
    EXPECT_EQ(http_get("127.0.0.1", server.port(), std::string(2000, 'p').c_str(), &none.list,
                       nullptr, &connection),
              -1);
    // Control characters would add header lines: to the server, or to a
    // proxy that never resolves the host.
    EXPECT_EQ(http_get("127.0.0.1", server.port(), "a HTTP/1.0\r\nX: y", &none.list, nullptr,
                       &connection),
              -1);
    ProxyRoute proxy = {"127.0.0.1", server.port()};
    EXPECT_EQ(http_get_routed(&proxy, 0, "h\r\nX: y", 80, "a", &none.list, nullptr, &connection),
              -1);
    EXPECT_EQ(server.connections(), 1);
}

TEST(HttpGet, RefusedConnectionGivesMinusOneAndAddsNothing)
{
    RefusingPort refusing;
    Lines response;
    HttpConnection connection;
    EXPECT_EQ(http_get("127.0.0.1", refusing.port(), "a", &response.list, nullptr, &connection),
              -1);
    EXPECT_EQ(response.list.count, 0);
}

TEST(HttpGet, SetsTheSixtySecondReceiveTimeOut)
{
    TestServer server;
    server.on("/a", http_response("200 OK", {}, ""));
    Lines response;
    HttpConnection connection;
    int s = http_get("127.0.0.1", server.port(), "a", &response.list, nullptr, &connection);
    ASSERT_GE(s, 0);
    EXPECT_EQ(recv_timeout_ms(s), 60000u);
    http_close(&connection);
}

TEST(HttpGetUrl, UsesTheParsedHostPortAndPath)
{
    TestServer server;
    server.on("/dir/a.jar", http_response("200 OK", {}, "jar"));
    std::string url = "http://127.0.0.1:" + std::to_string(server.port()) + "/dir/a.jar";
    Lines response;
    HttpConnection connection;
    int s = http_get_url(url.c_str(), &response.list, nullptr, &connection);
    ASSERT_GE(s, 0);
    http_close(&connection);
    EXPECT_EQ(http_status_code(&response.list), 200);
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(server.requests()[0], request_for("dir/a.jar"));
}

} // namespace
