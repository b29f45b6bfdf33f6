#include "app/heading.h"

#include "cache/tally.h"

#include <cstring>
#include <strings.h>
#include <string>

namespace {

enum { HEADING_SIZE = 256 };

// The descriptor's own name: after the last separator, before any query,
// without ".nlp" in any letter case.
std::string own_name(const char* opened)
{
    std::string name = opened;
    name = name.substr(0, name.find_first_of("?#"));
    size_t slash = name.find_last_of("/\\");
    if (slash != std::string::npos)
        name = name.substr(slash + 1);
    if (name.size() > 4 && strcasecmp(name.c_str() + name.size() - 4, ".nlp") == 0)
        name.resize(name.size() - 4);
    return name;
}

} // namespace

void heading_text(const Descriptor* descriptor, const char* opened, char* out, size_t size)
{
    if (size == 0)
        return;
    const cJSON* title = descriptor->title;
    std::string text = cJSON_IsString(title) && title->valuestring[0] ? title->valuestring
                                                                       : own_name(opened);
    size_t length = text.size() < size ? text.size() : size - 1;
    while (length < text.size() && length > 0 &&
           (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80)
        length--;
    memcpy(out, text.data(), length);
    out[length] = '\0';
}

void heading_publish(const Descriptor* descriptor, const char* opened)
{
    char text[HEADING_SIZE];
    heading_text(descriptor, opened, text, sizeof text);
    tally_set_title(text);
}
