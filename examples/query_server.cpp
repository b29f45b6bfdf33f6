// A small HTTP server built on the serving side's responder functions.
//
//   query_server PORT
//
// Listens on PORT on every IPv4 address and answers each request by its
// request line: a query holding "callback" gets the query as JSON wrapped in
// that callback (text/javascript), any other query the JSON itself
// (application/json), a request without a query "204 No Content", and a
// request line (or header line) it cannot read "400 Bad Request", after
// which the connection is closed. Connections are kept alive as HTTP asks
// (HTTP/1.1 unless "Connection: close", HTTP/1.0 only with "Connection:
// keep-alive") and are served one after the other. Request bodies are not
// read: a request that announces one is answered and its connection closed.
#include "net/socket.h"
#include "serve/query.h"
#include "serve/reply.h"
#include "serve/server.h"
#include "serve/token.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Lines longer than this are refused; the replies announce a 60-second idle
// time-out, which the receive time-out keeps.
enum { LINE_SIZE = 1024, IDLE_SECONDS = 60 };

bool starts_with_nocase(const char* text, const char* prefix)
{
    for (; *prefix; text++, prefix++) {
        if (tolower(static_cast<unsigned char>(*text)) != tolower(static_cast<unsigned char>(*prefix)))
            return false;
    }
    return true;
}

bool contains_nocase(const char* text, const char* word)
{
    for (; *text; text++) {
        if (starts_with_nocase(text, word))
            return true;
    }
    return false;
}

bool is_line(const char* text)
{
    size_t length = strlen(text);
    return length > 0 && text[length - 1] == '\n';
}

bool is_digit(char c)
{
    return c >= '0' && c <= '9';
}

// "HTTP/" followed by one digit, ".", one digit.
bool is_version(const char* text)
{
    return strlen(text) == 8 && strncmp(text, "HTTP/", 5) == 0 && is_digit(text[5]) &&
           text[6] == '.' && is_digit(text[7]);
}

// "METHOD SP TARGET SP HTTP/d.d" with nothing else on the line. Sets http11
// for an HTTP/1.1 request.
bool read_request_line(const char* line, bool* http11)
{
    char copy[LINE_SIZE];
    snprintf(copy, sizeof copy, "%s", line);
    cut_line_end(copy);
    char* cursor = copy;
    const char* method = split_token(&cursor, " ");
    const char* target = split_token(&cursor, " ");
    const char* version = split_token(&cursor, " ");
    if (!*method || !target || !*target || !version || cursor || !is_version(version))
        return false;
    *http11 = strcmp(version, "HTTP/1.1") == 0;
    return true;
}

struct Header {
    bool keep_alive;
    bool fits; // every line fitted the line buffer
};

// Reads header lines up to the empty line and settles keep_alive from the
// version, "Connection" and any announced body. continuing is set when the
// request line did not fit, so its rest comes first. False when the
// connection ended before the empty line.
bool read_header(int conn, bool continuing, bool http11, Header* header)
{
    header->keep_alive = http11;
    header->fits = !continuing;
    char line[LINE_SIZE];
    for (;;) {
        if (sock_read_line(conn, line, sizeof line) < 0)
            return false;
        bool piece = continuing;
        continuing = !is_line(line);
        if (continuing)
            header->fits = false;
        if (piece)
            continue;
        if (line[0] == '\r' || line[0] == '\n')
            return true;
        if (starts_with_nocase(line, "Connection:")) {
            if (contains_nocase(line, "close"))
                header->keep_alive = false;
            else if (contains_nocase(line, "keep-alive"))
                header->keep_alive = true;
        } else if (starts_with_nocase(line, "Transfer-Encoding:") ||
                   (starts_with_nocase(line, "Content-Length:") &&
                    strtol(line + 15, nullptr, 10) != 0)) {
            header->keep_alive = false;
        }
    }
}

// 1 when the reply went out, -1 when the connection failed.
int answer(int conn, char* request_line)
{
    QueryEntry* entries = nullptr;
    int count = query_parse(request_line, &entries);
    if (count == 0)
        return http_reply_no_content(conn) == -1 ? -1 : 1;
    if (count < 0)
        return -1;
    char* json = query_to_json(entries, count);
    const char* callback = query_lookup(entries, count, "callback");
    int sent = -1;
    if (json && callback)
        sent = http_reply_jsonp(conn, json, callback);
    else if (json)
        sent = http_reply_ok(conn, "application/json", json);
    free(json);
    free(entries);
    return sent == -1 ? -1 : 1;
}

void serve(int conn)
{
    sock_set_recv_timeout(conn, IDLE_SECONDS);
    for (;;) {
        char line[LINE_SIZE];
        if (sock_read_line(conn, line, sizeof line) < 0)
            return;
        // An empty line before a request line is to be ignored (RFC 9112, 2.2).
        if (strcmp(line, "\r\n") == 0 || strcmp(line, "\n") == 0)
            continue;
        bool http11 = false;
        bool readable = is_line(line) && read_request_line(line, &http11);
        // The header is read even after a bad request line: closing with
        // unread bytes would reset the connection and lose the 400.
        Header header;
        if (!read_header(conn, !is_line(line), http11, &header))
            return;
        if (!readable || !header.fits) {
            http_reply_bad_request(conn, "text/plain", "Bad Request\n");
            return;
        }
        if (answer(conn, line) == -1 || !header.keep_alive)
            return;
    }
}

} // namespace

int main(int argc, char** argv)
{
    char* end = nullptr;
    long port = argc == 2 ? strtol(argv[1], &end, 10) : 0;
    if (argc != 2 || *end != '\0' || port < 1 || port > 65535) {
        fprintf(stderr, "usage: query_server PORT\n");
        return 2;
    }
    int listener = server_open(static_cast<unsigned>(port));
    if (listener == -1)
        return 1;
    printf("listening on port %ld\n", port);
    fflush(stdout);
    for (;;) {
        int conn = server_accept(listener);
        if (conn == -1) {
            fprintf(stderr, "query_server: accept failed\n");
            sock_close(listener);
            return 1;
        }
        serve(conn);
        sock_close(conn);
    }
}
