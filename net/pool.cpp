#include "net/pool.h"

#include "base/log.h"
#include "net/cause.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <new>
#include <string>
#include <vector>

namespace {

// read_head's result for an answer that did not begin in time.
const int POOL_SILENT = -100;

struct Ticket {
    int channel;
    std::string text;
    std::string what;  // the log's words for the request
    bool sent;         // in flight on its channel's connection
    int failure;       // an HTTP_ failure its answer gives
};

struct Channel {
    PoolServer server;
    bool single;          // a connection of its own for one request
    bool one_at_a_time;   // pipelining ended for this server
    HttpConnection connection;
    int answered;         // answers taken on the current connection
    std::deque<int> flight;  // tickets on the connection, unanswered, in order
    std::string batch;       // their texts not sent yet
};

bool plain_proxy(const PoolServer& server)
{
    return server.route.port != 0 && !server.secure;
}

// host:port as the log names a connection.
std::string named(const PoolServer& server)
{
    return std::string(server.secure ? "https://" : "http://") + server.host + ":" +
           std::to_string(server.port);
}

} // namespace

struct ConnectionPool {
    // A deque keeps each channel in place: its connection is handed out.
    std::deque<Channel> channels;
    std::vector<Ticket> tickets;
    int patience = 0;
};

namespace {

int find_channel(const ConnectionPool* pool, const PoolServer& server)
{
    for (size_t i = 0; i < pool->channels.size(); i++) {
        const Channel& channel = pool->channels[i];
        if (!channel.single && pool_same_server(&channel.server, &server))
            return static_cast<int>(i);
    }
    return -1;
}

int add_channel(ConnectionPool* pool, const PoolServer& server, bool single)
{
    pool->channels.push_back({server, single, false, HTTP_NO_CONNECTION, 0, {}, ""});
    return static_cast<int>(pool->channels.size() - 1);
}

void close_connection(Channel* channel)
{
    http_close(&channel->connection);
    channel->answered = 0;
    channel->batch.clear();
}

// The connection ended with requests unanswered: they go again, alone,
// when their answers are asked for; after pipelined ones were lost the
// server gets no more. told: the loss goes to the log.
void lose_connection(ConnectionPool* pool, Channel* channel, bool told = true)
{
    int lost = static_cast<int>(channel->flight.size());
    for (int ticket : channel->flight)
        pool->tickets[static_cast<size_t>(ticket)].sent = false;
    channel->flight.clear();
    close_connection(channel);
    if (lost > 1 && !channel->one_at_a_time) {
        channel->one_at_a_time = true;
        if (told)
            log_line("%s: the connection ended with %d requests unanswered: they are sent "
                     "again one at a time, and no more are pipelined to this server",
                     named(channel->server).c_str(), lost);
    } else if (lost > 0 && told) {
        log_line("%s: the connection ended with %d request%s unanswered: sent again on a new "
                 "connection",
                 named(channel->server).c_str(), lost, lost == 1 ? "" : "s");
    }
}

// Opens the channel's connection when it is closed, first logging what
// goes on it. The socket, or an HTTP_ failure.
int open_for(Channel* channel, const std::string& what, const char* again, int patience)
{
    if (channel->connection.socket >= 0) {
        log_line("%s, reused connection%s%s", what.c_str(),
                 channel->flight.empty() ? "" : ", pipelined", again);
        return channel->connection.socket;
    }
    log_line("%s, new connection%s", what.c_str(), again);
    const PoolServer& server = channel->server;
    channel->answered = 0;
    return http_open(&server.route, server.secure, server.host, server.port, patience,
                     &channel->connection);
}

// Sends the batch of the channel's requests; on a failure the connection
// is lost, and when it never carried an answer its first request fails.
void send_batch(ConnectionPool* pool, Channel* channel)
{
    if (channel->batch.empty())
        return;
    cause_clear();
    int sent = http_send(&channel->connection, channel->batch.data(),
                         static_cast<int>(channel->batch.size()));
    channel->batch.clear();
    if (sent == 1)
        return;
    int first = channel->flight.front();
    bool fresh = channel->answered == 0;
    lose_connection(pool, channel, !fresh);
    if (fresh)
        pool->tickets[static_cast<size_t>(first)].failure = HTTP_FAILED;
}

// Sends the ticket again, alone, on its channel's connection: a new one
// when it is closed, or when the one kept has failed the send.
int send_again(ConnectionPool* pool, int ticket)
{
    Ticket& t = pool->tickets[static_cast<size_t>(ticket)];
    Channel& channel = pool->channels[static_cast<size_t>(t.channel)];
    for (;;) {
        int opened = open_for(&channel, t.what, ", sent again", pool->patience);
        if (opened < 0)
            return opened;
        channel.flight.push_back(ticket);
        t.sent = true;
        if (plain_proxy(channel.server))
            return opened;
        channel.batch = t.text;
        send_batch(pool, &channel);
        int failure = t.failure;
        t.failure = 0;
        if (failure || t.sent)
            return failure ? failure : opened;
    }
}

// Reads the answer at the head of the channel's flight: the bytes of
// header received, or an HTTP_ failure of a proxy asked for plain http, or
// POOL_SILENT when its first byte did not come within patience seconds.
int read_head(Channel* channel, const Ticket& ticket, StringList* response, int patience)
{
    const PoolServer& server = channel->server;
    if (!plain_proxy(server)) {
        if (patience > 0 && !http_wait_readable(&channel->connection, patience * 1000)) {
            cause_set(("no answer within " + std::to_string(patience) + " s").c_str(), 0);
            return POOL_SILENT;
        }
        return http_read_answer(&channel->connection, response);
    }
    int asked = http_ask_proxy(&server.route, server.host, server.port, ticket.text.c_str(),
                               response, &channel->connection);
    return asked < 0 ? asked : response->count;
}

} // namespace

