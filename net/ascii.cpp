#include "net/ascii.h"

#include <cctype>
#include <cstring>

int ascii_same_letter(char a, char b)
{
    return tolower(static_cast<unsigned char>(a)) == tolower(static_cast<unsigned char>(b));
}

int ascii_starts_with(const char* text, const char* prefix)
{
    for (; *prefix; text++, prefix++) {
        if (!ascii_same_letter(*text, *prefix))
            return 0;
    }
    return 1;
}

int ascii_equal(const char* a, const char* b)
{
    return strlen(a) == strlen(b) && ascii_starts_with(a, b);
}
