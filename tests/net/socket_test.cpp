#include "net/cause.h"
#include "net/socket.h"
#include "net/socket_sys.h"

#include "tests/support/tempdir.h"
#include "tests/support/test_server.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <thread>

#ifndef _WIN32
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace {

CannedResponse raw(const std::string& bytes)
{
    CannedResponse response;
    response.head = bytes;
    return response;
}

CannedResponse silent()
{
    CannedResponse response;
    response.never_answer = true;
    return response;
}

// A connection with the 10-second connect time-out the HTTP client uses.
int connect_to(TestServer& server)
{
    return sock_connect("127.0.0.1", static_cast<uint32_t>(server.port()), 10);
}

TEST(SockStartup, SetsTheFlagAndEnsureThenReportsOne)
{
    EXPECT_EQ(sock_startup(), 0);
    EXPECT_EQ(sockets_started, 1);
    EXPECT_EQ(sock_ensure_started(), 1);
}

TEST(SockConnect, GivesABlockingSocketWithTheReceiveTimeOutInMilliseconds)
{
    TestServer server;
    server.serve_raw(silent());
    int s = sock_connect("127.0.0.1", static_cast<uint32_t>(server.port()), 7);
    ASSERT_GE(s, 0);
    EXPECT_EQ(recv_timeout_ms(s), 7000u);
    EXPECT_TRUE(socket_is_blocking(s));
    EXPECT_EQ(sock_close(s), 0);
}

TEST(SockConnect, ResolvesLocalhostAndConnectsOverIpv6)
{
    TestServer server4;
    server4.serve_raw(raw("four\n"));
    TestServer server6(true);
    server6.serve_raw(raw("six\n"));
    char line[16];

    int s = sock_connect("localhost", static_cast<uint32_t>(server4.port()), 10);
    ASSERT_GE(s, 0);
    EXPECT_EQ(sock_read_line(s, line, sizeof line), 5);
    EXPECT_STREQ(line, "four\n");
    sock_close(s);

    s = sock_connect("::1", static_cast<uint32_t>(server6.port()), 10);
    ASSERT_GE(s, 0);
    EXPECT_EQ(sock_read_line(s, line, sizeof line), 4);
    EXPECT_STREQ(line, "six\n");
    sock_close(s);
}

TEST(SockConnect, RefusedPortFailsWithoutWaitingOutTheTimeOut)
{
    RefusingPort refusing;
    // A time-out far beyond what the busiest machine needs for a refusal.
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(sock_connect("127.0.0.1", static_cast<uint32_t>(refusing.port()), 120), -1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(60));
    char cause[CAUSE_TEXT_SIZE];
    cause_describe(cause, sizeof cause);
#ifdef _WIN32
    EXPECT_STREQ(cause, "connection refused (10061)");
#else
    EXPECT_STREQ(cause, "connection refused (111)");
#endif
}

TEST(SockConnect, NameThatDoesNotResolveFails)
{
    // A label over 63 characters cannot be put in a DNS query, so the
    // resolver refuses it without asking any server.
    std::string name = std::string(70, 'x') + ".invalid";
    EXPECT_EQ(sock_connect(name.c_str(), 80, 10), -1);
    EXPECT_STREQ(cause_text(), "name not resolved");
}

// Two IPv4 addresses for the walk, the first refusing.
struct AddressPair {
    sockaddr_in addresses[2];
    addrinfo entries[2];

    AddressPair(int first_port, int second_port)
    {
        memset(addresses, 0, sizeof addresses);
        memset(entries, 0, sizeof entries);
        int ports[2] = {first_port, second_port};
        for (int i = 0; i < 2; i++) {
            addresses[i].sin_family = AF_INET;
            addresses[i].sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            addresses[i].sin_port = htons(static_cast<uint16_t>(ports[i]));
            entries[i].ai_family = AF_INET;
            entries[i].ai_socktype = SOCK_STREAM;
            entries[i].ai_addr = reinterpret_cast<sockaddr*>(&addresses[i]);
            entries[i].ai_addrlen = sizeof addresses[i];
        }
        entries[0].ai_next = &entries[1];
    }
};

TEST(SockConnect, SecondAddressConnectsAfterTheFirstRefuses)
{
    RefusingPort refusing;
    TestServer server;
    server.serve_raw(raw("second\n"));
    AddressPair pair(refusing.port(), server.port());

    int s = sock_connect_addresses(pair.entries, 10);
    ASSERT_GE(s, 0);
    EXPECT_EQ(recv_timeout_ms(s), 10000u);
    char line[16];
    EXPECT_EQ(sock_read_line(s, line, sizeof line), 7);
    EXPECT_STREQ(line, "second\n");
    sock_close(s);
}

TEST(SockConnect, EveryAddressRefusingGivesMinusOne)
{
    RefusingPort first;
    RefusingPort second;
    AddressPair pair(first.port(), second.port());
    EXPECT_EQ(sock_connect_addresses(pair.entries, 10), -1);
}

TEST(SockSetters, WorkOnAnOpenSocketAndFailOnAClosedOne)
{
    TestServer server;
    // A greeting, then silence with the connection open: the greeting shows
    // the server has accepted, so its socket cannot take this one's number
    // once this one is released, and no data is pending for the mode probe.
    CannedResponse greeting = raw("hi\n");
    greeting.pause_at = 0;
    greeting.pause_ms = 60000;
    server.serve_raw(greeting);
    int s = connect_to(server);
    ASSERT_GE(s, 0);
    char line[8];
    ASSERT_EQ(sock_read_line(s, line, sizeof line), 3);

    EXPECT_EQ(sock_set_recv_timeout(s, 60), 1);
    EXPECT_EQ(recv_timeout_ms(s), 60000u);
    EXPECT_EQ(sock_set_nonblocking(s), 1);
    EXPECT_FALSE(socket_is_blocking(s));
    EXPECT_EQ(sock_set_blocking(s), 1);
    EXPECT_TRUE(socket_is_blocking(s));

    EXPECT_EQ(sock_release(s), 0);
    EXPECT_EQ(sock_set_recv_timeout(s, 60), -1);
    EXPECT_EQ(sock_set_nonblocking(s), -1);
    EXPECT_EQ(sock_set_blocking(s), -1);
    EXPECT_EQ(sock_release(s), -1);
}

TEST(SockReadLine, SizeOneStoresNothingAndReceivesNothing)
{
    TestServer server;
    server.serve_raw(raw("abc\r\n"));
    int s = connect_to(server);
    ASSERT_GE(s, 0);
    char line[64];
    memset(line, 'z', sizeof line);
    EXPECT_EQ(sock_read_line(s, line, 0), -1);
    EXPECT_EQ(line[0], 'z');
    EXPECT_EQ(sock_read_line(s, line, 1), 0);
    EXPECT_EQ(line[0], '\0');
    EXPECT_EQ(sock_read_line(s, line, sizeof line), 5);
    EXPECT_STREQ(line, "abc\r\n");
    sock_close(s);
}

TEST(SockReadLine, KeepsTheLineEndingAndLeavesTheRestInTheConnection)
{
    TestServer server;
    server.serve_raw(raw("abc\r\nnext"));
    int s = connect_to(server);
    ASSERT_GE(s, 0);
    char line[64];
    EXPECT_EQ(sock_read_line(s, line, sizeof line), 5);
    EXPECT_STREQ(line, "abc\r\n");
    char rest[64];
    EXPECT_EQ(sock_recv_all(s, rest, sizeof rest), 4);
    EXPECT_EQ(std::string(rest, 4), "next");
    sock_close(s);
}

TEST(SockReadLine, PeerClosingMidLineGivesMinusOneAndKeepsTheLetters)
{
    TestServer server;
    server.serve_raw(raw("ab"));
    int s = connect_to(server);
    ASSERT_GE(s, 0);
    char line[64];
    EXPECT_EQ(sock_read_line(s, line, sizeof line), -1);
    EXPECT_STREQ(line, "ab");
    sock_close(s);
}

TEST(SockReadLine, LongLineComesInPiecesOfSizeMinusOne)
{
    TestServer server;
    server.serve_raw(raw("abcdef\n"));
    int s = connect_to(server);
    ASSERT_GE(s, 0);
    char line[4];
    EXPECT_EQ(sock_read_line(s, line, sizeof line), 3);
    EXPECT_STREQ(line, "abc");
    EXPECT_EQ(sock_read_line(s, line, sizeof line), 3);
    EXPECT_STREQ(line, "def");
    EXPECT_EQ(sock_read_line(s, line, sizeof line), 1);
    EXPECT_STREQ(line, "\n");
    EXPECT_EQ(sock_read_line(s, line, sizeof line), -1);
    sock_close(s);
}

TEST(SockRecvAll, WaitsForWholeBlocksThenTheShortLastOneThenZero)
{
    TestServer server;
    CannedResponse response;
    response.body = pattern(10000);
    // The pause splits the stream inside the first block: the read must
    // still return the whole block.
    response.pause_at = 3000;
    server.serve_raw(response);
    int s = connect_to(server);
    ASSERT_GE(s, 0);
    std::string received;
    char block[4096];
    EXPECT_EQ(sock_recv_all(s, block, sizeof block), 4096);
    received.append(block, 4096);
    EXPECT_EQ(sock_recv_all(s, block, sizeof block), 4096);
    received.append(block, 4096);
    EXPECT_EQ(sock_recv_all(s, block, sizeof block), 10000 - 8192);
    received.append(block, 10000 - 8192);
    EXPECT_EQ(sock_recv_all(s, block, sizeof block), 0);
    EXPECT_EQ(received, pattern(10000));
    sock_close(s);
}

TEST(SockRecvAll, BytesBeforeAResetComeFirstThenTheError)
{
    TestServer server;
    CannedResponse response;
    response.body = pattern(5000);
    // The pause has the client waiting in its read when the reset comes.
    response.pause_at = 5000;
    response.reset = true;
    server.serve_raw(response);
    int s = connect_to(server);
    ASSERT_GE(s, 0);
    char block[8192];
    EXPECT_EQ(sock_recv_all(s, block, sizeof block), 5000);
    EXPECT_TRUE(std::string(block, 5000) == pattern(5000));
    EXPECT_EQ(sock_recv_all(s, block, sizeof block), -1);
    sock_close(s);
}

TEST(SockRecvAll, SilentServerTimesOutWithMinusOne)
{
    TestServer server;
    server.serve_raw(silent());
    int s = connect_to(server);
    ASSERT_GE(s, 0);
    ASSERT_EQ(sock_set_recv_timeout(s, 1), 1);
    char block[16];
    EXPECT_EQ(sock_recv_all(s, block, sizeof block), -1);
    sock_close(s);
}

TEST(SockSendString, SendsTheTextWithoutItsNul)
{
    TestServer server;
    server.on("/x", raw("ok\n"));
    int s = connect_to(server);
    ASSERT_GE(s, 0);
    EXPECT_EQ(sock_send_string(s, ""), 0);
    EXPECT_EQ(sock_send_string(s, "GET /x HTTP/1.0\r\n\r\n"), 19);
    char line[16];
    EXPECT_EQ(sock_read_line(s, line, sizeof line), 3);
    sock_close(s);
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(server.requests()[0], "GET /x HTTP/1.0\r\n\r\n");
}

TEST(SockSendString, PeerThatHasGoneGivesMinusOneNotASignal)
{
    TestServer server;
    CannedResponse response = raw("bye\n");
    response.reset = true;
    // Answered only after the request, so the reset cannot overtake the
    // connect itself.
    server.on("/x", response);
    int s = connect_to(server);
    ASSERT_GE(s, 0);
    ASSERT_GT(sock_send_string(s, "GET /x HTTP/1.0\r\n\r\n"), 0);
    char line[16];
    while (sock_read_line(s, line, sizeof line) > 0) {
    }
    int result = 0;
    for (int i = 0; i < 4 && result != -1; i++)
        result = sock_send_string(s, "still there?\r\n");
    EXPECT_EQ(result, -1);
    sock_close(s);
}

#ifndef _WIN32
// Natively a signal may arrive while a read waits; the handler below is
// installed without SA_RESTART, and a socket with a receive time-out is never
// restarted by the system anyway, so the wait fails with EINTR.
std::atomic<int> signals_handled{0};

void count_signal(int)
{
    signals_handled++;
}

// The state letter of thread tid of this process ('S': asleep in a wait).
char thread_state(pid_t tid)
{
    std::ifstream stat("/proc/self/task/" + std::to_string(tid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    size_t paren = text.rfind(')');
    return paren != std::string::npos && paren + 2 < text.size() ? text[paren + 2] : '?';
}

// Runs read on a thread of its own, interrupts that thread with SIGUSR1 once
// it waits, then lets the wait end by sending text from the other end.
// Returns what read returned.
int read_through_a_signal(int other, const std::string& text, const std::function<int()>& read)
{
    std::atomic<pid_t> tid{0};
    std::atomic<bool> done{false};
    int result = -2;
    std::thread reader([&] {
        tid = gettid();
        result = read();
        done = true;
    });
    int before = signals_handled;
    while (!done && (tid == 0 || thread_state(tid) != 'S')) {
    }
    EXPECT_FALSE(done) << "the read ended before it waited";
    if (!done) {
        pthread_kill(reader.native_handle(), SIGUSR1);
        while (signals_handled == before) {
        }
    }
    EXPECT_EQ(send(other, text.data(), text.size(), 0), static_cast<ssize_t>(text.size()));
    reader.join();
    return result;
}

TEST(SocketReads, ASignalDuringTheWaitDoesNotEndTheRead)
{
    struct sigaction action = {};
    struct sigaction previous;
    action.sa_handler = count_signal;
    ASSERT_EQ(sigaction(SIGUSR1, &action, &previous), 0);
    int ends[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, ends), 0);
    ASSERT_EQ(sock_set_recv_timeout(ends[0], 10), 1);

    char line[16] = {};
    EXPECT_EQ(read_through_a_signal(ends[1], "line\n",
                                    [&] { return sock_read_line(ends[0], line, sizeof line); }),
              5);
    EXPECT_STREQ(line, "line\n");
    char block[4] = {};
    EXPECT_EQ(read_through_a_signal(ends[1], "abcd",
                                    [&] { return sock_recv_all(ends[0], block, sizeof block); }),
              4);
    EXPECT_EQ(std::string(block, 4), "abcd");

    close(ends[0]);
    close(ends[1]);
    sigaction(SIGUSR1, &previous, nullptr);
}
#endif

} // namespace
