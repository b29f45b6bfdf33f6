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
// http_get returns (1xx answers passed over; after a reset, which may cut
// the stream anywhere, the start of one header of the chain) and the body
// after it as its framing gives it (Content-Length, chunked, the close);
// the download's local copy either untouched or the whole body, never a
// temporary file left behind, an error shown exactly when -1 is returned.
// The stream is also fed to the chunked decoder in the input's pieces and
// checked against the coding's rules as written out below.
#include "cache/download.h"
#include "fuzz/fuzz_files.h"
#include "net/chunked.h"
#include "net/http_get.h"
#include "net/proxy.h"
#include "net/socket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <strings.h>

#include <algorithm>
#include <cctype>
#include <climits>
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
// CR or LF, at most 100 of them and 64 KiB in all (1xx answers before it
// included); a line cut by the end of the stream is dropped; each kept line
// up to its first NUL.
struct Header {
    std::vector<std::string> lines;
    bool complete = false;
    size_t consumed = 0; // the body read afterwards starts here
};

struct Budget {
    int lines = 0;
    size_t bytes = 0;
};

Header expected_header(const std::string& stream, size_t from, Budget* budget)
{
    Header header;
    header.consumed = from;
    for (; budget->lines < HTTP_MAX_HEADER_LINES; budget->lines++) {
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
        budget->bytes += length;
        if (budget->bytes > HTTP_MAX_HEADER_BYTES)
            return header;
        // The list holds C strings: a NUL in a line ends its element.
        header.lines.push_back(line.c_str());
        if (line[0] == '\r' || line[0] == '\n') {
            header.complete = true;
            budget->lines++;
            return header;
        }
    }
    return header;
}

// http_status_code's rule: the number after the last space among the
// status line's first space and the three characters after it.
int status_of(const Header& header)
{
    size_t space = header.lines.empty() ? std::string::npos : header.lines[0].find(' ');
    if (space == std::string::npos)
        return 0;
    std::string text = header.lines[0].substr(space, 4);
    return static_cast<int>(strtol(text.substr(text.rfind(' ') + 1).c_str(), nullptr, 10));
}

// The headers read in turn: any 1xx answers, each within the same budget,
// then the answer itself, last.
std::vector<Header> expected_chain(const std::string& stream)
{
    Budget budget;
    std::vector<Header> chain = {expected_header(stream, 0, &budget)};
    for (;;) {
        const Header& header = chain.back();
        int status = status_of(header);
        if (!header.complete || status < 100 || status > 199 || status == 101 ||
            budget.lines >= HTTP_MAX_HEADER_LINES)
            return chain;
        chain.push_back(expected_header(stream, header.consumed, &budget));
    }
}

Header expected_answer(const std::string& stream)
{
    return expected_chain(stream).back();
}

// A reset may throw away what the peer had not sent yet, so the stream can
// end anywhere: inside a 1xx answer too, whose lines read so far are then
// the list. got must be the start of one header of the chain.
bool cut_chain_start(const std::vector<std::string>& got, const std::string& stream)
{
    for (const Header& header : expected_chain(stream)) {
        if (got.size() <= header.lines.size() &&
            std::equal(got.begin(), got.end(), header.lines.begin()))
            return true;
    }
    return false;
}

// The elements of the values of the lines named name, split at commas
// and line ends, blanks around them taken off.
std::vector<std::string> tokens(const Header& header, const std::string& name)
{
    std::vector<std::string> found;
    for (const std::string& line : header.lines) {
        if (line.size() <= name.size() || line[name.size()] != ':' ||
            strncasecmp(line.c_str(), name.c_str(), name.size()) != 0)
            continue;
        std::string value = line.substr(name.size() + 1);
        for (size_t at = 0; at <= value.size();) {
            size_t end = std::min(value.find_first_of(",\r\n", at), value.size());
            std::string token = value.substr(at, end - at);
            token.erase(0, token.find_first_not_of(" \t"));
            token.erase(token.find_last_not_of(" \t") + 1);
            if (!token.empty())
                found.push_back(token);
            at = end + 1;
        }
    }
    return found;
}

// A Content-Length element as a count below 2^63; -1 when it is none.
long long count_of(const std::string& text)
{
    long long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9' || value > (LLONG_MAX - (c - '0')) / 10)
            return -1;
        value = value * 10 + (c - '0');
    }
    return text.empty() ? -1 : value;
}

