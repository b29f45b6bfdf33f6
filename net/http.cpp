#include "net/http.h"

#include "net/ascii.h"
#include "net/cause.h"
#include "net/socket.h"
#include "net/tls.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

enum { MAX_AUTH_LEGS = 4, TARGET_SIZE = 1200, TOKEN_SIZE = 64 };

// The request into buffer, for target (the path with its '/', or the whole
// URL for a proxy); false when it does not fit.
bool build_request(char (&buffer)[HTTP_REQUEST_SIZE], const char* target, const char* host,
                   const StringList* request, bool last)
{
    int length = snprintf(buffer, sizeof buffer,
                          "GET %s HTTP/1.1\r\nHost: %s\r\nAccept: */*\r\n"
                          "User-Agent: simple http\r\n%s",
                          target, host, last ? "Connection: close\r\n" : "");
    if (length < 0 || static_cast<size_t>(length) >= sizeof buffer)
        return false;
    size_t used = static_cast<size_t>(length);
    int lines = request ? request->count : 0;
    for (int i = 0; i <= lines; i++) {
        const char* line = i < lines ? request->items[i] : "\r\n";
        size_t size = strlen(line);
        if (size >= sizeof buffer - used)
            return false;
        memcpy(buffer + used, line, size + 1);
        used += size;
    }
    return true;
}

// Refills an emptied buffer with one receive: its result.
int fill(HttpConnection* connection)
{
    connection->start = 0;
    connection->end = 0;
    int got = connection->tls ? tls_recv(connection->tls, connection->buffer, HTTP_BUFFER_SIZE)
                              : sock_recv(connection->socket, connection->buffer, HTTP_BUFFER_SIZE);
    if (got > 0)
        connection->end = got;
    if (got == 0)
        cause_set("connection closed by the server", 0);
    if (got <= 0)
        connection->persistent = 0;
    return got;
}

// One line from the connection into line, as sock_read_line reads one from a
// socket: at most size - 1 characters, the line feed included, always
// NUL-terminated, their count in *count. false when the connection ends or
// fails first (*count then says how many bytes came before).
bool read_line(HttpConnection* connection, char* line, int size, int* count)
{
    *count = 0;
    line[0] = '\0';
    while (*count < size - 1) {
        if (connection->start == connection->end && fill(connection) <= 0)
            return false;
        const char* from = connection->buffer + connection->start;
        int take = connection->end - connection->start;
        if (take > size - 1 - *count)
            take = size - 1 - *count;
        const char* feed = static_cast<const char*>(memchr(from, '\n', static_cast<size_t>(take)));
        if (feed)
            take = static_cast<int>(feed - from) + 1;
        memcpy(line + *count, from, static_cast<size_t>(take));
        *count += take;
        line[*count] = '\0';
        connection->start += take;
        if (feed)
            break;
    }
    return true;
}

// What the headers of one answer, 1xx answers before it included, may take.
struct Budget {
    int lines;
    size_t bytes;
};

// One header into header, within budget; the bytes received.
size_t read_header(HttpConnection* connection, StringList* header, Budget* budget)
{
    char line[HTTP_LINE_SIZE];
    size_t received = 0;
    while (budget->lines < HTTP_MAX_HEADER_LINES) {
        int length = 0;
        bool whole = read_line(connection, line, sizeof line, &length);
        received += static_cast<size_t>(length);
        if (!whole)
            return received;
        budget->lines++;
        budget->bytes += static_cast<size_t>(length);
        // A server must not be able to fill memory with an endless header.
        if (budget->bytes > HTTP_MAX_HEADER_BYTES) {
            cause_set("answer header over 64 KiB", 0);
            return received;
        }
        if (!string_list_add(line, header))
            return received;
        if (line[0] == '\r' || line[0] == '\n')
            return received;
    }
    cause_set("answer header over 100 lines", 0);
    return received;
}

// Calls visit with each comma-separated element of the values of the
// header lines named name, blanks around it taken off, until it returns
// true; true then.
template <typename Visit>
bool any_token(const StringList* header, const char* name, Visit visit)
{
    size_t name_length = strlen(name);
    for (int i = 0; i < header->count; i++) {
        const char* line = header->items[i];
        if (strlen(line) <= name_length || line[name_length] != ':' ||
            !ascii_starts_with(line, name))
            continue;
        const char* at = line + name_length + 1;
        while (*at) {
            at += strspn(at, " \t,");
            size_t length = strcspn(at, ",\r\n");
            std::string token(at, length);
            token.erase(token.find_last_not_of(" \t") + 1);
            if (!token.empty() && visit(token.c_str()))
                return true;
            at += length;
            at += strspn(at, "\r\n");
        }
    }
    return false;
}

