#include "net/cause.h"

#include <cstdio>

namespace {

struct Cause {
    char text[CAUSE_TEXT_SIZE];
    long code;
};

thread_local Cause cause = {"", 0};

} // namespace

void cause_set(const char* text, long code)
{
    snprintf(cause.text, sizeof cause.text, "%s", text);
    cause.code = code;
}

void cause_set_first(const char* text, long code)
{
    if (!cause.text[0])
        cause_set(text, code);
}

void cause_clear(void)
{
    cause.text[0] = '\0';
    cause.code = 0;
}

const char* cause_text(void)
{
    return cause.text;
}

void cause_describe(char* out, size_t size)
{
    if (size == 0)
        return;
    const char* text = cause.text[0] ? cause.text : "unknown cause";
    if (cause.code == 0)
        snprintf(out, size, "%s", text);
    else if (cause.code > 0 && cause.code <= 65535)
        snprintf(out, size, "%s (%ld)", text, cause.code);
    else
        snprintf(out, size, "%s (0x%08lX)", text, static_cast<unsigned long>(cause.code) & 0xFFFFFFFFul);
}
