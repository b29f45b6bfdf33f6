#include "tests/support/test_server.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
typedef SOCKET raw_socket;
typedef int raw_length;
namespace {
const int raw_send_flags = 0;
void raw_startup()
{
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
}
void raw_close(raw_socket s)
{
    closesocket(s);
}
void raw_set_timeout(raw_socket s, int seconds)
{
    DWORD ms = static_cast<DWORD>(seconds) * 1000;
    setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&ms), sizeof ms);
}
// Socket handles are kernel handles, numbered in steps of four.
const intptr_t handle_step = 4;
bool raw_unread(raw_socket s, long* count)
{
    u_long value = 0;
    bool known = ioctlsocket(s, FIONREAD, &value) == 0;
    *count = static_cast<long>(value);
    return known;
}
} // namespace
#else
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>
typedef int raw_socket;
typedef socklen_t raw_length;
namespace {
// A client that has gone away makes the send fail instead of raising SIGPIPE.
const int raw_send_flags = MSG_NOSIGNAL;
void raw_startup() {}
void raw_close(raw_socket s)
{
    close(s);
}
void raw_set_timeout(raw_socket s, int seconds)
{
    timeval value = {seconds, 0};
    setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &value, sizeof value);
}
const intptr_t handle_step = 1;
bool raw_unread(raw_socket s, long* count)
{
    int value = 0;
    bool known = ioctl(s, FIONREAD, &value) == 0;
    *count = value;
    return known;
}
} // namespace
#endif

namespace {

raw_socket handle(intptr_t value)
{
    return static_cast<raw_socket>(value);
}

// A loopback address of the family, port 0 unless given.
raw_length loopback(bool ipv6, int port, sockaddr_storage* address)
{
    memset(address, 0, sizeof *address);
    if (ipv6) {
        auto* in6 = reinterpret_cast<sockaddr_in6*>(address);
        in6->sin6_family = AF_INET6;
        in6->sin6_addr = in6addr_loopback;
        in6->sin6_port = htons(static_cast<uint16_t>(port));
        return sizeof *in6;
    }
    auto* in = reinterpret_cast<sockaddr_in*>(address);
    in->sin_family = AF_INET;
    in->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    in->sin_port = htons(static_cast<uint16_t>(port));
    return sizeof *in;
}

// A socket bound to an ephemeral loopback port; its port in *port.
raw_socket bound_socket(bool ipv6, int* port)
{
    raw_startup();
    raw_socket s = socket(ipv6 ? AF_INET6 : AF_INET, SOCK_STREAM, 0);
    sockaddr_storage address;
    raw_length length = loopback(ipv6, 0, &address);
    if (bind(s, reinterpret_cast<sockaddr*>(&address), length) != 0) {
        ADD_FAILURE() << "cannot bind a loopback socket";
        return s;
    }
    length = sizeof address;
    getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
    *port = ntohs(ipv6 ? reinterpret_cast<sockaddr_in6*>(&address)->sin6_port
                       : reinterpret_cast<sockaddr_in*>(&address)->sin_port);
    return s;
}

bool send_bytes(raw_socket s, const char* data, size_t size)
{
    while (size > 0) {
        int sent = static_cast<int>(send(s, data, static_cast<int>(size), raw_send_flags));
        if (sent <= 0)
            return false;
        data += sent;
        size -= static_cast<size_t>(sent);
    }
    return true;
}

// The next request up to and including its empty line, from what an
// earlier call left in pending and what arrives; the bytes after it stay
// in pending. What arrived before the client closed when it ends first.
std::string read_request(raw_socket s, std::string* pending)
{
    char buffer[1024];
    while (pending->find("\r\n\r\n") == std::string::npos) {
        int got = static_cast<int>(recv(s, buffer, sizeof buffer, 0));
        if (got <= 0)
            break;
        pending->append(buffer, static_cast<size_t>(got));
    }
    size_t end = pending->find("\r\n\r\n");
    end = end == std::string::npos ? pending->size() : end + 4;
    std::string request = pending->substr(0, end);
    pending->erase(0, end);
    return request;
}

bool same_address(const sockaddr_storage& a, raw_length a_length, const sockaddr_storage& b,
                  raw_length b_length)
{
    return a_length == b_length && memcmp(&a, &b, static_cast<size_t>(a_length)) == 0;
}

// The other end of the accepted connection when the client runs in this
// process: the socket whose own address is the accepted socket's peer and
// whose peer is the accepted socket. The client made its socket before the
// server accepted, so the search walks down from the accepted one's number.
// -1 when the client is another process or has closed its end.
intptr_t client_end(raw_socket accepted)
{
    sockaddr_storage server_side, client_side, own, peer;
    raw_length server_length = sizeof server_side, client_length = sizeof client_side;
    if (getsockname(accepted, reinterpret_cast<sockaddr*>(&server_side), &server_length) != 0 ||
        getpeername(accepted, reinterpret_cast<sockaddr*>(&client_side), &client_length) != 0)
        return -1;
    for (intptr_t candidate = static_cast<intptr_t>(accepted) - handle_step; candidate >= 0;
         candidate -= handle_step) {
        raw_socket s = static_cast<raw_socket>(candidate);
        raw_length own_length = sizeof own, peer_length = sizeof peer;
        if (getsockname(s, reinterpret_cast<sockaddr*>(&own), &own_length) == 0 &&
            same_address(own, own_length, client_side, client_length) &&
            getpeername(s, reinterpret_cast<sockaddr*>(&peer), &peer_length) == 0 &&
            same_address(peer, peer_length, server_side, server_length))
            return candidate;
    }
    return -1;
}

std::string request_target(const std::string& request)
{
    size_t start = request.find(' ');
    if (start == std::string::npos)
        return "";
    size_t end = request.find(' ', start + 1);
    if (end == std::string::npos)
        return "";
    return request.substr(start + 1, end - start - 1);
}

} // namespace

