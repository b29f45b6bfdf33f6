#include "net/socket.h"
#include "serve/reply.h"

#include "tests/serve/connection.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const std::string NO_CONTENT = "HTTP/1.1 204 No Content\r\n"
                               "Content-Type: text/plain\r\n"
                               "Connection: Keep-Alive\r\n"
                               "Keep-Alive: timeout=60\r\n"
                               "Content-Length: 0\r\n"
                               "\r\n";

std::string ok_header(const std::string& type, const std::string& length_line)
{
    return "HTTP/1.1 200 OK\r\n"
           "Content-Type: " + type + "\r\n"
           "Connection: Keep-Alive\r\n"
           "Keep-Alive: timeout=60\r\n" + length_line + "\r\n";
}

std::string bad_request(const std::string& type, const std::string& body)
{
    return "HTTP/1.1 400 Bad Request\r\n"
           "Content-Type: " + type + "\r\n"
           "Connection: Keep-Alive\r\n"
           "Keep-Alive: timeout=60\r\n"
           "Content-Length: " + std::to_string(body.size()) + "\r\n"
           "\r\n" + body;
}

TEST(HttpReplyNoContent, SendsTheFixedTextInOneSend)
{
    ASSERT_EQ(NO_CONTENT.size(), 120u);
    Connection c;
    EXPECT_EQ(http_reply_no_content(c.server), 120);
    EXPECT_EQ(c.finish(), NO_CONTENT);
}

TEST(HttpReplyHeader, ContentLengthOnlyWhenNotMinusOne)
{
    Connection c;
    std::string none = ok_header("text/html", "");
    std::string zero = ok_header("text/html", "Content-Length: 0\r\n");
    std::string big = ok_header("a/b; charset=utf-8", "Content-Length: 2147483647\r\n");
    EXPECT_EQ(http_reply_header(c.server, "text/html", -1), static_cast<int>(none.size()));
    EXPECT_EQ(http_reply_header(c.server, "text/html", 0), static_cast<int>(zero.size()));
    EXPECT_EQ(http_reply_header(c.server, "a/b; charset=utf-8", 2147483647),
              static_cast<int>(big.size()));
    EXPECT_EQ(c.finish(), none + zero + big);
}

TEST(HttpReplyHeader, ContentTypeThatDoesNotFitSendsNothing)
{
    // With "Content-Length: 0", 102 bytes surround the type: 921 characters
    // make the longest header that fits the 1024-byte buffer with its NUL.
    Connection c;
    std::string fits(921, 't');
    std::string header = ok_header(fits, "Content-Length: 0\r\n");
    ASSERT_EQ(header.size(), 1023u);
    EXPECT_EQ(http_reply_header(c.server, fits.c_str(), 0), 1023);
    EXPECT_EQ(http_reply_header(c.server, std::string(922, 't').c_str(), 0), -1);
    EXPECT_EQ(http_reply_ok(c.server, std::string(2000, 't').c_str(), "body"), -1);
    EXPECT_EQ(http_reply_bad_request(c.server, std::string(1000, 't').c_str(), "body"), -1);
    EXPECT_EQ(c.finish(), header);
}

TEST(HttpReplyOk, HeaderWithTheBodyLengthThenTheBody)
{
    Connection c;
    std::string body = "{\"a\":\"1\"}";
    std::string large(100000, 'x');
    EXPECT_EQ(http_reply_ok(c.server, "application/json", body.c_str()), 1);
    EXPECT_EQ(http_reply_ok(c.server, "text/plain", ""), 1);
    EXPECT_EQ(http_reply_ok(c.server, "text/plain", large.c_str()), 1);
    EXPECT_EQ(c.finish(), ok_header("application/json", "Content-Length: 9\r\n") + body +
                              ok_header("text/plain", "Content-Length: 0\r\n") +
                              ok_header("text/plain", "Content-Length: 100000\r\n") + large);
}

TEST(HttpReplyJsonp, WrapsThePayloadAndAnnouncesTheBodyLength)
{
    Connection c;
    std::string payload = "{\"a\":\"1\",\"o\":{\"n\":1}}";
    EXPECT_EQ(http_reply_jsonp(c.server, payload.c_str(), "cb"), 1);
    EXPECT_EQ(http_reply_jsonp(c.server, "{}", "jQuery1_2.$on.x9"), 1);
    std::string first = "cb(" + payload + ");";
    std::string second = "jQuery1_2.$on.x9({});";
    // The announced length is the count of body bytes that follow.
    EXPECT_EQ(c.finish(), ok_header("text/javascript", "Content-Length: 26\r\n") + first +
                              ok_header("text/javascript", "Content-Length: 21\r\n") + second);
    EXPECT_EQ(first.size(), 26u);
    EXPECT_EQ(second.size(), 21u);
}

TEST(HttpReplyJsonp, NameThatIsNotAPlainNamePathGetsTheBadRequest)
{
    const std::string refused = bad_request("text/plain", "Invalid callback name\n");
    std::string longest(128, 'a');
    for (const std::string& name :
         {std::string(""), std::string("1cb"), std::string("cb.2"), std::string("a b"),
          std::string("alert(1);cb"), std::string("cb//"), std::string("a..b"), std::string(".a"),
          std::string("a."), std::string("a-b"), std::string("\xc3\xa9"), longest + "a"}) {
        SCOPED_TRACE(name);
        Connection c;
        EXPECT_EQ(http_reply_jsonp(c.server, "{}", name.c_str()), 0);
        EXPECT_EQ(c.finish(), refused);
    }
    Connection c;
    EXPECT_EQ(http_reply_jsonp(c.server, "{}", longest.c_str()), 1);
    EXPECT_EQ(c.finish(), ok_header("text/javascript", "Content-Length: 133\r\n") + longest + "({});");
}

TEST(HttpReplyBadRequest, HeaderAlwaysWithTheLengthThenTheBody)
{
    Connection c;
    EXPECT_EQ(http_reply_bad_request(c.server, "text/plain", "Bad Request\n"), 1);
    EXPECT_EQ(http_reply_bad_request(c.server, "text/html", ""), 1);
    EXPECT_EQ(c.finish(), bad_request("text/plain", "Bad Request\n") + bad_request("text/html", ""));
}

TEST(HttpReplies, FailedSendGivesMinusOne)
{
    Connection c;
    int closed = c.server;
    sock_release(closed);
    c.server = -1;
    EXPECT_EQ(http_reply_no_content(closed), -1);
    EXPECT_EQ(http_reply_header(closed, "text/plain", 1), -1);
    EXPECT_EQ(http_reply_ok(closed, "text/plain", "x"), -1);
    EXPECT_EQ(http_reply_jsonp(closed, "{}", "cb"), -1);
    EXPECT_EQ(http_reply_jsonp(closed, "{}", "1cb"), -1);
    EXPECT_EQ(http_reply_bad_request(closed, "text/plain", "x"), -1);
    EXPECT_EQ(read_until_closed(c.client), "");
}

} // namespace