bool has_token(const StringList* header, const char* name, const char* wanted)
{
    return any_token(header, name, [wanted](const char* token) {
        return ascii_equal(token, wanted) != 0;
    });
}

// Whether the server keeps the connection after this answer: HTTP/1.1
// unless it says close, HTTP/1.0 only when it says keep-alive. A proxy
// may say so with Proxy-Connection.
bool keeps_connection(const StringList* header)
{
    const char* status = header->items[0];
    bool current = strncmp(status, "HTTP/1.", 7) == 0 && status[7] >= '1' && status[7] <= '9';
    for (const char* name : {"Connection", "Proxy-Connection"}) {
        if (has_token(header, name, "close"))
            return false;
    }
    return current || has_token(header, "Connection", "keep-alive") ||
           has_token(header, "Proxy-Connection", "keep-alive");
}

// The Content-Length of the header into *length: false when there is none,
// or it is no plain count (blanks after it allowed) or lines disagree.
bool content_length(const StringList* header, bool* given, long long* length)
{
    *given = false;
    bool valid = true;
    any_token(header, "Content-Length", [&](const char* token) {
        long long value = 0;
        const char* c = token;
        for (; *c >= '0' && *c <= '9'; c++) {
            int digit = *c - '0';
            if (value > (LLONG_MAX - digit) / 10) {
                valid = false;
                return true;
            }
            value = value * 10 + digit;
        }
        valid = valid && c != token && *c == '\0' && (!*given || value == *length);
        *given = true;
        *length = value;
        return !valid;
    });
    return *given && valid;
}

// Sets up the body of the answer whose header is header: how it ends and
// whether the connection serves the next answer.
void frame(HttpConnection* connection, const StringList* header)
{
    connection->body = HTTP_BODY_CLOSE;
    connection->left = 0;
    connection->persistent = 0;
    if (!http_header_complete(header))
        return;
    connection->persistent = keeps_connection(header);
    int status = http_status_code(header);
    if (status == 204 || status == 304) {
        connection->body = HTTP_BODY_NONE;
        return;
    }
    // The last coding named decides: only chunked can be taken off.
    std::string last_coding;
    any_token(header, "Transfer-Encoding", [&last_coding](const char* token) {
        last_coding = token;
        return false;
    });
    bool given = false;
    long long length = 0;
    if (!last_coding.empty() && ascii_equal(last_coding.c_str(), "chunked")) {
        connection->body = HTTP_BODY_CHUNKED;
        chunked_start(&connection->chunked);
    } else if (last_coding.empty() && content_length(header, &given, &length)) {
        connection->body = HTTP_BODY_LENGTH;
        connection->left = length;
    }
    if (connection->body == HTTP_BODY_CLOSE)
        connection->persistent = 0;
}

// A 1xx answer is a notice before the real one (101 ends HTTP instead).
bool is_interim(const StringList* header)
{
    int status = http_status_code(header);
    return http_header_complete(header) && status >= 100 && status < 200 && status != 101;
}

size_t read_answer(HttpConnection* connection, StringList* response)
{
    Budget budget = {0, 0};
    size_t received = 0;
    StringList header = {nullptr, 0};
    do {
        string_list_free(&header);
        received += read_header(connection, &header, &budget);
    } while (is_interim(&header) && budget.lines < HTTP_MAX_HEADER_LINES);
    frame(connection, &header);
    for (int i = 0; i < header.count; i++)
        string_list_add(header.items[i], response);
    string_list_free(&header);
    return received;
}

} // namespace

const char* http_header_line(const StringList* list, const char* name)
{
    size_t name_length = strlen(name);
    for (int i = 0; i < list->count; i++) {
        const char* line = list->items[i];
        if (strlen(line) > name_length && line[name_length] == ':' &&
            ascii_starts_with(line, name))
            return line;
    }
    return nullptr;
}

int http_header_value(const StringList* list, const char* name, char* out, uint32_t size)
{
    const char* line = http_header_line(list, name);
    if (size == 0 || !line)
        return 0;
    const char* value = line + strlen(name) + 1;
    while (*value == ' ' || *value == '\t')
        value++;
    uint32_t copied = 0;
    while (copied < size - 1 && value[copied] && value[copied] != '\r' && value[copied] != '\n') {
        out[copied] = value[copied];
        copied++;
    }
    out[copied] = '\0';
    return 1;
}

