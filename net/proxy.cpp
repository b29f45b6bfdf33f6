#include "net/proxy.h"

#include "net/ascii.h"
#include "net/url.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

bool is_separator(char c, const char* separators)
{
    return strchr(separators, c) != nullptr || isspace(static_cast<unsigned char>(c));
}

// The next entry of a list after *at, into entry; false at the end.
bool next_entry(const char** at, const char* separators, std::string* entry)
{
    const char* from = *at;
    while (*from && is_separator(*from, separators))
        from++;
    const char* to = from;
    while (*to && !is_separator(*to, separators))
        to++;
    *at = to;
    entry->assign(from, static_cast<size_t>(to - from));
    return !entry->empty();
}

// Glob match, '*' for any run, letter case ignored: on a mismatch the last
// '*' takes one character more, so the work stays linear in each star.
bool matches(const char* pattern, const char* text)
{
    const char* star = nullptr;
    const char* resume = nullptr;
    while (*text) {
        if (*pattern == '*') {
            star = pattern++;
            resume = text;
        } else if (*pattern && ascii_same_letter(*pattern, *text)) {
            pattern++;
            text++;
        } else if (star) {
            pattern = star + 1;
            text = ++resume;
        } else {
            return false;
        }
    }
    pattern += strspn(pattern, "*");
    return *pattern == '\0';
}

// Cuts a leading "<scheme>://" off entry into scheme.
void split_scheme(std::string* entry, std::string* scheme)
{
    size_t mark = entry->find("://");
    scheme->clear();
    if (mark == std::string::npos)
        return;
    *scheme = entry->substr(0, mark);
    entry->erase(0, mark + 3);
}

// Cuts a trailing ":<digits>" off entry into port (0 when there is none).
// A host in brackets keeps its own colons.
bool split_port(std::string* entry, long* port)
{
    size_t colon = entry->rfind(':');
    size_t bracket = entry->rfind(']');
    *port = 0;
    if (colon == std::string::npos || (bracket != std::string::npos && colon < bracket))
        return true;
    std::string digits = entry->substr(colon + 1);
    entry->erase(colon);
    if (digits.empty() || digits.size() > 5 ||
        digits.find_first_not_of("0123456789") != std::string::npos)
        return false;
    *port = strtol(digits.c_str(), nullptr, 10);
    return *port >= 1 && *port <= 65535;
}

bool bypassed(const UrlParts& url, const char* bypass)
{
    std::string entry, scheme;
    const char* at = bypass ? bypass : "";
    while (next_entry(&at, ";,", &entry)) {
        if (ascii_equal(entry.c_str(), "<local>")) {
            if (!strchr(url.host, '.') && !strchr(url.host, ':'))
                return true;
            continue;
        }
        split_scheme(&entry, &scheme);
        long port = 0;
        if (!scheme.empty() && !url_scheme_is(&url, scheme.c_str()))
            continue;
        // A pattern of a bracketed address ("[::1]") matches the host without them.
        if (split_port(&entry, &port) && (port == 0 || port == strtol(url.port, nullptr, 10)) &&
            (matches(entry.c_str(), url.host) ||
             (entry.size() > 2 && entry.front() == '[' && entry.back() == ']' &&
              matches(entry.substr(1, entry.size() - 2).c_str(), url.host))))
            return true;
    }
    return false;
}

// An entry "[http://]host[:port]", its "<scheme>=" cut off, into route.
bool take_entry(std::string entry, ProxyRoute* route)
{
    std::string ignored;
    split_scheme(&entry, &ignored);
    long port = 0;
    if (!split_port(&entry, &port))
        return false;
    if (entry.size() > 2 && entry.front() == '[' && entry.back() == ']')
        entry = entry.substr(1, entry.size() - 2);
    if (entry.empty() || entry.size() >= sizeof route->host)
        return false;
    memcpy(route->host, entry.c_str(), entry.size() + 1);
    route->port = port ? static_cast<int>(port) : PROXY_DEFAULT_PORT;
    return true;
}

} // namespace

int proxy_route_from_list(const char* url, const char* list, const char* bypass,
                          ProxyRoute* route)
{
    UrlParts parts;
    route->host[0] = '\0';
    route->port = 0;
    if (url_parse(url, &parts) != 0 || bypassed(parts, bypass))
        return 0;
    std::string entry;
    for (int named = 1; named >= 0; named--) {
        const char* at = list ? list : "";
        while (next_entry(&at, ";", &entry)) {
            size_t equals = entry.find('=');
            bool serves = named ? equals != std::string::npos &&
                                      ascii_equal(entry.substr(0, equals).c_str(), parts.scheme)
                                : equals == std::string::npos;
            if (serves && take_entry(named ? entry.substr(equals + 1) : entry, route))
                return 1;
        }
    }
    route->host[0] = '\0';
    return 0;
}

int proxy_auth_offer(const StringList* response, char* scheme, char* challenge, size_t size)
{
    static const char NAME[] = "Proxy-Authenticate:";
    static const char* const SCHEMES[] = {"Negotiate", "NTLM"};
    for (const char* wanted : SCHEMES) {
        size_t length = strlen(wanted);
        for (int i = 0; i < response->count; i++) {
            const char* line = response->items[i];
            if (!ascii_starts_with(line, NAME))
                continue;
            const char* value = line + sizeof NAME - 1;
            value += strspn(value, " \t");
            if (!ascii_starts_with(value, wanted) || (value[length] && !strchr(" \t\r\n", value[length])))
                continue;
            const char* token = value + length;
            token += strspn(token, " \t");
            size_t token_length = strcspn(token, " \t\r\n");
            // A cut challenge could only fail the handshake.
            if (token_length >= size)
                return 0;
            memcpy(challenge, token, token_length);
            challenge[token_length] = '\0';
            memcpy(scheme, wanted, length + 1);
            return 1;
        }
    }
    return 0;
}
