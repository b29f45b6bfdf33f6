#include "cache/stored_name.h"

#include "cache/download.h"
#include "net/ascii.h"

#include <cctype>
#include <cstring>

namespace {

// Windows opens these devices under any folder, with any extension.
bool device_name(const char* name)
{
    size_t stem = strcspn(name, ".");
    while (stem > 0 && name[stem - 1] == ' ')
        stem--;
    static const char* const devices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    for (const char* device : devices)
        if (stem == strlen(device) && ascii_starts_with(name, device))
            return true;
    if (!ascii_starts_with(name, "COM") && !ascii_starts_with(name, "LPT"))
        return false;
    // COM0 to COM9, and COM with a superscript one, two or three in UTF-8.
    const unsigned char* number = reinterpret_cast<const unsigned char*>(name) + 3;
    return (stem == 4 && isdigit(number[0])) ||
           (stem == 5 && number[0] == 0xC2 &&
            (number[1] == 0xB9 || number[1] == 0xB2 || number[1] == 0xB3));
}

} // namespace

const char* stored_name_of(const char* url)
{
    const char* slash = strrchr(url, '/');
    return slash ? slash + 1 : nullptr;
}

int stored_name_acceptable(const char* name)
{
    size_t length = strlen(name);
    if (length == 0 || length >= DOWNLOAD_NAME_SIZE || strcmp(name, ".") == 0 ||
        strcmp(name, "..") == 0)
        return 0;
    for (const char* c = name; *c; c++) {
        if (static_cast<unsigned char>(*c) < 32 || strchr("<>:\"/\\|?*", *c))
            return 0;
    }
    // Windows drops a name's final dots and blanks: one made of them alone
    // ("...", ".. ") is its folder's or the parent's.
    if (strspn(name, ". ") == length)
        return 0;
    return !device_name(name);
}
