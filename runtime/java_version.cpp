#include "runtime/java_version.h"

#include <cstdio>
#include <cstring>

namespace {

enum { NUMBER_MAX_DIGITS = 6, FIELDS_MAX = 6, NAME_SIZE = 256 };

bool is_digit(char c)
{
    return c >= '0' && c <= '9';
}

bool is_letter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Reads the number at *text (which starts with a digit) and moves past it;
// false when it has too many digits to be a version's.
bool take_number(const char** text, unsigned* out)
{
    size_t digits = strspn(*text, "0123456789");
    while (digits > 1 && **text == '0') {
        (*text)++;
        digits--;
    }
    if (digits > NUMBER_MAX_DIGITS)
        return false;
    unsigned value = 0;
    for (size_t i = 0; i < digits; i++)
        value = value * 10 + static_cast<unsigned>((*text)[i] - '0');
    *text += digits;
    *out = value;
    return true;
}

// A number after marker (one or two characters) at *text, as "_181", "b13",
// "-b13" or "+9" bring; moves past both when there is one.
bool take_marked(const char** text, const char* marker, unsigned* out)
{
    size_t length = strlen(marker);
    if (strncmp(*text, marker, length) != 0 || !is_digit((*text)[length]))
        return false;
    const char* at = *text + length;
    if (!take_number(&at, out))
        return false;
    *text = at;
    return true;
}

// A Java 8 build: "b08" or "-b13".
void take_old_build(const char** text, JavaVersion* out)
{
    if (take_marked(text, "b", &out->build) || take_marked(text, "-b", &out->build))
        out->has_build = 1;
}

// Reads the version at text as far as it goes; *end is where it stopped.
bool parse_at(const char* text, JavaVersion* out, const char** end)
{
    memset(out, 0, sizeof *out);
    unsigned field[FIELDS_MAX] = {};
    int count = 0;
    if (!is_digit(*text) || !take_number(&text, &field[count++]))
        return false;
    while (text[0] == '.' && is_digit(text[1]) && count < FIELDS_MAX) {
        text++;
        if (!take_number(&text, &field[count++]))
            return false;
    }
    if (field[0] == 0)
        return false;
    if (field[0] == 1 && count >= 2) {
        // 1.8.0_181-b13, 1.8.0.181: the line is the second number.
        if (count > 4)
            return false;
        out->line = field[1];
        out->interim = field[2];
        out->update = field[3];
        if (count == 3)
            take_marked(&text, "_", &out->update);
        take_old_build(&text, out);
    } else if (field[0] <= 8) {
        out->line = field[0];
        if (count == 1 && take_marked(&text, "u", &out->update)) {
            take_old_build(&text, out); // 8u392b08
        } else if (count > 4) {
            return false;
        } else if (count > 1 && field[1] == 0) {
            // A java.exe's file version, 8.0.<update times ten>.<build>;
            // three numbers are a vendor's 8.0.<update> (Zulu's jre8.0.402).
            out->update = count == 4 ? field[2] / 10 : field[2];
            out->build = field[3];
            out->has_build = count == 4;
        } else if (count > 1) {
            // A vendor's 8.392.08.1: update, build, revision.
            out->update = field[1];
            out->build = field[2];
            out->has_build = count >= 3;
        }
    } else {
        // 17.0.9.1 (a patch), or 17.0.9.8.1: a vendor's build and revision.
        out->line = field[0];
        out->interim = field[1];
        out->update = field[2];
        if (count == FIELDS_MAX)
            return false;
        if (count == 5) {
            out->build = field[3];
            out->has_build = 1;
        } else {
            out->patch = field[3];
            out->has_build = take_marked(&text, "+", &out->build) ||
                             take_marked(&text, "_", &out->build);
        }
    }
    *end = text;
    return true;
}

// "-LTS", "-ea", "-LTS-201": the text that may follow a version.
bool is_suffix(const char* text)
{
    if (*text == '\0')
        return true;
    if (*text != '-' || text[1] == '\0')
        return false;
    for (text++; *text; text++) {
        if (!is_digit(*text) && !is_letter(*text) && !strchr(".-+", *text))
            return false;
    }
    return true;
}

int compare_numbers(unsigned a, unsigned b)
{
    return a == b ? 0 : (a < b ? -1 : 1);
}

// The archive's file name without its extension, in out; false when it
// does not fit.
bool archive_stem(const char* value, char* out, size_t size)
{
    const char* name = value;
    for (const char* c = value; *c; c++) {
        if (*c == '/' || *c == '\\')
            name = c + 1;
    }
    int needed = snprintf(out, size, "%s", name);
    if (needed < 0 || static_cast<size_t>(needed) >= size)
        return false;
    // jre-1.2.3.4 keeps its last number: an extension has a letter in it.
    char* dot = strrchr(out, '.');
    if (!dot)
        return true;
    bool letter = false;
    for (const char* c = dot + 1; *c; c++) {
        if (!is_digit(*c) && !is_letter(*c))
            return true;
        letter = letter || is_letter(*c);
    }
    if (letter)
        *dot = '\0';
    return true;
}

} // namespace

int java_version_parse(const char* text, JavaVersion* out)
{
    const char* end = text;
    if (parse_at(text, out, &end) && is_suffix(end))
        return 1;
    memset(out, 0, sizeof *out);
    return 0;
}

int java_version_compare(const JavaVersion* wanted, const JavaVersion* installed)
{
    const unsigned a[] = {wanted->line, wanted->interim, wanted->update, wanted->patch};
    const unsigned b[] = {installed->line, installed->interim, installed->update,
                          installed->patch};
    for (size_t i = 0; i < sizeof a / sizeof a[0]; i++) {
        int order = compare_numbers(a[i], b[i]);
        if (order != 0)
            return order;
    }
    if (!wanted->has_build || !installed->has_build)
        return 0;
    return compare_numbers(wanted->build, installed->build);
}

int java_version_of_archive(const char* value, JavaVersion* version, char* out, size_t size)
{
    memset(version, 0, sizeof *version);
    if (size > 0)
        out[0] = '\0';
    char name[NAME_SIZE];
    if (!archive_stem(value, name, sizeof name))
        return 0;
    const char* found = nullptr;
    const char* found_end = nullptr;
    bool found_several = false;
    for (const char* at = name; *at;) {
        JavaVersion candidate;
        const char* end = at;
        bool starts = is_digit(*at) && (at == name || !is_digit(at[-1]));
        if (!starts || !parse_at(at, &candidate, &end) || !strchr("-_", *end)) {
            at++;
            continue;
        }
        // One number alone must stand apart: the 64 of x64 is no version.
        bool several = static_cast<size_t>(end - at) != strspn(at, "0123456789");
        bool apart = at == name || at[-1] == '-' || at[-1] == '_';
        if (several || (apart && !found_several)) {
            found = at;
            found_end = end;
            found_several = several;
            *version = candidate;
        }
        at = end;
    }
    if (!found)
        return 0;
    if (size > 0)
        snprintf(out, size, "%.*s", static_cast<int>(found_end - found), found);
    return 1;
}

int java_version_line(const JavaVersion* version, char* out, size_t size)
{
    if (size == 0)
        return 0;
    int needed = version->line <= 8 ? snprintf(out, size, "1.%u", version->line)
                                    : snprintf(out, size, "%u", version->line);
    if (needed < 0 || static_cast<size_t>(needed) >= size) {
        out[0] = '\0';
        return 0;
    }
    return 1;
}
