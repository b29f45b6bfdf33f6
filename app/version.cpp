#include "app/version.h"

#include "app/fileutil.h"

#include <cstring>

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

int component_needs_update(int installed_known, const char* wanted, const char* installed)
{
    if (!installed_known)
        return 1;
    // strcmp compares as unsigned char, and a prefix compares smaller.
    return strcmp(wanted, installed) > 0 ? 1 : 0;
}
