#include "net/http.h"

#include "net/ascii.h"
#include "net/cause.h"
#include "net/socket.h"
#include "net/url.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// The request into buffer, for target (the path with its '/', or the whole
// URL for a proxy); false when it does not fit.
bool build_request(char (&buffer)[HTTP_REQUEST_SIZE], const char* target, const char* host,
                   const StringList* request)
{
    int length = snprintf(buffer, sizeof buffer,
                          "GET %s HTTP/1.0\r\nHost: %s\r\nAccept: */*\r\n"
                          "User-Agent: simple http\r\nConnection: close\r\n",
                          target, host);
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
    return got;
}

// One line from the connection into line, as sock_read_line reads one from a
// socket: at most size - 1 characters, the line feed included, always
// NUL-terminated; -1 when the connection ends or fails first.
int read_line(HttpConnection* connection, char* line, int size)
{
    int count = 0;
    line[0] = '\0';
    while (count < size - 1) {
        if (connection->start == connection->end && fill(connection) <= 0)
            return -1;
        const char* from = connection->buffer + connection->start;
        int take = connection->end - connection->start;
        if (take > size - 1 - count)
            take = size - 1 - count;
        const char* feed = static_cast<const char*>(memchr(from, '\n', static_cast<size_t>(take)));
        if (feed)
            take = static_cast<int>(feed - from) + 1;
        memcpy(line + count, from, static_cast<size_t>(take));
        count += take;
        line[count] = '\0';
        connection->start += take;
        if (feed)
            break;
    }
    return count;
}

