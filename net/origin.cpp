#include "net/origin.h"

#include "net/url.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

// An origin as the client connects to it (url_parse's fields, so a check
// and the connection never read a URL two ways).
struct Origin {
    char scheme[16];
    char host[80];
    long port;
};

void lower(char* text)
{
    for (; *text; text++) {
        if (*text >= 'A' && *text <= 'Z')
            *text = static_cast<char>(*text - 'A' + 'a');
    }
}

long default_port(const char* scheme)
{
    if (strcmp(scheme, "http") == 0)
        return 80;
    return strcmp(scheme, "https") == 0 ? 443 : 0;
}

// A decimal port from 1 to 65535, else 0.
long port_number(const char* text)
{
    long port = 0;
    for (const char* digit = text; *digit; digit++) {
        if (*digit < '0' || *digit > '9')
            return 0;
        port = port * 10 + (*digit - '0');
        if (port > 65535)
            return 0;
    }
    return port;
}

// A host name or address, as a browser writes it in a link (an
// international name in its ASCII form): letters, digits, "-", ".", "_",
// ":" and "%" of an IPv6 address. Anything else (a "/" that url_parse left
// in the host, say) names no host to allow; a pattern may begin with "*.".
bool host_valid(const char* host, bool pattern)
{
    if (pattern && strncmp(host, "*.", 2) == 0)
        host += 2;
    if (!*host)
        return false;
    for (; *host; host++) {
        bool letter_or_digit = (*host >= 'a' && *host <= 'z') || (*host >= 'A' && *host <= 'Z') ||
                               (*host >= '0' && *host <= '9');
        if (!letter_or_digit && !strchr("-._:%", *host))
            return false;
    }
    return true;
}

bool origin_of(const UrlParts& parts, bool pattern, Origin* out)
{
    out->port = port_number(parts.port);
    if (!parts.scheme[0] || !host_valid(parts.host, pattern) || !out->port)
        return false;
    snprintf(out->scheme, sizeof out->scheme, "%s", parts.scheme);
    snprintf(out->host, sizeof out->host, "%s", parts.host);
    lower(out->scheme);
    lower(out->host);
    return true;
}

bool origin_of_url(const char* url, Origin* out)
{
    UrlParts parts;
    return url_parse(url, &parts) == 0 && origin_of(parts, false, out);
}

// scheme://host[:port], an IPv6 address in brackets.
bool origin_text_of(const Origin& origin, char* out, size_t size)
{
    bool v6 = strchr(origin.host, ':') != nullptr;
    char port[8] = "";
    if (origin.port != default_port(origin.scheme))
        snprintf(port, sizeof port, ":%ld", origin.port);
    int needed = snprintf(out, size, "%s://%s%s%s%s", origin.scheme, v6 ? "[" : "", origin.host,
                          v6 ? "]" : "", port);
    return needed >= 0 && static_cast<size_t>(needed) < size;
}

// A line of the list as a pattern: an origin whose host may begin with
// "*.". False for a line that holds more than an origin.
bool pattern_of(const char* line, Origin* out)
{
    std::string text = line;
    size_t first = text.find_first_not_of(" \t");
    size_t last = text.find_last_not_of(" \t");
    text = first == std::string::npos ? "" : text.substr(first, last - first + 1);
    if (!text.empty() && text.back() == '/')
        text.pop_back();
    UrlParts parts;
    return url_parse(text.c_str(), &parts) == 0 && text.find('@') == std::string::npos &&
           text.find('/', text.find("://") + 3) == std::string::npos &&
           origin_of(parts, true, out);
}

bool host_matches(const char* pattern, const char* host)
{
    if (strncmp(pattern, "*.", 2) != 0)
        return strcmp(pattern, host) == 0;
    const char* domain = pattern + 1; // ".domain"
    size_t domain_length = strlen(domain);
    size_t host_length = strlen(host);
    return host_length > domain_length && strcmp(host + host_length - domain_length, domain) == 0;
}

bool matches(const char* line, const Origin& origin)
{
    Origin pattern;
    return pattern_of(line, &pattern) && strcmp(pattern.scheme, origin.scheme) == 0 &&
           pattern.port == origin.port && host_matches(pattern.host, origin.host);
}

} // namespace

int origin_text(const char* url, char* out, size_t size)
{
    Origin origin;
    if (origin_of_url(url, &origin) && origin_text_of(origin, out, size))
        return 1;
    if (size > 0)
        out[0] = '\0';
    return 0;
}

int origin_listed(const char* lines, const char* url)
{
    if (!lines)
        return 1;
    Origin origin;
    if (!origin_of_url(url, &origin))
        return 0;
    for (const char* line = lines; *line; line += strlen(line) + 1) {
        if (matches(line, origin))
            return 1;
    }
    return 0;
}
