// A scripted HTTP server for the network tests, written straight on the
// platform's sockets (Winsock under Wine, POSIX natively) so that it shares
// no code with the library under test. It listens on loopback with an
// ephemeral port, answers each connection on a thread of its own with the
// canned response of the request's path, and records every raw request.
// A connection carries one answer and is closed, unless keep_alive asks
// for more.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct CannedResponse {
    static constexpr size_t none = static_cast<size_t>(-1);

    // Sent first, byte for byte: the status line, header lines, empty line.
    std::string head;
    std::string body;
    // Pause once this many body bytes are out (0: before the body), also
    // when the close or reset comes right after: first until a client of
    // this process (the library under test) has read every byte sent so far
    // and so waits for more, then pause_ms more or until release_pauses.
    size_t pause_at = none;
    int pause_ms = 0;
    // Close after this many bytes of head and body together.
    size_t close_after = none;
    // End with a reset (RST) instead of an orderly close.
    bool reset = false;
    // Never answer: hold the connection silent until the server stops.
    bool never_answer = false;
    // From this offset of head and body together, the rest goes out one
    // byte at a time, each after a wait of trickle_ms.
    size_t trickle_from = none;
    int trickle_ms = 0;
    // Sent after head and body again and again until the client goes away
    // or the server stops: a header or body without end. Not with
    // close_after.
    std::string endless;
};

// A complete response: "HTTP/1.0 <status>", the given header lines (each
// without its CR LF), the empty line, then body.
CannedResponse http_response(const std::string& status, const std::vector<std::string>& headers,
                             const std::string& body);

class TestServer {
public:
    // Listens on 127.0.0.1, or on ::1 when ipv6 is set.
    explicit TestServer(bool ipv6 = false);
    ~TestServer();
    TestServer(const TestServer&) = delete;
    TestServer& operator=(const TestServer&) = delete;

    int port() const { return port_; }

    // The response for a request target such as "/dir/a.jar". Unknown
    // targets get a 404.
    void on(const std::string& target, const CannedResponse& response);
    // The response for a request of target that carries "If-Modified-Since",
    // instead of the one given with on.
    void on_conditional(const std::string& target, const CannedResponse& response);
    // Ends every pause, now and from now on.
    void release_pauses();
    // Every connection gets response at once, without waiting for a request.
    void serve_raw(const CannedResponse& response);

    // Answers every request of a connection in turn (requests that came
    // together are taken apart), closing it after answers of them (0: only
    // when the client ends it). A response that cuts or resets ends its
    // connection all the same.
    void keep_alive(int answers);

    // Every request received so far, raw, in the order of arrival.
    std::vector<std::string> requests();
    // For each of them: the connection it came on (1 for the first
    // accepted) and whether bytes of another request had come behind it
    // when it was taken (it was pipelined).
    struct Arrival {
        int connection;
        bool followed;
        bool operator==(const Arrival& other) const
        {
            return connection == other.connection && followed == other.followed;
        }
    };
    std::vector<Arrival> arrivals();
    int connections();

private:
    void accept_loop();
    void serve(intptr_t client, int connection);
    CannedResponse route(const std::string& request);
    bool send_answer(intptr_t client, const CannedResponse& response);
    void finish(intptr_t client, const CannedResponse& response);
    bool send_paced(intptr_t client, const std::string& bytes, size_t from, size_t to,
                    const CannedResponse& response);
    bool stops_within(int ms);
    bool pause_for(int ms);
    void wait_until_drained(intptr_t client);

    intptr_t listener_ = -1;
    int port_ = 0;
    bool ipv6_ = false;
    std::thread acceptor_;
    std::mutex mutex_;
    std::condition_variable stopped_;
    bool stopping_ = false;
    bool raw_ = false;
    bool released_ = false;
    CannedResponse raw_response_;
    std::map<std::string, CannedResponse> routes_;
    std::map<std::string, CannedResponse> conditional_routes_;
    std::vector<std::string> requests_;
    std::vector<Arrival> arrivals_;
    int keep_answers_ = -1;
    std::vector<std::thread> handlers_;
    int connections_ = 0;
};

// A loopback port on which nothing listens: a socket is bound to it and kept
// (not listening) for the life of the object, so connects are refused.
class RefusingPort {
public:
    RefusingPort();
    ~RefusingPort();
    RefusingPort(const RefusingPort&) = delete;
    RefusingPort& operator=(const RefusingPort&) = delete;
    int port() const { return port_; }

private:
    intptr_t socket_ = -1;
    int port_ = 0;
};

// Read back from a socket value of the library: its receive time-out in
// milliseconds, and whether it is in blocking mode.
unsigned recv_timeout_ms(int socket);
bool socket_is_blocking(int socket);