void read_header(HttpConnection* connection, StringList* response)
{
    char line[HTTP_LINE_SIZE];
    size_t bytes = 0;
    for (int lines = 0; lines < HTTP_MAX_HEADER_LINES; lines++) {
        int length = read_line(connection, line, sizeof line);
        if (length < 0)
            return;
        bytes += static_cast<size_t>(length);
        // A server must not be able to fill memory with an endless header.
        if (bytes > HTTP_MAX_HEADER_BYTES) {
            cause_set("answer header over 64 KiB", 0);
            return;
        }
        if (!string_list_add(line, response))
            return;
        if (line[0] == '\r' || line[0] == '\n')
            return;
    }
    cause_set("answer header over 100 lines", 0);
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

const char CLOSE_LINE[] = "\r\nUser-Agent: simple http\r\nConnection: close\r\n";
const char KEEP_LINE[] = "\r\nUser-Agent: simple http\r\nProxy-Connection: Keep-Alive\r\n";

enum { MAX_AUTH_LEGS = 4, TARGET_SIZE = 1200 };

int send_request(HttpConnection* connection, const char* request)
{
    if (connection->tls)
        return tls_send(connection->tls, request, static_cast<int>(strlen(request)));
    return sock_send_string(connection->socket, request);
}

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

// One request through the proxy and its response header into header:
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
    read_header(connection, header);
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

// Skips the body of a 407 so the next leg can use the connection: false
// when its length is not given or the connection ends first.
bool skip_body(HttpConnection* connection, const StringList* header)
{
    char value[32];
    char* end = nullptr;
    if (!http_header_value(header, "Content-Length", value, sizeof value) || value[0] < '0' ||
        value[0] > '9')
        return false;
    long long left = strtoll(value, &end, 10);
    if (*end)
        return false;
    while (left > 0) {
        if (connection->start == connection->end && fill(connection) <= 0)
            return false;
        int take = connection->end - connection->start;
        if (take > left)
            take = static_cast<int>(left);
        connection->start += take;
        left -= take;
    }
    return true;
}

bool says_close(const StringList* header)
{
    char value[64];
    for (const char* name : {"Connection", "Proxy-Connection"}) {
        if (http_header_value(header, name, value, sizeof value) &&
            ascii_starts_with(value, "close"))
            return true;
    }
    return false;
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
                  const char* get_request, StringList* response, HttpConnection* connection)
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
            connection->socket =
                sock_connect_receiving(proxy->host, static_cast<uint32_t>(proxy->port),
                                       HTTP_CONNECT_SECONDS, HTTP_RECEIVE_SECONDS);
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
            if (step != PROXY_AUTH_NONE && (!skip_body(connection, &header) || says_close(&header)))
                drop_socket(connection);
            // A logon handshake goes on over the same connection (NTLM's
            // challenge belongs to it), so its middle legs ask to keep it.
            if (step == PROXY_AUTH_MORE && keep_request.empty()) {
                keep_request = get_request;
                keep_request.replace(keep_request.find(CLOSE_LINE), sizeof CLOSE_LINE - 1,
                                     KEEP_LINE);
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

int get(const ProxyRoute* proxy, const char* host, int port, const char* path,
        StringList* response, const StringList* request, HttpConnection* connection, bool secure)
{
    char buffer[HTTP_REQUEST_SIZE];
    char target[TARGET_SIZE];
    bool through = proxy && proxy->port;
    *connection = HTTP_NO_CONNECTION;
    // A proxy is asked for the whole URL (RFC 7230 5.3.2); a tunnel carries
    // the request as the origin itself would get it.
    int length = through && !secure
                     ? snprintf(target, sizeof target, "http://%s/%s",
                                authority(host, port).c_str(), path)
                     : snprintf(target, sizeof target, "/%s", path);
    if (has_control(host) || has_control(path)) {
        cause_set("a control character in the host or path", 0);
        return HTTP_FAILED;
    }
    if (length < 0 || static_cast<size_t>(length) >= sizeof target ||
        !build_request(buffer, target, host, request)) {
        cause_set("the request does not fit", 0);
        return HTTP_FAILED;
    }
    connection->buffer = static_cast<char*>(malloc(HTTP_BUFFER_SIZE));
    if (!connection->buffer) {
        cause_set("out of memory", 0);
        return HTTP_FAILED;
    }
    int opened = through ? through_proxy(proxy, secure, host, port, buffer, response, connection)
                         : sock_connect_receiving(host, static_cast<uint32_t>(port),
                                                  HTTP_CONNECT_SECONDS, HTTP_RECEIVE_SECONDS);
    if (!through)
        connection->socket = opened;
    if (through && !secure && opened >= 0)
        return opened;
    int started = opened < 0 ? opened
                  : secure   ? tls_start(connection->socket, host, &connection->tls)
                             : TLS_OK;
    if (started != TLS_OK || send_request(connection, buffer) == -1) {
        http_close(connection);
        return started == TLS_UNTRUSTED ? HTTP_UNTRUSTED : started < 0 ? started : HTTP_FAILED;
    }
    read_header(connection, response);
    return connection->socket;
}

} // namespace

int http_get(const char* host, int port, const char* path, StringList* response,
             const StringList* request, HttpConnection* connection)
{
    return get(nullptr, host, port, path, response, request, connection, false);
}

int https_get(const char* host, int port, const char* path, StringList* response,
              const StringList* request, HttpConnection* connection)
{
    return get(nullptr, host, port, path, response, request, connection, true);
}

int http_get_routed(const ProxyRoute* proxy, int secure, const char* host, int port,
                    const char* path, StringList* response, const StringList* request,
                    HttpConnection* connection)
{
    return get(proxy, host, port, path, response, request, connection, secure != 0);
}

int http_get_url(const char* url, StringList* response, const StringList* request,
                 HttpConnection* connection)
{
    UrlParts parts;
    url_parse(url, &parts);
    return get(nullptr, parts.host, static_cast<int>(strtol(parts.port, nullptr, 10)), parts.path,
               response, request, connection, url_scheme_is(&parts, "https") != 0);
}

int http_read(HttpConnection* connection, const char** data)
{
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

int http_wait_readable(HttpConnection* connection, int ms)
{
    return connection->start < connection->end ||
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