int http_status_code(const StringList* list)
{
    if (list->count == 0)
        return 0;
    const char* space = strchr(list->items[0], ' ');
    if (!space)
        return 0;
    // The space and at most three characters after it.
    char text[5] = {0};
    strncpy(text, space, 4);
    const char* digits = strrchr(text, ' ') + 1;
    return static_cast<int>(strtol(digits, nullptr, 10));
}

int http_header_complete(const StringList* list)
{
    if (list->count == 0)
        return 0;
    char first = list->items[list->count - 1][0];
    return first == '\r' || first == '\n';
}

namespace {

const char CLOSE_LINE[] = "\r\nConnection: close\r\n";
const char KEEP_LINE[] = "\r\nProxy-Connection: Keep-Alive\r\n";
const long long DISCARD_LIMIT = 65536;

// A control character in the host or path would end the request line and
// add header lines of the descriptor's choosing; a proxy is sent them
// without the host being resolved first.
bool has_control(const char* text)
{
    for (; *text; text++) {
        if (static_cast<unsigned char>(*text) < 32 || *text == 127)
            return true;
    }
    return false;
}

// host:port, an IPv6 address in brackets.
std::string authority(const char* host, int port)
{
    bool v6 = strchr(host, ':') != nullptr;
    return (v6 ? "[" : "") + std::string(host) + (v6 ? "]:" : ":") + std::to_string(port);
}

// One request through the proxy and its answer's header into header:
// get_text (plain) or a CONNECT (secure), with the logon line
// authorization (may be empty) put before the empty line that ends it.
bool ask_proxy(HttpConnection* connection, bool secure, const std::string& get_text,
               const std::string& origin, const char* authorization, StringList* header)
{
    std::string text = secure ? "CONNECT " + origin + " HTTP/1.1\r\nHost: " + origin +
                                    "\r\nUser-Agent: simple http\r\n\r\n"
                              : get_text;
    text.insert(text.size() - 2, authorization);
    if (sock_send_all(connection->socket, text.data(), static_cast<int>(text.size())) == -1)
        return false;
    read_answer(connection, header);
    return true;
}

// Why a CONNECT opened no tunnel: the proxy's status line, or its header
// cut short (the socket layer's cause then stands).
void refused_tunnel(const StringList* header)
{
    if (!http_header_complete(header))
        return;
    std::string line = header->items[0];
    line.erase(line.find_last_not_of("\r\n") + 1);
    cause_set(("the proxy refused the tunnel: " + line).c_str(), http_status_code(header));
}

// A step's wait in seconds: the patience when one is set, else the usual.
uint32_t wait_of(int patience, int usual)
{
    return static_cast<uint32_t>(patience > 0 ? patience : usual);
}

void drop_socket(HttpConnection* connection)
{
    sock_release(connection->socket);
    connection->socket = -1;
    connection->start = 0;
    connection->end = 0;
}

// The next logon line for a 407's header into line: its PROXY_AUTH_ step.
int answer_challenge(ProxyAuth** auth, const char* proxy_host, const StringList* header,
                     std::vector<char>* line)
{
    char scheme[PROXY_SCHEME_SIZE];
    std::vector<char> challenge(line->size());
    if (!proxy_auth_offer(header, scheme, challenge.data(), challenge.size())) {
        cause_set("the proxy asks for a logon other than Negotiate or NTLM", 407);
        return PROXY_AUTH_NONE;
    }
    int step =
        proxy_auth_step(auth, scheme, challenge.data(), proxy_host, line->data(), line->size());
    if (step == PROXY_AUTH_NONE)
        cause_set(*auth ? "the proxy refused the Windows logon" : "no Windows logon for the proxy",
                  407);
    return step;
}

// Opens the way to the origin through the proxy: for plain http the
// proxy's answer to the GET itself (appended to response), for https a
// tunnel that CONNECT opened. A 407 is answered with the user's logon
// while the handshake has tokens to give. The connected socket, or an
// HTTP_ failure.
int through_proxy(const ProxyRoute* proxy, bool secure, const char* host, int port,
                  const char* get_request, StringList* response, HttpConnection* connection,
                  int patience = 0)
{
    // Room for a logon line and the request that keeps the connection are
    // made only when a proxy asks for a logon.
    std::vector<char> authorization(1, '\0');
    std::string keep_request;
    std::string origin = authority(host, port);
    ProxyAuth* auth = nullptr;
    int step = PROXY_AUTH_LAST;
    int result = HTTP_FAILED;
    for (int leg = 0; leg <= MAX_AUTH_LEGS; leg++) {
        result = HTTP_FAILED;
        if (connection->socket < 0)
            connection->socket = sock_connect_receiving(
                proxy->host, static_cast<uint32_t>(proxy->port),
                wait_of(patience, HTTP_CONNECT_SECONDS), wait_of(patience, HTTP_RECEIVE_SECONDS));
        if (connection->socket < 0) {
            result = HTTP_PROXY_UNREACHABLE;
            break;
        }
        StringList header = {nullptr, 0};
        const char* get_text = step == PROXY_AUTH_MORE ? keep_request.c_str() : get_request;
        bool asked = ask_proxy(connection, secure, get_text, origin, authorization.data(), &header);
        int status = http_status_code(&header);
        if (asked && status == 407) {
            authorization.resize(PROXY_AUTH_LINE_SIZE);
            step = leg < MAX_AUTH_LEGS
                       ? answer_challenge(&auth, proxy->host, &header, &authorization)
                       : PROXY_AUTH_NONE;
            if (leg == MAX_AUTH_LEGS)
                cause_set("the proxy refused the Windows logon", 407);
            result = HTTP_PROXY_AUTH;
            if (step != PROXY_AUTH_NONE && !http_discard(connection, DISCARD_LIMIT))
                drop_socket(connection);
            // A logon handshake goes on over the same connection (NTLM's
            // challenge belongs to it), so its middle legs ask to keep it.
            if (step == PROXY_AUTH_MORE && keep_request.empty()) {
                keep_request = get_request;
                size_t close = keep_request.find(CLOSE_LINE);
                if (close != std::string::npos)
                    keep_request.replace(close, sizeof CLOSE_LINE - 1, KEEP_LINE);
            }
        } else if (asked && secure) {
            // The tunnel's bytes may come from the origin alone.
            bool tunnel = status / 100 == 2 && http_header_complete(&header) &&
                          connection->start == connection->end;
            result = tunnel ? connection->socket : HTTP_FAILED;
            if (!tunnel)
                refused_tunnel(&header);
        } else if (asked) {
            for (int i = 0; i < header.count; i++)
                string_list_add(header.items[i], response);
            result = connection->socket;
        }
        string_list_free(&header);
        if (result != HTTP_PROXY_AUTH || step == PROXY_AUTH_NONE)
            break;
    }
    proxy_auth_end(auth);
    return result;
}

} // namespace

