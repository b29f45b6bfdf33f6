#include "net/http.h"

#include "net/socket.h"
#include "net/url.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

bool names_equal(const char* line, const char* name, size_t length)
{
    for (size_t i = 0; i < length; i++) {
        if (tolower(static_cast<unsigned char>(line[i])) !=
            tolower(static_cast<unsigned char>(name[i])))
            return false;
    }
    return true;
}

// The request into buffer; false when it does not fit.
bool build_request(char (&buffer)[HTTP_REQUEST_SIZE], const char* host, const char* path,
                   const StringList* request)
{
    int length = snprintf(buffer, sizeof buffer,
                          "GET /%s HTTP/1.0\r\nHost: %s\r\nAccept: */*\r\n"
                          "User-Agent: simple http\r\nConnection: close\r\n",
                          path, host);
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
        if (bytes > HTTP_MAX_HEADER_BYTES || !string_list_add(line, response))
            return;
        if (line[0] == '\r' || line[0] == '\n')
            return;
    }
}

} // namespace

const char* http_header_line(const StringList* list, const char* name)
{
    size_t name_length = strlen(name);
    for (int i = 0; i < list->count; i++) {
        const char* line = list->items[i];
        if (strlen(line) > name_length && line[name_length] == ':' &&
            names_equal(line, name, name_length))
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

int send_request(HttpConnection* connection, const char* request)
{
    if (connection->tls)
        return tls_send(connection->tls, request, static_cast<int>(strlen(request)));
    return sock_send_string(connection->socket, request);
}

int get(const char* host, int port, const char* path, StringList* response,
        const StringList* request, HttpConnection* connection, bool secure)
{
    char buffer[HTTP_REQUEST_SIZE];
    *connection = HTTP_NO_CONNECTION;
    if (!build_request(buffer, host, path, request))
        return -1;
    connection->buffer = static_cast<char*>(malloc(HTTP_BUFFER_SIZE));
    if (!connection->buffer)
        return -1;
    connection->socket = sock_connect_receiving(host, static_cast<uint32_t>(port),
                                                HTTP_CONNECT_SECONDS, HTTP_RECEIVE_SECONDS);
    int started = connection->socket < 0 ? TLS_FAILED
                  : secure               ? tls_start(connection->socket, host, &connection->tls)
                                         : TLS_OK;
    if (started != TLS_OK || send_request(connection, buffer) == -1) {
        http_close(connection);
        return started == TLS_UNTRUSTED ? -2 : -1;
    }
    read_header(connection, response);
    return connection->socket;
}

} // namespace

int http_get(const char* host, int port, const char* path, StringList* response,
             const StringList* request, HttpConnection* connection)
{
    return get(host, port, path, response, request, connection, false);
}

int https_get(const char* host, int port, const char* path, StringList* response,
              const StringList* request, HttpConnection* connection)
{
    return get(host, port, path, response, request, connection, true);
}

int http_get_url(const char* url, StringList* response, const StringList* request,
                 HttpConnection* connection)
{
    UrlParts parts;
    url_parse(url, &parts);
    return get(parts.host, static_cast<int>(strtol(parts.port, nullptr, 10)), parts.path,
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
