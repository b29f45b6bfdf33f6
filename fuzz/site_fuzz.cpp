// The site functions on any text, as a browser's link or an administrator's
// list gives it: the input's first line is the link or URL, the lines after
// it the list. A link's URL stays inside an exact-size heap block; an origin
// read again is the same origin; an origin listed as it stands is allowed.
#include "app/site.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// Exact-size heap block for out, so a write past size is caught.
int link_url_into_exact_block(const char* link, size_t size)
{
    char* out = static_cast<char*>(malloc(size));
    int result = site_link_url(link, out, size);
    if ((result != 1 && result != 0 && result != -1) || !memchr(out, '\0', size) ||
        (result == 1 && strncmp(out, "http://", 7) != 0 && strncmp(out, "https://", 8) != 0) ||
        (result != 1 && out[0]))
        abort();
    free(out);
    return result;
}

// An origin that a line of the list names as it stands: nothing that a
// line's reading trims or refuses (a blank, a user, a path).
bool listable(const std::string& origin)
{
    size_t host = origin.find("://") + 3;
    return origin.find_first_of(" \t@") == std::string::npos &&
           origin.find('/', host) == std::string::npos;
}

SitePolicy policy_of(const std::string& lines)
{
    SitePolicy policy = {static_cast<char*>(calloc(lines.size() + 2, 1))};
    memcpy(policy.allowed, lines.data(), lines.size());
    for (size_t i = 0; i < lines.size(); i++) {
        if (policy.allowed[i] == '\n')
            policy.allowed[i] = '\0';
    }
    return policy;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string input(reinterpret_cast<const char*>(data), size);
    input = input.c_str();
    size_t end = input.find('\n');
    std::string url = input.substr(0, end);
    std::string lines = end == std::string::npos ? "" : input.substr(end + 1);

    link_url_into_exact_block(url.c_str(), 1 + size % 300);
    char link_url[512];
    if (site_link_url(url.c_str(), link_url, sizeof link_url) == 1)
        url = link_url;

    char origin[SITE_ORIGIN_SIZE];
    char again[SITE_ORIGIN_SIZE];
    bool has_origin = site_origin(url.c_str(), origin, sizeof origin) == 1;
    if (has_origin && (site_origin(origin, again, sizeof again) != 1 || strcmp(origin, again) != 0))
        abort();

    SitePolicy policy = policy_of(lines);
    int allowed = site_allowed(&policy, url.c_str());
    site_policy_free(&policy);
    if (allowed != 0 && allowed != 1)
        abort();
    if (has_origin && listable(origin)) {
        // Blank lines end a list: the origin goes first.
        SitePolicy listed = policy_of(std::string(origin) + "\n" + lines);
        if (!site_allowed(&listed, url.c_str()))
            abort();
        site_policy_free(&listed);
    }
    return 0;
}