int http_request_text(const ProxyRoute* proxy, int secure, const char* host, int port,
                      const char* path, const StringList* request, int last, char* out)
{
    char buffer[HTTP_REQUEST_SIZE];
    char target[TARGET_SIZE];
    // A proxy is asked for the whole URL (RFC 7230 5.3.2); a tunnel carries
    // the request as the origin itself would get it.
    int length = proxy && proxy->port && !secure
                     ? snprintf(target, sizeof target, "http://%s/%s",
                                authority(host, port).c_str(), path)
                     : snprintf(target, sizeof target, "/%s", path);
    if (has_control(host) || has_control(path)) {
        cause_set("a control character in the host or path", 0);
        return 0;
    }
    if (length < 0 || static_cast<size_t>(length) >= sizeof target ||
        !build_request(buffer, target, host, request, last != 0)) {
        cause_set("the request does not fit", 0);
        return 0;
    }
    memcpy(out, buffer, strlen(buffer) + 1);
    return 1;
}

int http_open(const ProxyRoute* proxy, int secure, const char* host, int port, int patience,
              HttpConnection* connection)
{
    *connection = HTTP_NO_CONNECTION;
    if (has_control(host)) {
        cause_set("a control character in the host or path", 0);
        return HTTP_FAILED;
    }
    connection->buffer = static_cast<char*>(malloc(HTTP_BUFFER_SIZE));
    if (!connection->buffer) {
        cause_set("out of memory", 0);
        return HTTP_FAILED;
    }
    bool through = proxy && proxy->port;
    int opened = HTTP_FAILED;
    if (through && secure) {
        opened = through_proxy(proxy, true, host, port, "", nullptr, connection, patience);
    } else {
        const char* to = through ? proxy->host : host;
        int to_port = through ? proxy->port : port;
        connection->socket = sock_connect_receiving(to, static_cast<uint32_t>(to_port),
                                                    wait_of(patience, HTTP_CONNECT_SECONDS),
                                                    wait_of(patience, HTTP_RECEIVE_SECONDS));
        opened = connection->socket >= 0 ? connection->socket
                 : through                ? HTTP_PROXY_UNREACHABLE
                                          : HTTP_FAILED;
    }
    int started = opened < 0 ? opened
                  : secure   ? tls_start(connection->socket, host, &connection->tls)
                             : TLS_OK;
    if (started != TLS_OK) {
        http_close(connection);
        return started == TLS_UNTRUSTED ? HTTP_UNTRUSTED : started < 0 ? started : HTTP_FAILED;
    }
    // Once open, data that arrives is never cut by the patience.
    if (patience > 0 && sock_set_recv_timeout(connection->socket, HTTP_RECEIVE_SECONDS) < 0) {
        cause_set("the receive time-out cannot be set", 0);
        http_close(connection);
        return HTTP_FAILED;
    }
    connection->body = HTTP_BODY_NONE;
    connection->left = 0;
    connection->persistent = 1;
    return connection->socket;
}

