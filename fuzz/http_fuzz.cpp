// The HTTP response side against a fake peer on 127.0.0.1 that replays the
// input as a response, in pieces of the input's choosing, one send each.
//
// Input: one flags byte, then pieces, each a length byte n and n + 1 bytes
// (the last piece may be shorter).
//   flags bit 0: a cached copy of the resource exists beforehand
//   flags bit 1: run download_resource; otherwise http_get, then the header
//                functions on its list and the body read to the end
//   flags bit 2: end with a reset (SO_LINGER 0) instead of a normal close
//   flags bits 3-7: the size of http_header_value's buffer (and of
//                   proxy_auth_offer's challenge), 1 to 32
//
// Checked against the header reading rule spelled out below: the exact list
// http_get returns and the body after it; the download's local copy either
// untouched or the whole body, never a temporary file left behind, an error
// shown exactly when -1 is returned.
#include "cache/download.h"
#include "fuzz/fuzz_files.h"
#include "net/http.h"
#include "net/proxy.h"
#include "net/socket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

enum : uint8_t { CACHED = 1, DOWNLOAD = 2, RESET = 4 };

const char CACHED_DATA[] = "the copy fetched last time";

std::string last_message;

// The header as http_get must read it: lines of at most 1023 characters
// (a line feed ends one), up to and including the first that starts with
// CR or LF, at most 100 of them and 64 KiB in all; a line cut by the end
// of the stream is dropped; each kept line up to its first NUL.
struct Header {
    std::vector<std::string> lines;
    bool complete = false;
    size_t consumed = 0; // the body read afterwards starts here
};

Header expected_header(const std::string& stream)
{
    Header header;
    size_t bytes = 0;
    for (int count = 0; count < HTTP_MAX_HEADER_LINES; count++) {
        size_t end = stream.find('\n', header.consumed);
        size_t length = end == std::string::npos ? std::string::npos : end - header.consumed + 1;
        if (length > HTTP_LINE_SIZE - 1) {
            if (stream.size() - header.consumed < HTTP_LINE_SIZE - 1) {
                header.consumed = stream.size();
                return header;
            }
            length = HTTP_LINE_SIZE - 1;
        }
        std::string line = stream.substr(header.consumed, length);
        header.consumed += length;
        bytes += length;
        if (bytes > HTTP_MAX_HEADER_BYTES)
            return header;
        // The list holds C strings: a NUL in a line ends its element.
        header.lines.push_back(line.c_str());
        if (line[0] == '\r' || line[0] == '\n') {
            header.complete = true;
            return header;
        }
    }
    return header;
}

struct Peer {
    int listener = -1;
    int port = 0;
};

