#include "install/root_access.h"

#include <cstdio>
#include <cstring>

const char ROOT_ACCESS_REFUSED[] =
    "C:\\quorvel\\launcher\\ can be changed by other users; ask your administrator";

namespace {

const char system_sid[] = "S-1-5-18";
const char administrators_sid[] = "S-1-5-32-544";
const char trusted_installer_sid[] =
    "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";
// Stands for whoever makes a file below; only the rights of those who may
// make one count.
const char creator_owner_sid[] = "S-1-3-0";

bool system_own(const std::string& sid)
{
    return sid == system_sid || sid == administrators_sid || sid == trusted_installer_sid;
}

} // namespace

int root_access_descriptor(const char* user_sid, char* out, size_t size)
{
    int needed = snprintf(out, size, "O:%sD:P(A;OICI;FA;;;%s)(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)",
                          user_sid, user_sid);
    if (needed < 0 || static_cast<size_t>(needed) >= size) {
        if (size > 0)
            out[0] = '\0';
        return 0;
    }
    return 1;
}

bool root_access_open_to_others(bool dacl_present, const std::vector<RootAce>& aces,
                                const char* user_sid)
{
    if (!dacl_present)
        return true;
    for (const RootAce& ace : aces) {
        bool trusted = ace.sid == user_sid || system_own(ace.sid) || ace.sid == creator_owner_sid;
        if (ace.allow && !trusted && (ace.mask & ROOT_WRITE_RIGHTS))
            return true;
    }
    return false;
}

RootVerdict root_access_verdict(const char* owner_sid, const char* user_sid, bool open_to_others)
{
    bool own = strcmp(owner_sid, user_sid) == 0;
    if (!open_to_others && (own || system_own(owner_sid)))
        return ROOT_KEEP;
    return own ? ROOT_SET_LIST : ROOT_REFUSED;
}
