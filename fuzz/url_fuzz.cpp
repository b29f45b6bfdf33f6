// url_parse on any text: every field stays terminated inside its width and
// holds a piece of the text (or the default port). The first input byte
// picks a prefix so both the plain and the bracketed form, with and without
// credentials, are reached from the first run. The text is also resolved
// as a redirect's reference against a fixed base, into an exact-size heap
// block: the result stays inside it, terminated.
#include "net/url.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

const char* const prefixes[] = {"", "http://", "http://[", "rtsp://user:pw@[", "http://u@"};

template <size_t N>
size_t field_length(const char (&field)[N])
{
    const void* end = memchr(field, '\0', N);
    if (!end)
        abort();
    return static_cast<size_t>(static_cast<const char*>(end) - field);
}

// The field is empty or occurs in url.
template <size_t N>
void check_piece(const char (&field)[N], const std::string& url)
{
    if (field_length(field) && url.find(field) == std::string::npos)
        abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    std::string url = prefixes[data[0] % (sizeof prefixes / sizeof prefixes[0])];
    url.append(reinterpret_cast<const char*>(data + 1), size - 1);
    url = url.c_str();

    UrlParts parts;
    memset(&parts, 0x7a, sizeof parts);
    int result = url_parse(url.c_str(), &parts);
    if (result != 0 && result != -1)
        abort();
    check_piece(parts.scheme, url);
    check_piece(parts.credentials, url);
    check_piece(parts.user, url);
    check_piece(parts.password, url);
    check_piece(parts.host, url);
    check_piece(parts.path, url);
    size_t port = field_length(parts.port);
    if (port && url.find(parts.port) == std::string::npos && strcmp(parts.port, "80") != 0 &&
        strcmp(parts.port, "443") != 0 && strcmp(parts.port, "554") != 0)
        abort();
    const size_t out_size = 1 + data[0] % 64;
    char* resolved = static_cast<char*>(malloc(out_size));
    if (url_resolve("https://host:8443/a/b/c?q", url.c_str(), resolved, out_size) &&
        !memchr(resolved, '\0', out_size))
        abort();
    free(resolved);
    if (parts.bracketed != 0 && parts.bracketed != 1)
        abort();
    if (field_length(parts.scheme) && url.compare(0, strlen(parts.scheme) + 1,
                                                  std::string(parts.scheme) + ":") != 0)
        abort();
    if (result == 0) {
        size_t colon = url.find(':');
        if (colon == std::string::npos || url.compare(colon, 3, "://") != 0)
            abort();
        // The user and password are the credentials cut at their first ':'.
        std::string credentials = parts.credentials;
        if (!credentials.empty()) {
            size_t cut = credentials.find(':');
            if (credentials.substr(0, cut) != parts.user ||
                (cut != std::string::npos && credentials.substr(cut + 1) != parts.password))
                abort();
        }
        return 0;
    }
    if (parts.credentials[0] || parts.user[0] || parts.password[0] || parts.host[0] ||
        parts.port[0] || parts.path[0] || parts.bracketed)
        abort();
    return 0;
}