CannedResponse http_response(const std::string& status, const std::vector<std::string>& headers,
                             const std::string& body)
{
    CannedResponse response;
    response.head = "HTTP/1.0 " + status + "\r\n";
    for (const std::string& line : headers)
        response.head += line + "\r\n";
    response.head += "\r\n";
    response.body = body;
    return response;
}

TestServer::TestServer(bool ipv6) : ipv6_(ipv6)
{
    raw_socket s = bound_socket(ipv6, &port_);
    listen(s, 16);
    listener_ = static_cast<intptr_t>(s);
    acceptor_ = std::thread(&TestServer::accept_loop, this);
}

TestServer::~TestServer()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    stopped_.notify_all();
    // A connection of our own wakes the blocking accept.
    raw_socket waker = socket(ipv6_ ? AF_INET6 : AF_INET, SOCK_STREAM, 0);
    sockaddr_storage address;
    raw_length length = loopback(ipv6_, port_, &address);
    connect(waker, reinterpret_cast<sockaddr*>(&address), length);
    acceptor_.join();
    raw_close(waker);
    raw_close(handle(listener_));
    for (std::thread& handler : handlers_)
        handler.join();
}

void TestServer::on(const std::string& target, const CannedResponse& response)
{
    std::lock_guard<std::mutex> lock(mutex_);
    routes_[target] = response;
}

void TestServer::on_conditional(const std::string& target, const CannedResponse& response)
{
    std::lock_guard<std::mutex> lock(mutex_);
    conditional_routes_[target] = response;
}

void TestServer::release_pauses()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        released_ = true;
    }
    stopped_.notify_all();
}

void TestServer::serve_raw(const CannedResponse& response)
{
    std::lock_guard<std::mutex> lock(mutex_);
    raw_ = true;
    raw_response_ = response;
}

std::vector<std::string> TestServer::requests()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

void TestServer::keep_alive(int answers)
{
    std::lock_guard<std::mutex> lock(mutex_);
    keep_answers_ = answers;
}

std::vector<TestServer::Arrival> TestServer::arrivals()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return arrivals_;
}

int TestServer::connections()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return connections_;
}

void TestServer::accept_loop()
{
    for (;;) {
        raw_socket client = accept(handle(listener_), nullptr, nullptr);
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopping_) {
            raw_close(client);
            return;
        }
        connections_++;
        handlers_.emplace_back(&TestServer::serve, this, static_cast<intptr_t>(client),
                               connections_);
    }
}

// The canned response for a request, or the 404 of an unknown target.
CannedResponse TestServer::route(const std::string& request)
{
    bool conditional = request.find("\r\nIf-Modified-Since:") != std::string::npos;
    auto& routes = conditional && conditional_routes_.count(request_target(request))
                       ? conditional_routes_
                       : routes_;
    auto found = routes.find(request_target(request));
    return found != routes.end() ? found->second
                                 : http_response("404 Not Found", {}, "not here");
}

void TestServer::serve(intptr_t client, int connection)
{
    raw_socket s = handle(client);
    // A client that neither sends nor closes cannot hold the server's stop
    // up for long.
    raw_set_timeout(s, 10);
    std::string pending;
    for (int answered = 0;; answered++) {
        CannedResponse response;
        std::unique_lock<std::mutex> lock(mutex_);
        response = raw_response_;
        int keep = keep_answers_;
        if (!raw_) {
            lock.unlock();
            std::string request = read_request(s, &pending);
            lock.lock();
            // A client that ends a kept connection sends nothing more.
            if (request.empty() && answered > 0)
                break;
            requests_.push_back(request);
            arrivals_.push_back({connection, !pending.empty()});
            response = route(request);
        }
        if (response.never_answer) {
            stopped_.wait(lock, [this] { return stopping_; });
            lock.unlock();
            raw_close(s);
            return;
        }
        lock.unlock();
        bool last = raw_ || keep < 0 || answered + 1 == keep || response.reset ||
                    response.close_after != CannedResponse::none || !response.endless.empty();
        if (!send_answer(client, response) || last) {
            finish(client, response);
            return;
        }
    }
    raw_close(s);
}

