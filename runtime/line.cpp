#include "runtime/line.h"

#include <cstring>

static bool is_digit(char c)
{
    return c >= '0' && c <= '9';
}

// Appends the number at *text, without its leading zeros, to out (length
// *used of size bytes) and moves *text past it; false when it does not fit.
static bool take_number(const char** text, char* out, size_t size, size_t* used)
{
    while (**text == '0' && is_digit((*text)[1]))
        (*text)++;
    size_t digits = strspn(*text, "0123456789");
    if (*used + digits >= size)
        return false;
    memcpy(out + *used, *text, digits);
    *used += digits;
    out[*used] = '\0';
    *text += digits;
    return true;
}

int line_of_version(const char* version, char* out, size_t size)
{
    if (size == 0)
        return 0;
    out[0] = '\0';
    if (!is_digit(version[0]))
        return 0;
    size_t used = 0;
    bool fits = take_number(&version, out, size, &used);
    // Before Java 9 the line was the second number: 1.8 is Java 8.
    if (fits && strcmp(out, "1") == 0 && version[0] == '.' && is_digit(version[1])) {
        version++;
        fits = used + 1 < size;
        if (fits) {
            out[used++] = '.';
            fits = take_number(&version, out, size, &used);
        }
    }
    if (!fits)
        out[0] = '\0';
    return fits ? 1 : 0;
}