int pool_same_server(const PoolServer* a, const PoolServer* b)
{
    return a->secure == b->secure && a->port == b->port && strcmp(a->host, b->host) == 0 &&
           a->route.port == b->route.port && strcmp(a->route.host, b->route.host) == 0;
}

ConnectionPool* pool_make(void)
{
    return new (std::nothrow) ConnectionPool();
}

void pool_set_patience(ConnectionPool* pool, int seconds)
{
    pool->patience = seconds;
}

void pool_free(ConnectionPool* pool)
{
    if (!pool)
        return;
    for (Channel& channel : pool->channels)
        http_close(&channel.connection);
    delete pool;
}

int pool_can_send_ahead(const ConnectionPool* pool, const PoolServer* server)
{
    int found = find_channel(pool, *server);
    if (found < 0)
        return 0;
    const Channel& channel = pool->channels[static_cast<size_t>(found)];
    return channel.connection.socket >= 0 && !channel.one_at_a_time &&
           !plain_proxy(channel.server) && channel.flight.size() < POOL_DEPTH;
}

int pool_request(ConnectionPool* pool, const PoolServer* server, const char* path,
                 const StringList* lines, const char* what, int way)
{
    cause_clear();
    int index = find_channel(pool, *server);
    if (index < 0)
        index = add_channel(pool, *server, false);
    // A request taken up now cannot wait behind the answers of later files.
    bool single = way == POOL_ALONE ||
                  (way == POOL_NOW && !pool->channels[static_cast<size_t>(index)].flight.empty());
    if (single)
        index = add_channel(pool, *server, true);
    Channel& channel = pool->channels[static_cast<size_t>(index)];
    char text[HTTP_REQUEST_SIZE];
    if (!http_request_text(&server->route, server->secure, server->host, server->port, path,
                           lines, single, text))
        return HTTP_FAILED;
    int opened = open_for(&channel, what, "", pool->patience);
    if (opened < 0)
        return opened;
    pool->tickets.push_back({index, text, what, true, 0});
    int ticket = static_cast<int>(pool->tickets.size() - 1);
    channel.flight.push_back(ticket);
    if (!plain_proxy(channel.server))
        channel.batch += text;
    return ticket;
}

int pool_in_flight(const ConnectionPool* pool, int ticket)
{
    const Ticket& t = pool->tickets[static_cast<size_t>(ticket)];
    return t.sent && !t.failure;
}

void pool_flush(ConnectionPool* pool)
{
    for (Channel& channel : pool->channels)
        send_batch(pool, &channel);
}

int pool_answer(ConnectionPool* pool, int ticket, StringList* response,
                HttpConnection** connection)
{
    pool_flush(pool);
    Ticket& t = pool->tickets[static_cast<size_t>(ticket)];
    Channel& channel = pool->channels[static_cast<size_t>(t.channel)];
    *connection = &channel.connection;
    for (int attempt = 0;; attempt++) {
        int failure = t.failure;
        t.failure = 0;
        int sent = failure ? failure : t.sent ? 0 : send_again(pool, ticket);
        if (sent < 0)
            return sent;
        // A request alone on a fresh connection that gets no answer got
        // its answer: an empty one. Any other may have met a connection
        // the server had just ended.
        bool alone = channel.answered == 0 && channel.flight.size() == 1;
        cause_clear();
        int received = read_head(&channel, t, response, pool->patience);
        if (received <= 0 && !alone && attempt == 0 && received != HTTP_PROXY_AUTH &&
            received != POOL_SILENT) {
            lose_connection(pool, &channel);
            continue;
        }
        channel.flight.pop_front();
        if (received < 0) {
            // A silent server's other requests are not sent again: it
            // counts as unreachable.
            lose_connection(pool, &channel, received != POOL_SILENT);
            return received == POOL_SILENT ? HTTP_FAILED : received;
        }
        channel.answered++;
        return channel.connection.socket;
    }
}

void pool_take_connection(ConnectionPool* pool, int ticket, HttpConnection* connection)
{
    const Ticket& t = pool->tickets[static_cast<size_t>(ticket)];
    Channel& channel = pool->channels[static_cast<size_t>(t.channel)];
    *connection = channel.connection;
    channel.connection = HTTP_NO_CONNECTION;
    channel.answered = 0;
    channel.flight.clear();
    channel.batch.clear();
}

void pool_done(ConnectionPool* pool, int ticket)
{
    const Ticket& t = pool->tickets[static_cast<size_t>(ticket)];
    Channel& channel = pool->channels[static_cast<size_t>(t.channel)];
    if (channel.single || !http_reusable(&channel.connection))
        lose_connection(pool, &channel);
}

void pool_end_list(ConnectionPool* pool)
{
    for (Channel& channel : pool->channels) {
        if (!channel.flight.empty() || channel.single)
            close_connection(&channel);
        channel.flight.clear();
    }
    pool->channels.erase(std::remove_if(pool->channels.begin(), pool->channels.end(),
                                        [](const Channel& channel) { return channel.single; }),
                         pool->channels.end());
    pool->tickets.clear();
}
