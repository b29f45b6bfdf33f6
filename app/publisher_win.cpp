// The administrator's publisher keys from the machine's policy.
#include "app/publisher.h"

#include "app/site.h"
#include "base/log.h"

#include <windows.h>

#include <cstdlib>

namespace {

enum { POLICY_MAX_BYTES = 64 * 1024 };

char* no_keys(const char* why)
{
    log_line("publisher policy: %s %s; no key of it is pinned", publisher_policy_value, why);
    return static_cast<char*>(calloc(2, 1));
}

} // namespace

char* publisher_policy_read()
{
    DWORD type = REG_NONE;
    DWORD size = 0;
    LONG found = RegGetValueA(HKEY_LOCAL_MACHINE, site_policy_key, publisher_policy_value,
                              RRF_RT_ANY, &type, nullptr, &size);
    if (found == ERROR_FILE_NOT_FOUND || found == ERROR_PATH_NOT_FOUND)
        return nullptr;
    if (found != ERROR_SUCCESS)
        return no_keys("cannot be read");
    if (type != REG_MULTI_SZ)
        return no_keys("is not REG_MULTI_SZ");
    if (size > POLICY_MAX_BYTES)
        return no_keys("is larger than 64 KiB");
    // Room for the terminators RegGetValueA adds to a list stored without.
    DWORD room = size + 2;
    char* lines = static_cast<char*>(calloc(room, 1));
    if (!lines || RegGetValueA(HKEY_LOCAL_MACHINE, site_policy_key, publisher_policy_value,
                               RRF_RT_REG_MULTI_SZ, nullptr, lines, &room) != ERROR_SUCCESS) {
        free(lines);
        return no_keys("cannot be read");
    }
    return lines;
}