// The chunked coding: size lines (hexadecimal digits, blanks, an extension
// after ';', CR LF; at most 1023 bytes; a size below 2^63), each chunk's
// data and CR LF, until size 0, then trailer lines (not empty, CR LF, at
// most 1023 bytes, 100 lines, 65536 bytes with the final CR) and CR LF.
struct Unchunked {
    std::string data;
    enum { WHOLE, UNENDED, MALFORMED, EITHER } outcome = UNENDED;
    size_t consumed = 0;
};

// A size line with its CR LF: 1 and the size, 0 when malformed.
bool size_line(const std::string& line, uint64_t* size)
{
    if (line.size() > CHUNKED_LINE_MAX || line.size() < 3 ||
        line.compare(line.size() - 2, 2, "\r\n") != 0 || line.find('\r') != line.size() - 2)
        return false;
    size_t digits = 0;
    *size = 0;
    for (; isxdigit(static_cast<unsigned char>(line[digits])); digits++) {
        if (*size >= (UINT64_C(1) << 59))
            return false;
        *size = *size * 16 + static_cast<uint64_t>(std::stoi(line.substr(digits, 1), nullptr, 16));
    }
    size_t rest = line.find_first_not_of(" \t", digits);
    return digits > 0 && (rest == line.size() - 2 || line[rest] == ';');
}

Unchunked unchunk(const std::string& stream)
{
    Unchunked u;
    size_t at = 0;
    for (;;) {
        size_t end = stream.find('\n', at);
        if (end == std::string::npos) {
            // A line cut short: malformed once too long, else it depends on
            // the bytes it has.
            u.outcome = stream.size() - at > CHUNKED_LINE_MAX ? Unchunked::MALFORMED
                        : at == stream.size()                 ? Unchunked::UNENDED
                                                              : Unchunked::EITHER;
            return u;
        }
        uint64_t size = 0;
        if (!size_line(stream.substr(at, end + 1 - at), &size)) {
            u.outcome = Unchunked::MALFORMED;
            return u;
        }
        at = end + 1;
        if (size == 0)
            break;
        uint64_t there = stream.size() - at;
        u.data += stream.substr(at, static_cast<size_t>(std::min(there, size)));
        if (there < size + 2) {
            bool cr = there == size + 1 && stream[at + size] == '\r';
            u.outcome = there <= size || cr ? Unchunked::UNENDED : Unchunked::MALFORMED;
            return u;
        }
        if (stream.compare(at + size, 2, "\r\n") != 0) {
            u.outcome = Unchunked::MALFORMED;
            return u;
        }
        at += size + 2;
    }
    size_t trailer = 0;
    for (int lines = 0;; lines++) {
        if (at == stream.size())
            return u;
        if (stream[at] == '\r') {
            bool fits = trailer + 1 <= CHUNKED_MAX_TRAILER_BYTES;
            bool cut = at + 1 == stream.size();
            u.outcome = !fits                     ? Unchunked::MALFORMED
                        : cut                     ? Unchunked::UNENDED
                        : stream[at + 1] == '\n' ? Unchunked::WHOLE
                                                  : Unchunked::MALFORMED;
            u.consumed = at + 2;
            return u;
        }
        size_t end = stream.find('\n', at);
        size_t length = (end == std::string::npos ? stream.size() : end + 1) - at;
        std::string line = stream.substr(at, length);
        trailer += length;
        size_t cr = line.find('\r');
        bool bad = lines >= CHUNKED_MAX_TRAILER_LINES || line[0] == '\n' ||
                   line.size() > CHUNKED_LINE_MAX || trailer > CHUNKED_MAX_TRAILER_BYTES ||
                   (cr != std::string::npos && cr + 1 < line.size() && line[cr + 1] != '\n') ||
                   (end != std::string::npos && cr + 2 != line.size());
        if (bad || end == std::string::npos) {
            u.outcome = bad ? Unchunked::MALFORMED : Unchunked::UNENDED;
            return u;
        }
        at = end + 1;
    }
}

