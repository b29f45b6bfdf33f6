#include "serve/token.h"

#include <cstring>

char* split_token(char** cursor, const char* delimiters)
{
    char* text = *cursor;
    if (!text)
        return nullptr;
    char* cut = strpbrk(text, delimiters);
    if (cut) {
        *cut = '\0';
        *cursor = cut + 1;
    } else {
        *cursor = nullptr;
    }
    return text;
}

char* cut_line_end(char* text)
{
    char* end = strpbrk(text, "\r\n");
    if (end)
        *end = '\0';
    return end;
}

int hex_digit_value(char c)
{
    int code = static_cast<unsigned char>(c);
    if (code >= '0' && code <= '9')
        return code - '0';
    // ASCII lowering only: the locale must not change how escapes decode.
    if (code >= 'A' && code <= 'Z')
        code += 'a' - 'A';
    return code - 87;
}