int http_send(HttpConnection* connection, const char* text, int size)
{
    int sent = connection->tls ? tls_send(connection->tls, text, size)
                               : sock_send_all(connection->socket, text, size);
    if (sent == size)
        return 1;
    cause_set_first("send failed", 0);
    connection->persistent = 0;
    return -1;
}

int http_read_answer(HttpConnection* connection, StringList* response)
{
    return static_cast<int>(read_answer(connection, response));
}

int http_ask_proxy(const ProxyRoute* proxy, const char* host, int port, const char* text,
                   StringList* response, HttpConnection* connection)
{
    int result = through_proxy(proxy, false, host, port, text, response, connection);
    if (result < 0)
        http_close(connection);
    return result;
}

namespace {

// The next piece of a body framed by its length.
int read_counted(HttpConnection* connection, const char** data)
{
    if (connection->left == 0) {
        // What comes after the body on a connection the server ends is no
        // answer: the body was longer than it said.
        if (!connection->persistent && connection->start < connection->end) {
            cause_set("more bytes than the Content-Length", 0);
            return -1;
        }
        return 0;
    }
    if (connection->start == connection->end && fill(connection) <= 0)
        return -1;
    long long length = connection->end - connection->start;
    if (length > connection->left)
        length = connection->left;
    *data = connection->buffer + connection->start;
    connection->start += static_cast<int>(length);
    connection->left -= length;
    return static_cast<int>(length);
}

// The next piece of a chunked body, the framing taken out.
int read_chunked(HttpConnection* connection, const char** data)
{
    while (!chunked_done(&connection->chunked)) {
        if (connection->start == connection->end && fill(connection) <= 0)
            return -1;
        int length = 0;
        int used = chunked_decode(&connection->chunked, connection->buffer + connection->start,
                                  connection->end - connection->start, data, &length);
        if (used < 0) {
            cause_set("malformed chunked body", 0);
            connection->persistent = 0;
            return -1;
        }
        connection->start += used;
        if (length > 0)
            return length;
    }
    return 0;
}

} // namespace

int http_read(HttpConnection* connection, const char** data)
{
    switch (connection->body) {
    case HTTP_BODY_LENGTH:
        return read_counted(connection, data);
    case HTTP_BODY_CHUNKED:
        return read_chunked(connection, data);
    case HTTP_BODY_CLOSE:
        break;
    default:
        return 0;
    }
    if (connection->start == connection->end) {
        int got = fill(connection);
        if (got <= 0)
            return got;
    }
    *data = connection->buffer + connection->start;
    int length = connection->end - connection->start;
    connection->start = connection->end;
    return length;
}

int http_discard(HttpConnection* connection, long long limit)
{
    if (connection->body == HTTP_BODY_CLOSE ||
        (connection->body == HTTP_BODY_LENGTH && connection->left > limit))
        return 0;
    long long dropped = 0;
    const char* data = nullptr;
    for (int got; (got = http_read(connection, &data)) != 0;) {
        dropped += got;
        if (got < 0 || dropped > limit)
            return 0;
    }
    return http_reusable(connection);
}

int http_reusable(const HttpConnection* connection)
{
    bool ended = connection->body == HTTP_BODY_NONE ||
                 (connection->body == HTTP_BODY_LENGTH && connection->left == 0) ||
                 (connection->body == HTTP_BODY_CHUNKED && chunked_done(&connection->chunked));
    return connection->socket >= 0 && connection->persistent && ended;
}

int http_wait_readable(HttpConnection* connection, int ms)
{
    // Records the TLS session took in already never show on the socket.
    return connection->start < connection->end ||
           (connection->tls && tls_pending(connection->tls)) ||
           sock_wait_readable(connection->socket, ms) == 1;
}

int http_close(HttpConnection* connection)
{
    // The close alone ends the connection; a shutdown before it would cost
    // one more round trip to the Wine server there for nothing.
    tls_end(connection->tls);
    int result = connection->socket >= 0 ? sock_release(connection->socket) : 0;
    free(connection->buffer);
    *connection = HTTP_NO_CONNECTION;
    return result;
}
