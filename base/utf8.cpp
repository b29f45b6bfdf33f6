#include "base/utf8.h"

// The length of the well-formed sequence at text, or 0 when there is none.
static size_t sequence_length(const unsigned char* text)
{
    unsigned char lead = text[0];
    if (lead < 0x80)
        return 1;
    size_t length = lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3
                    : lead >= 0xF0 && lead <= 0xF4                                   ? 4
                                                                                     : 0;
    if (length == 0)
        return 0;
    // The second byte's range rules out overlong forms, surrogates and
    // values above U+10FFFF.
    unsigned char low = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
    unsigned char high = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
    if (text[1] < low || text[1] > high)
        return 0;
    for (size_t i = 2; i < length; i++) {
        if (text[i] < 0x80 || text[i] > 0xBF)
            return 0;
    }
    return length;
}

int utf8_valid(const char* text)
{
    const unsigned char* at = reinterpret_cast<const unsigned char*>(text);
    while (*at) {
        size_t length = sequence_length(at);
        if (length == 0)
            return 0;
        at += length;
    }
    return 1;
}

size_t utf8_length(const char* text)
{
    size_t count = 0;
    for (const unsigned char* at = reinterpret_cast<const unsigned char*>(text); *at; at++) {
        if ((*at & 0xC0) != 0x80)
            count++;
    }
    return count;
}
