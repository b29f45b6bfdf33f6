#include "net/url.h"

#include <cctype>
#include <cstring>

namespace {

// Copies the length characters at text into field when they fit with the
// terminator; otherwise the field stays empty.
template <size_t N>
void copy_field(char (&field)[N], const char* text, size_t length)
{
    if (length > N - 1)
        return;
    memcpy(field, text, length);
    field[length] = '\0';
}

bool equals_ignoring_case(const char* a, const char* b)
{
    for (; *a && *b; a++, b++) {
        if (tolower(static_cast<unsigned char>(*a)) != tolower(static_cast<unsigned char>(*b)))
            return false;
    }
    return *a == *b;
}

void take_credentials(const char* rest, const char* at, UrlParts* parts)
{
    size_t length = static_cast<size_t>(at - rest);
    if (length > sizeof parts->credentials - 1)
        return;
    copy_field(parts->credentials, rest, length);
    copy_field(parts->user, rest, length);
    char* colon = strchr(parts->user, ':');
    if (!colon)
        return;
    *colon = '\0';
    strcpy(parts->password, colon + 1);
}

void take_default_port(UrlParts* parts)
{
    if (equals_ignoring_case(parts->scheme, "http"))
        strcpy(parts->port, "80");
    else if (equals_ignoring_case(parts->scheme, "rtsp"))
        strcpy(parts->port, "554");
}

} // namespace

int url_parse(const char* url, UrlParts* parts)
{
    memset(parts, 0, sizeof *parts);
    const char* colon = strchr(url, ':');
    if (!colon)
        return -1;
    copy_field(parts->scheme, url, static_cast<size_t>(colon - url));
    if (colon[1] != '/' || colon[2] != '/')
        return -1;

    const char* rest = colon + 3;
    const char* at = strchr(rest, '@');
    if (at) {
        take_credentials(rest, at, parts);
        rest = at + 1;
    }

    const char* bracket = strchr(rest, ']');
    if (bracket)
        parts->bracketed = 1;
    const char* port = nullptr;
    const char* path = nullptr;
    // Only a rest that opens with '[' is the bracketed form; a ']' elsewhere
    // (in the path, say) must not cut the host from the wrong place.
    if (bracket && rest[0] == '[') {
        copy_field(parts->host, rest + 1, static_cast<size_t>(bracket - rest - 1));
        if (bracket[1] == ':') {
            port = bracket + 2;
        } else {
            const char* slash = strchr(rest, '/');
            path = slash ? slash + 1 : nullptr;
        }
    } else if (const char* host_colon = strchr(rest, ':')) {
        copy_field(parts->host, rest, static_cast<size_t>(host_colon - rest));
        port = host_colon + 1;
    } else {
        const char* slash = strchr(rest, '/');
        copy_field(parts->host, rest, slash ? static_cast<size_t>(slash - rest) : strlen(rest));
        path = slash ? slash + 1 : nullptr;
    }

    if (port) {
        const char* slash = strchr(port, '/');
        size_t length = slash ? static_cast<size_t>(slash - port) : strlen(port);
        path = slash ? slash + 1 : nullptr;
        if (length >= 1)
            copy_field(parts->port, port, length);
    }
    if (!parts->port[0])
        take_default_port(parts);
    if (path) {
        strncpy(parts->path, path, sizeof parts->path - 1);
        parts->path[sizeof parts->path - 1] = '\0';
    }
    return 0;
}