const Peer& peer()
{
    static const Peer started = [] {
        Peer p;
        p.listener = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (p.listener < 0 ||
            bind(p.listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            listen(p.listener, 4) != 0 ||
            getsockname(p.listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            abort();
        p.port = ntohs(address.sin_port);
        return p;
    }();
    return started;
}

// One connection: takes the request, replays the pieces and ends.
void serve(const std::vector<std::string>& pieces, bool reset)
{
    pollfd waiting = {peer().listener, POLLIN, 0};
    if (poll(&waiting, 1, 10000) != 1)
        abort();
    int connection = accept(peer().listener, nullptr, nullptr);
    if (connection < 0)
        abort();
    std::string request;
    char buffer[4096];
    while (request.find("\r\n\r\n") == std::string::npos) {
        ssize_t got = recv(connection, buffer, sizeof buffer, 0);
        if (got <= 0)
            break;
        request.append(buffer, static_cast<size_t>(got));
    }
    int on = 1;
    setsockopt(connection, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    for (const std::string& piece : pieces) {
        if (send(connection, piece.data(), piece.size(), MSG_NOSIGNAL) < 0)
            break;
    }
    if (reset) {
        linger abortive = {1, 0};
        setsockopt(connection, SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
    }
    close(connection);
}

std::string read_body(HttpConnection* connection)
{
    std::string body;
    const char* piece;
    int got;
    while ((got = http_read(connection, &piece)) > 0)
        body.append(piece, static_cast<size_t>(got));
    return body;
}

void check_value(const StringList* list, const char* name, uint32_t size)
{
    std::vector<char> out(size, 'x');
    // An exact-size heap block: ASan catches a write past it.
    char* value = static_cast<char*>(malloc(size));
    memcpy(value, out.data(), size);
    if (http_header_value(list, name, value, size) && !memchr(value, '\0', size))
        abort();
    free(value);
}

// A proxy's 407 header: an offer names a scheme the launcher answers and a
// challenge that fits, terminated, taken from one of the lines.
void check_offer(const StringList* list, uint32_t size)
{
    char scheme[PROXY_SCHEME_SIZE];
    char* challenge = static_cast<char*>(malloc(size));
    if (proxy_auth_offer(list, scheme, challenge, size)) {
        bool found = false;
        for (int i = 0; i < list->count; i++)
            found = found || strstr(list->items[i], challenge) != nullptr;
        if ((strcmp(scheme, "Negotiate") != 0 && strcmp(scheme, "NTLM") != 0) ||
            !memchr(challenge, '\0', size) || !found)
            abort();
    }
    free(challenge);
}

void run_get(const std::string& stream, uint8_t flags, bool reset)
{
    StringList response = {nullptr, 0};
    HttpConnection connection;
    if (http_get("127.0.0.1", peer().port, "res.jar", &response, nullptr, &connection) < 0)
        abort();
    Header header = expected_header(stream);
    std::vector<std::string> got(response.items, response.items + response.count);
    if (reset ? got.size() > header.lines.size() ||
                    !std::equal(got.begin(), got.end(), header.lines.begin())
              : got != header.lines)
        abort();
    if (!reset && http_header_complete(&response) != header.complete)
        abort();
    // At most three characters after the space, read by strtol: "-04" is -4.
    int status = http_status_code(&response);
    if (status < -99 || status > 999)
        abort();
    uint32_t size = static_cast<uint32_t>(flags >> 3) + 1;
    for (const char* name : {"Content-Length", "Last-Modified", "content-length", "X", ""})
        check_value(&response, name, size);
    check_value(&response, "Content-Length", HTTP_LINE_SIZE);
    check_offer(&response, size);
    string_list_free(&response);
    std::string body = read_body(&connection);
    if (!reset && body != stream.substr(header.consumed))
        abort();
    http_close(&connection);
}

void run_download(const std::string& stream, bool cached, bool reset)
{
    const std::string folder = fuzz_scratch() + "cache/";
    const std::string local = folder + "res.jar";
    fuzz_empty(fuzz_scratch());
    if (mkdir(folder.c_str(), 0700) != 0)
        abort();
    if (cached)
        fuzz_write(local, CACHED_DATA, sizeof CACHED_DATA - 1);

    LaunchRequest request = {};
    DownloadState state = {nullptr, &request, 0, nullptr, nullptr};
    last_message.clear();
    std::string url = "http://127.0.0.1:" + std::to_string(peer().port) + "/res.jar";
    int result = download_resource(url.c_str(), folder.c_str(), &state);
    download_state_release(&state);

    if (result < -1 || result > 1 || (result == -1) != !last_message.empty())
        abort();
    if (cached && result == -1 && last_message != "Error cannot write resource")
        abort();
    std::vector<std::string> left = fuzz_list(folder);
    std::string data;
    bool present = fuzz_read(local, &data);
    if (left.size() > 1 || (left.size() == 1 && left[0] != "res.jar"))
        abort();
    if (result == 1) {
        Header header = expected_header(stream);
        if (reset || !header.complete || !present || data != stream.substr(header.consumed))
            abort();
    } else if (present != cached || (cached && data != CACHED_DATA)) {
        abort();
    }
}

} // namespace

BOOL SetWindowTextA(HWND, const char*)
{
    return 1;
}

LRESULT SendMessageA(HWND, UINT, WPARAM, LPARAM)
{
    return 0;
}

int MessageBoxA(HWND, const char* text, const char*, UINT)
{
    last_message = text;
    return 1;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    uint8_t flags = data[0];
    std::vector<std::string> pieces;
    std::string stream;
    for (size_t at = 1; at < size;) {
        size_t length = std::min<size_t>(data[at] + 1u, size - at - 1);
        at++;
        if (length == 0)
            break;
        pieces.emplace_back(reinterpret_cast<const char*>(data + at), length);
        stream += pieces.back();
        at += length;
    }
    bool reset = (flags & RESET) != 0;
    std::thread server(serve, pieces, reset);
    if (flags & DOWNLOAD)
        run_download(stream, (flags & CACHED) != 0, reset);
    else
        run_get(stream, flags, reset);
    server.join();
    return 0;
}
