#include "net/socket.h"
#include "net/socket_sys.h"
#include "serve/server.h"

#include "tests/serve/connection.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <netinet/tcp.h>
#endif

#include <cstring>
#include <string>

namespace {

int int_option(int sock, int level, int name)
{
    int value = 0;
    socklen_t size = sizeof value;
    if (getsockopt(sys_handle(sock), level, name, reinterpret_cast<char*>(&value), &size) != 0)
        return -1;
    return value;
}

// The value the next new socket gets: the lowest free one, on both
// platforms the tests run on.
int next_socket_value()
{
    int probe = sys_value(socket(AF_INET, SOCK_STREAM, 0));
    sock_release(probe);
    return probe;
}

TEST(ServerOpen, BindsEveryAddressWithReuseAndAcceptsOnLoopback)
{
    int listener = server_open(0);
    ASSERT_NE(listener, -1);
    sockaddr_in bound;
    socklen_t size = sizeof bound;
    ASSERT_EQ(getsockname(sys_handle(listener), reinterpret_cast<sockaddr*>(&bound), &size), 0);
    EXPECT_EQ(bound.sin_family, AF_INET);
    EXPECT_EQ(bound.sin_addr.s_addr, htonl(INADDR_ANY));
    int port = ntohs(bound.sin_port);
    EXPECT_NE(port, 0);
    EXPECT_GT(int_option(listener, SOL_SOCKET, SO_REUSEADDR), 0);

    // Not listening until server_accept: the client would be refused, so
    // the test listens first and server_accept takes the waiting client.
    listen(sys_handle(listener), 1);
    int client = sock_connect("127.0.0.1", static_cast<uint32_t>(port), 10);
    ASSERT_NE(client, -1);
    int conn = server_accept(listener);
    ASSERT_NE(conn, -1);
    EXPECT_GT(int_option(conn, IPPROTO_TCP, TCP_NODELAY), 0);

    EXPECT_EQ(sock_send_string(client, "ping\n"), 5);
    char line[16];
    EXPECT_EQ(sock_read_line(conn, line, sizeof line), 5);
    EXPECT_STREQ(line, "ping\n");
    EXPECT_EQ(sock_send_string(conn, "pong\n"), 5);
    EXPECT_EQ(sock_read_line(client, line, sizeof line), 5);
    EXPECT_STREQ(line, "pong\n");

    sock_close(conn);
    sock_close(client);
    sock_close(listener);
}

TEST(ServerOpen, PortInUsePrintsBindFailedAndClosesItsSocket)
{
    int holder = server_open(0);
    ASSERT_NE(holder, -1);
    listen(sys_handle(holder), 1);
    unsigned port = static_cast<unsigned>(local_port(holder));

    int free_value = next_socket_value();
    testing::internal::CaptureStdout();
    int result = server_open(port);
    fflush(stdout);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "bind() failed\n");
    EXPECT_EQ(result, -1);
    // Its socket took the lowest free value; closed, the value is free again.
    EXPECT_EQ(next_socket_value(), free_value);
    sock_close(holder);
}

TEST(ServerOpen, PortIsTakenModulo65536)
{
    int holder = server_open(0);
    ASSERT_NE(holder, -1);
    listen(sys_handle(holder), 1);
    unsigned port = static_cast<unsigned>(local_port(holder));

    testing::internal::CaptureStdout();
    EXPECT_EQ(server_open(port + 65536u), -1);
    fflush(stdout);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "bind() failed\n");
    sock_close(holder);
}

TEST(ServerAccept, InvalidSocketGivesMinusOne)
{
    EXPECT_EQ(server_accept(-1), -1);
}

std::string resolve(const std::string& host, int* result)
{
    char out[NET_ADDRESS_SIZE];
    memset(out, 'x', sizeof out);
    *result = net_resolve_address(host.c_str(), out);
    return std::string(out, strnlen(out, sizeof out));
}

TEST(NetResolveAddress, FirstIpv4AddressAsText)
{
    int result = -1;
    EXPECT_EQ(resolve("localhost", &result), "127.0.0.1");
    EXPECT_EQ(result, 1);
    EXPECT_EQ(resolve("127.0.0.1", &result), "127.0.0.1");
    EXPECT_EQ(result, 1);
    EXPECT_EQ(resolve("255.255.255.255", &result), "255.255.255.255");
    EXPECT_EQ(result, 1);
}

TEST(NetResolveAddress, NoIpv4AddressGivesTheZeroAddress)
{
    int result = -1;
    // A label over 63 characters cannot go into a DNS query: refused locally.
    EXPECT_EQ(resolve(std::string(70, 'x') + ".invalid", &result), "0.0.0.0");
    EXPECT_EQ(result, 0);
    EXPECT_EQ(resolve("::1", &result), "0.0.0.0");
    EXPECT_EQ(result, 0);
}

} // namespace
