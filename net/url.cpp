#include "net/url.h"

#include "net/ascii.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <algorithm>
#include <string>

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
    if (ascii_equal(parts->scheme, "http"))
        strcpy(parts->port, "80");
    else if (ascii_equal(parts->scheme, "https"))
        strcpy(parts->port, "443");
    else if (ascii_equal(parts->scheme, "rtsp"))
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

void url_strip_credentials(const char* url, char* out, size_t size)
{
    const char* rest = strstr(url, "://");
    const char* at = rest ? strchr(rest + 3, '@') : nullptr;
    size_t kept = at ? static_cast<size_t>(rest + 3 - url) : strlen(url);
    if (kept > size - 1)
        kept = size - 1;
    memcpy(out, url, kept);
    out[kept] = '\0';
    if (at)
        snprintf(out + kept, size - kept, "%s", at + 1);
}

int url_scheme_is(const UrlParts* parts, const char* scheme)
{
    return ascii_equal(parts->scheme, scheme);
}

namespace {

// The five parts of a URI reference (RFC 3986 appendix B); the fragment is
// not kept.
struct Reference {
    std::string scheme;
    bool has_authority = false;
    std::string authority;
    std::string path;
    bool has_query = false;
    std::string query;
};

bool scheme_character(char c)
{
    return isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '-' || c == '.';
}

Reference split(const std::string& text)
{
    Reference parts;
    size_t at = 0;
    size_t colon = text.find_first_of(":/?#");
    if (colon != std::string::npos && colon > 0 && text[colon] == ':' &&
        isalpha(static_cast<unsigned char>(text[0]))) {
        bool valid = true;
        for (size_t i = 1; i < colon; i++)
            valid = valid && scheme_character(text[i]);
        if (valid) {
            parts.scheme = text.substr(0, colon);
            at = colon + 1;
        }
    }
    if (text.compare(at, 2, "//") == 0) {
        size_t end = std::min(text.find_first_of("/?#", at + 2), text.size());
        parts.has_authority = true;
        parts.authority = text.substr(at + 2, end - at - 2);
        at = end;
    }
    size_t path_end = std::min(text.find_first_of("?#", at), text.size());
    parts.path = text.substr(at, path_end - at);
    if (path_end < text.size() && text[path_end] == '?') {
        size_t query_end = std::min(text.find('#', path_end), text.size());
        parts.has_query = true;
        parts.query = text.substr(path_end + 1, query_end - path_end - 1);
    }
    return parts;
}

// RFC 3986 section 5.2.4.
std::string remove_dot_segments(std::string input)
{
    std::string output;
    while (!input.empty()) {
        if (input.compare(0, 3, "../") == 0) {
            input.erase(0, 3);
        } else if (input.compare(0, 2, "./") == 0) {
            input.erase(0, 2);
        } else if (input.compare(0, 3, "/./") == 0) {
            input.erase(0, 2);
        } else if (input == "/.") {
            input = "/";
        } else if (input.compare(0, 4, "/../") == 0 || input == "/..") {
            input = "/" + input.substr(input.size() == 3 ? 3 : 4);
            size_t last = output.rfind('/');
            output.erase(last == std::string::npos ? 0 : last);
        } else if (input == "." || input == "..") {
            input.clear();
        } else {
            size_t end = input.find('/', 1);
            output += input.substr(0, end);
            input.erase(0, end == std::string::npos ? input.size() : end);
        }
    }
    return output;
}

// RFC 3986 section 5.2.3.
std::string merge(const Reference& base, const std::string& path)
{
    if (base.has_authority && base.path.empty())
        return "/" + path;
    size_t slash = base.path.rfind('/');
    return (slash == std::string::npos ? "" : base.path.substr(0, slash + 1)) + path;
}

} // namespace

int url_resolve(const char* base_text, const char* reference_text, char* out, size_t size)
{
    Reference base = split(base_text);
    if (base.scheme.empty() || !base.has_authority)
        return 0;
    Reference reference = split(reference_text);
    Reference target = reference;
    if (reference.scheme.empty()) {
        target.scheme = base.scheme;
        if (!reference.has_authority) {
            target.has_authority = true;
            target.authority = base.authority;
            if (reference.path.empty()) {
                target.path = base.path;
                target.has_query = reference.has_query || base.has_query;
                target.query = reference.has_query ? reference.query : base.query;
            } else if (reference.path[0] != '/') {
                target.path = merge(base, reference.path);
            }
        }
    }
    target.path = remove_dot_segments(target.path);
    std::string text = target.scheme + ":";
    if (target.has_authority)
        text += "//" + target.authority;
    text += target.path;
    if (target.has_query)
        text += "?" + target.query;
    if (text.size() >= size)
        return 0;
    memcpy(out, text.c_str(), text.size() + 1);
    return 1;
}
