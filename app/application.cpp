#include "app/application.h"

#include <cstdio>
#include <cstring>

namespace {

const char RECORD_HEAD[] = "quorvel application";

bool copy_line(const std::string& line, char* out, size_t size)
{
    if (line.empty() || line.size() >= size)
        return false;
    memcpy(out, line.c_str(), line.size() + 1);
    return true;
}

} // namespace

int application_identity(const Descriptor* descriptor, const char* file_name, char* out,
                         size_t size)
{
    if (descriptor->href)
        return layout_identity(descriptor->href, nullptr, out, size);
    return layout_identity(descriptor->codebase, file_name, out, size);
}

std::string application_record_text(const char* identity, const char* copy_name)
{
    return std::string(RECORD_HEAD) + "\r\n" + identity + "\r\n" + copy_name + "\r\n";
}

int application_record_parse(const std::string& text, char* identity, size_t identity_size,
                             char* copy_name, size_t copy_size)
{
    std::string lines[3];
    size_t at = 0;
    for (std::string& line : lines) {
        size_t end = text.find("\r\n", at);
        if (end == std::string::npos)
            return 0;
        line = text.substr(at, end - at);
        at = end + 2;
    }
    return at == text.size() && lines[0] == RECORD_HEAD &&
           copy_line(lines[1], identity, identity_size) &&
           copy_line(lines[2], copy_name, copy_size);
}