bool TestServer::stops_within(int ms)
{
    std::unique_lock<std::mutex> lock(mutex_);
    return stopped_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stopping_; });
}

// Waits out a pause of ms, or less once the pauses are released. False when
// the server stops meanwhile.
bool TestServer::pause_for(int ms)
{
    std::unique_lock<std::mutex> lock(mutex_);
    stopped_.wait_for(lock, std::chrono::milliseconds(ms),
                      [this] { return stopping_ || released_; });
    return !stopping_;
}

// A reset that overtakes bytes the client has not read yet is at times
// reported as an orderly close under Wine, and a pause meant to split the
// stream splits nothing when the client reads late: so a pause first waits
// until a client of this process has read everything (found afresh each
// time, so an end that closes, and whose number is taken again, is not
// mistaken for it).
void TestServer::wait_until_drained(intptr_t client)
{
    for (;;) {
        intptr_t end = client_end(handle(client));
        long unread = 0;
        if (end < 0 || !raw_unread(handle(end), &unread) || unread == 0 || stops_within(1))
            return;
    }
}

// Sends bytes[from, to): at once up to the trickle offset, then byte by byte.
// False when a send failed or the server stopped.
bool TestServer::send_paced(intptr_t client, const std::string& bytes, size_t from, size_t to,
                            const CannedResponse& response)
{
    raw_socket s = handle(client);
    size_t steady = std::max(from, std::min(to, response.trickle_from));
    if (!send_bytes(s, bytes.data() + from, steady - from))
        return false;
    for (size_t at = steady; at < to; at++) {
        if (stops_within(response.trickle_ms) || !send_bytes(s, bytes.data() + at, 1))
            return false;
    }
    return true;
}

bool TestServer::send_answer(intptr_t client, const CannedResponse& response)
{
    raw_socket s = handle(client);
    std::string bytes = response.head + response.body;
    size_t limit = std::min(bytes.size(), response.close_after);
    size_t pause = response.pause_at == CannedResponse::none
                       ? limit
                       : std::min(limit, response.head.size() + response.pause_at);
    bool sent = send_paced(client, bytes, 0, pause, response);
    // A stopping server cuts the pause short and sends nothing more.
    if (sent && response.pause_at != CannedResponse::none) {
        wait_until_drained(client);
        sent = pause_for(response.pause_ms) &&
               send_paced(client, bytes, pause, limit, response);
    }
    if (sent && !response.endless.empty()) {
        while (send_bytes(s, response.endless.data(), response.endless.size()) &&
               !stops_within(0)) {
        }
    }
    return sent;
}

void TestServer::finish(intptr_t client, const CannedResponse& response)
{
    raw_socket s = handle(client);
    if (response.reset) {
        linger hard = {1, 0};
        setsockopt(s, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&hard), sizeof hard);
        raw_close(s);
        return;
    }
#ifdef _WIN32
    shutdown(s, SD_SEND);
#else
    shutdown(s, SHUT_WR);
#endif
    // Drain until the client closes, so the close never turns into a reset
    // that could discard bytes the client has not read yet.
    char sink[256];
    while (recv(s, sink, sizeof sink, 0) > 0) {
    }
    raw_close(s);
}

RefusingPort::RefusingPort()
{
    socket_ = static_cast<intptr_t>(bound_socket(false, &port_));
}

RefusingPort::~RefusingPort()
{
    raw_close(handle(socket_));
}

#ifdef _WIN32

unsigned recv_timeout_ms(int socket)
{
    DWORD value = 0;
    int length = sizeof value;
    getsockopt(handle(socket), SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<char*>(&value), &length);
    return value;
}

bool socket_is_blocking(int socket)
{
    // Winsock cannot report the mode; a peek with no data pending tells it:
    // a non-blocking socket fails at once with WSAEWOULDBLOCK, a blocking one
    // waits out the (briefly shortened) receive time-out.
    raw_socket s = handle(socket);
    DWORD saved = recv_timeout_ms(socket);
    DWORD brief = 1;
    setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&brief), sizeof brief);
    char byte;
    int got = recv(s, &byte, 1, MSG_PEEK);
    bool blocking = !(got < 0 && WSAGetLastError() == WSAEWOULDBLOCK);
    setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&saved), sizeof saved);
    return blocking;
}

#else

unsigned recv_timeout_ms(int socket)
{
    timeval value = {0, 0};
    socklen_t length = sizeof value;
    getsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, &value, &length);
    return static_cast<unsigned>(value.tv_sec * 1000 + value.tv_usec / 1000);
}

bool socket_is_blocking(int socket)
{
    return (fcntl(socket, F_GETFL) & O_NONBLOCK) == 0;
}

#endif
