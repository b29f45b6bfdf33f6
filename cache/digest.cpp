#include "cache/digest.h"

#include <cstring>

int digest_is_sha256(const char* text)
{
    return strlen(text) == DIGEST_HEX_SIZE - 1 &&
           strspn(text, "0123456789abcdef") == DIGEST_HEX_SIZE - 1;
}
