// A POSIX system has no code page of its own apart from its locale's: a
// text that is no UTF-8 is kept as it stands.
#include "base/utf8.h"

#include <cstring>

char* utf8_from_system_code_page(const char* text)
{
    return strdup(text);
}
