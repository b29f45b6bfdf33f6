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

void read_header(int socket, StringList* response)
{
    char line[HTTP_LINE_SIZE];
    size_t bytes = 0;
    for (int lines = 0; lines < HTTP_MAX_HEADER_LINES; lines++) {
        int length = sock_read_line(socket, line, sizeof line);
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

int http_header_value(const StringList* list, const char* name, char* out, uint32_t size)
{
    if (size == 0)
        return 0;
    size_t name_length = strlen(name);
    for (int i = 0; i < list->count; i++) {
        const char* line = list->items[i];
        if (strlen(line) <= name_length || line[name_length] != ':' ||
            !names_equal(line, name, name_length))
            continue;
        const char* value = line + name_length + 1;
        while (*value == ' ' || *value == '\t')
            value++;
        uint32_t copied = 0;
        while (copied < size - 1 && value[copied] && value[copied] != '\r' &&
               value[copied] != '\n') {
            out[copied] = value[copied];
            copied++;
        }
        out[copied] = '\0';
        return 1;
    }
    return 0;
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

int http_get(const char* host, int port, const char* path, StringList* response,
             const StringList* request)
{
    char buffer[HTTP_REQUEST_SIZE];
    if (!build_request(buffer, host, path, request))
        return -1;
    int socket = sock_connect(host, static_cast<uint32_t>(port), HTTP_CONNECT_SECONDS);
    if (socket < 0)
        return -1;
    sock_set_recv_timeout(socket, HTTP_RECEIVE_SECONDS);
    if (sock_send_string(socket, buffer) == -1) {
        sock_close(socket);
        return -1;
    }
    read_header(socket, response);
    return socket;
}

int http_get_url(const char* url, StringList* response, const StringList* request)
{
    UrlParts parts;
    url_parse(url, &parts);
    return http_get(parts.host, static_cast<int>(strtol(parts.port, nullptr, 10)), parts.path,
                    response, request);
}
