#include "runtime/installed.h"

#include <cstdio>
#include <cstring>

// The value of key="..." when line (up to its end) is that member, in out;
// false when it is not or the value does not fit.
static bool line_value(const char* line, const char* key, char* out, size_t size)
{
    size_t key_length = strlen(key);
    if (strncmp(line, key, key_length) != 0 || strncmp(line + key_length, "=\"", 2) != 0)
        return false;
    const char* value = line + key_length + 2;
    size_t length = strcspn(value, "\"\r\n");
    if (value[length] != '"' || length >= size)
        return false;
    memcpy(out, value, length);
    out[length] = '\0';
    return true;
}

// The value of key="..." on a line of release, in out.
static bool release_value(const char* release, const char* key, char* out, size_t size)
{
    for (const char* line = release;;) {
        if (line_value(line, key, out, size))
            return true;
        line = strchr(line, '\n');
        if (!line)
            return false;
        line++;
    }
}

int installed_release_version(const char* release, JavaVersion* out, char* text, size_t size)
{
    static const char* const keys[] = {"JAVA_RUNTIME_VERSION", "JAVA_VERSION"};
    char value[VERSION_TEXT_SIZE];
    for (const char* key : keys) {
        if (!release_value(release, key, value, sizeof value) || !java_version_parse(value, out))
            continue;
        if (size > 0)
            snprintf(text, size, "%s", value);
        return 1;
    }
    return 0;
}

int installed_needs_update(const JavaVersion* wanted, const InstalledRuntime* installed)
{
    if (installed->recorded_known && java_version_compare(wanted, &installed->recorded) <= 0)
        return 0;
    if (installed->own_known && java_version_compare(wanted, &installed->own) <= 0)
        return 0;
    return 1;
}

int installed_line(const InstalledRuntime* installed, char* out, size_t size)
{
    if (installed->recorded_known)
        return java_version_line(&installed->recorded, out, size);
    if (installed->own_known)
        return java_version_line(&installed->own, out, size);
    if (size > 0)
        out[0] = '\0';
    return 0;
}
