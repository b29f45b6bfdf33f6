#include "runtime/line.h"

int line_of_member(const char* jre, char* out, size_t size)
{
    if (size == 0)
        return 0;
    out[0] = '\0';
    JavaVersion version;
    char text[VERSION_TEXT_SIZE];
    if (!java_version_of_archive(jre, &version, text, sizeof text))
        return 0;
    return java_version_line(&version, out, size);
}