// The stream fed to the decoder in the pieces: it must agree with unchunk.
void check_decoder(const std::vector<std::string>& pieces, const std::string& stream)
{
    ChunkedDecoder decoder;
    chunked_start(&decoder);
    std::string data;
    size_t taken = 0;
    bool malformed = false;
    for (const std::string& piece : pieces) {
        for (size_t at = 0; at < piece.size() && !malformed && !chunked_done(&decoder);) {
            const char* run = nullptr;
            int length = 0;
            int left = static_cast<int>(piece.size() - at);
            int used = chunked_decode(&decoder, piece.data() + at, left, &run, &length);
            malformed = used < 0;
            bool stuck = used == 0 && !chunked_done(&decoder);
            if (!malformed && (used > left || length > used || stuck))
                abort();
            if (length > 0)
                data.append(run, static_cast<size_t>(length));
            at += static_cast<size_t>(std::max(used, 0));
            taken += static_cast<size_t>(std::max(used, 0));
        }
    }
    Unchunked u = unchunk(stream);
    bool whole = chunked_done(&decoder) != 0;
    bool agrees = u.outcome == Unchunked::WHOLE       ? whole && taken == u.consumed
                  : u.outcome == Unchunked::MALFORMED ? malformed
                  : u.outcome == Unchunked::UNENDED   ? !whole && !malformed
                                                      : !whole;
    if (!agrees || data != u.data)
        abort();
}

// The body http_read gives after the header: none for 204 and 304, up to
// the Content-Length, the chunked coding's data, or else the rest, to the
// server's close.
struct Body {
    std::string data;
    bool to_close;
};

Body expected_body(const std::string& stream, const Header& header)
{
    std::string rest = stream.substr(header.consumed);
    int status = status_of(header);
    if (!header.complete)
        return {rest, true};
    if (status == 204 || status == 304)
        return {"", false};
    std::vector<std::string> codings = tokens(header, "Transfer-Encoding");
    if (!codings.empty()) {
        bool chunked = strcasecmp(codings.back().c_str(), "chunked") == 0;
        return {chunked ? unchunk(rest).data : rest, !chunked};
    }
    std::vector<std::string> lengths = tokens(header, "Content-Length");
    long long length = lengths.empty() ? -1 : count_of(lengths[0]);
    for (const std::string& other : lengths) {
        if (count_of(other) != length)
            length = -1;
    }
    if (length < 0)
        return {rest, true};
    return {rest.substr(0, static_cast<size_t>(
                               std::min<long long>(static_cast<long long>(rest.size()), length))),
            false};
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
    if (http_get("127.0.0.1", peer().port, "res.bin", &response, nullptr, &connection) < 0)
        abort();
    Header header = expected_answer(stream);
    std::vector<std::string> got(response.items, response.items + response.count);
    if (reset ? !cut_chain_start(got, stream) : got != header.lines)
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
    if (!reset && body != expected_body(stream, header).data)
        abort();
    http_close(&connection);
}

void run_download(const std::string& stream, bool cached, bool reset)
{
    const std::string folder = fuzz_scratch() + "cache/";
    const std::string local = folder + "res.bin";
    fuzz_empty(fuzz_scratch());
    if (mkdir(folder.c_str(), 0700) != 0)
        abort();
    if (cached)
        fuzz_write(local, CACHED_DATA, sizeof CACHED_DATA - 1);

    LaunchRequest request = {};
    DownloadState state = {nullptr, &request, 0, nullptr, nullptr};
    last_message.clear();
    std::string url = "http://127.0.0.1:" + std::to_string(peer().port) + "/res.bin";
    int result = download_resource(url.c_str(), folder.c_str(), &state);
    download_state_release(&state);

    if (result < -1 || result > 1 || (result == -1) != !last_message.empty())
        abort();
    if (cached && result == -1 && last_message != "Error cannot write resource")
        abort();
    std::vector<std::string> left = fuzz_list(folder);
    std::string data;
    bool present = fuzz_read(local, &data);
    if (left.size() > 1 || (left.size() == 1 && left[0] != "res.bin"))
        abort();
    if (result == 1) {
        // A reset may follow a body that its framing ended, never one that
        // runs to the close.
        Header header = expected_answer(stream);
        Body body = expected_body(stream, header);
        if ((reset && body.to_close) || !header.complete || !present || data != body.data)
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
    check_decoder(pieces, stream);
    bool reset = (flags & RESET) != 0;
    std::thread server(serve, pieces, reset);
    if (flags & DOWNLOAD)
        run_download(stream, (flags & CACHED) != 0, reset);
    else
        run_get(stream, flags, reset);
    server.join();
    return 0;
}
