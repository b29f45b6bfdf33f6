#include "runtime/version.h"

#include <cstring>

int version_from_file_name(const char* name, char* out, int n)
{
    const char* dash = strrchr(name, '-');
    if (!dash || n < 1)
        return 0;
    // strncpy pads with NUL up to the count; the last byte always ends the text.
    strncpy(out, dash + 1, static_cast<size_t>(n) - 1);
    out[n - 1] = '\0';
    char* dot = strrchr(out, '.');
    if (!dot)
        return 0;
    *dot = '\0';
    return 1;
}

void component_wanted_version(const char* value, char* out, int n)
{
    if (n < 1)
        return;
    // version_from_file_name leaves out alone when the value has no "-", and
    // its result only says whether an extension was cut: neither matters
    // here, the empty or copied text is the wanted version.
    out[0] = '\0';
    version_from_file_name(value, out, n);
}

static bool is_digit(char c)
{
    return c >= '0' && c <= '9';
}

// Digits, in one or more fields joined by single ".".
static bool is_dotted_decimal(const char* text)
{
    for (;;) {
        if (!is_digit(*text))
            return false;
        while (is_digit(*text))
            text++;
        if (*text == '\0')
            return true;
        if (*text != '.')
            return false;
        text++;
    }
}

// Compares the fields at *a and *b as numbers and moves each past its field
// and its ".": an ended text stays at its end, a field of 0. The digits are
// compared as they stand, so no field is too large.
static int compare_field(const char** a, const char** b)
{
    while (**a == '0')
        (*a)++;
    while (**b == '0')
        (*b)++;
    size_t a_length = strspn(*a, "0123456789");
    size_t b_length = strspn(*b, "0123456789");
    int order = a_length != b_length ? (a_length < b_length ? -1 : 1)
                                     : strncmp(*a, *b, a_length);
    *a += a_length;
    *b += b_length;
    if (**a == '.')
        (*a)++;
    if (**b == '.')
        (*b)++;
    return order;
}

static int compare_dotted_decimals(const char* a, const char* b)
{
    while (*a || *b) {
        int order = compare_field(&a, &b);
        if (order != 0)
            return order;
    }
    return 0;
}

int component_needs_update(int installed_known, const char* wanted, const char* installed)
{
    if (!installed_known)
        return 1;
    if (is_dotted_decimal(wanted) && is_dotted_decimal(installed))
        return compare_dotted_decimals(wanted, installed) > 0 ? 1 : 0;
    // strcmp compares as unsigned char, and a prefix compares smaller.
    return strcmp(wanted, installed) > 0 ? 1 : 0;
}
