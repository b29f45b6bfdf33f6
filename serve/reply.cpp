#include "serve/reply.h"

#include "net/socket.h"

#include <climits>
#include <cstdio>
#include <cstring>

namespace {

const char NO_CONTENT[] =
    "HTTP/1.1 204 No Content\r\n"
    "Content-Type: text/plain\r\n"
    "Connection: Keep-Alive\r\n"
    "Keep-Alive: timeout=60\r\n"
    "Content-Length: 0\r\n"
    "\r\n";

const char OK_HEADER[] =
    "HTTP/1.1 200 OK\r\n"
    "Content-Type: %s\r\n"
    "Connection: Keep-Alive\r\n"
    "Keep-Alive: timeout=60\r\n";

const char BAD_REQUEST_HEADER[] =
    "HTTP/1.1 400 Bad Request\r\n"
    "Content-Type: %s\r\n"
    "Connection: Keep-Alive\r\n"
    "Keep-Alive: timeout=60\r\n"
    "Content-Length: %d\r\n"
    "\r\n";

const char BAD_CALLBACK_BODY[] = "Invalid callback name\n";

enum { CALLBACK_MAX = 128 };

// The length of a body as the signed 32-bit count the header announces, or -1
// when it does not fit one.
int body_length(const char* body)
{
    size_t length = strlen(body);
    return length > INT_MAX ? -1 : static_cast<int>(length);
}

// Sends each piece in turn; stops at the first send that fails.
int send_pieces(int sock, const char* const* pieces, int count)
{
    for (int i = 0; i < count; i++) {
        if (sock_send_string(sock, pieces[i]) == -1)
            return -1;
    }
    return 1;
}

bool is_name_start(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '$';
}

bool is_name_part(char c)
{
    return is_name_start(c) || (c >= '0' && c <= '9');
}

// A dotted path of plain JavaScript names ("cb", "jQuery123_4", "app.on$load").
bool is_callback_name(const char* name)
{
    size_t length = strlen(name);
    if (length == 0 || length > CALLBACK_MAX)
        return false;
    bool name_begins = true;
    for (const char* p = name; *p; p++) {
        if (name_begins) {
            if (!is_name_start(*p))
                return false;
            name_begins = false;
        } else if (*p == '.') {
            name_begins = true;
        } else if (!is_name_part(*p)) {
            return false;
        }
    }
    return !name_begins;
}

} // namespace

int http_reply_no_content(int sock)
{
    return sock_send_string(sock, NO_CONTENT);
}

int http_reply_header(int sock, const char* content_type, int length)
{
    char header[HTTP_REPLY_HEADER_SIZE];
    int used = snprintf(header, sizeof header, OK_HEADER, content_type);
    if (used < 0 || used >= static_cast<int>(sizeof header))
        return -1;
    int more = length != -1
        ? snprintf(header + used, sizeof header - used, "Content-Length: %d\r\n\r\n", length)
        : snprintf(header + used, sizeof header - used, "\r\n");
    if (more < 0 || more >= static_cast<int>(sizeof header) - used)
        return -1;
    return sock_send_string(sock, header);
}

int http_reply_ok(int sock, const char* content_type, const char* body)
{
    int length = body_length(body);
    if (length < 0 || http_reply_header(sock, content_type, length) == -1)
        return -1;
    return send_pieces(sock, &body, 1);
}

int http_reply_jsonp(int sock, const char* payload, const char* callback)
{
    if (!is_callback_name(callback)) {
        int sent = http_reply_bad_request(sock, "text/plain", BAD_CALLBACK_BODY);
        return sent == -1 ? -1 : 0;
    }
    int payload_length = body_length(payload);
    // callback, "(" and ");": at most CALLBACK_MAX + 3 bytes around the payload.
    if (payload_length < 0 || payload_length > INT_MAX - CALLBACK_MAX - 3)
        return -1;
    int length = payload_length + static_cast<int>(strlen(callback)) + 3;
    if (http_reply_header(sock, "text/javascript", length) == -1)
        return -1;
    const char* pieces[] = {callback, "(", payload, ");"};
    return send_pieces(sock, pieces, 4);
}

int http_reply_bad_request(int sock, const char* content_type, const char* body)
{
    int length = body_length(body);
    if (length < 0)
        return -1;
    char header[HTTP_REPLY_HEADER_SIZE];
    int used = snprintf(header, sizeof header, BAD_REQUEST_HEADER, content_type, length);
    if (used < 0 || used >= static_cast<int>(sizeof header))
        return -1;
    if (sock_send_string(sock, header) == -1)
        return -1;
    return send_pieces(sock, &body, 1);
}
