// The administrator's list from the machine's policy, the user's trusted
// sites and the question a link asks.
#include "app/site.h"

#include "base/log.h"
#include "install/install.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

static const char question_title[] = "Launch";

// An empty list: the policy is in force and allows nothing.
static void allow_nothing(SitePolicy* policy, const char* why)
{
    policy->allowed = static_cast<char*>(calloc(2, 1));
    log_line("site policy: %s %s; no site may start applications", site_policy_value, why);
}

// "UpdateCheck" = "timeout" (letter case aside) makes every launch ask first.
static bool update_check_first()
{
    char value[16] = "";
    DWORD size = sizeof value;
    bool first = RegGetValueA(HKEY_LOCAL_MACHINE, site_policy_key, site_policy_update_value,
                              RRF_RT_REG_SZ, nullptr, value, &size) == ERROR_SUCCESS &&
                 _stricmp(value, "timeout") == 0;
    if (first)
        log_line("site policy: %s is \"timeout\": every launch asks its server first",
                 site_policy_update_value);
    return first;
}

void site_policy_read(SitePolicy* policy)
{
    policy->allowed = nullptr;
    policy->check_first = update_check_first();
    DWORD type = REG_NONE;
    DWORD size = 0;
    LONG found = RegGetValueA(HKEY_LOCAL_MACHINE, site_policy_key, site_policy_value, RRF_RT_ANY,
                              &type, nullptr, &size);
    if (found == ERROR_FILE_NOT_FOUND || found == ERROR_PATH_NOT_FOUND)
        return;
    if (found != ERROR_SUCCESS)
        return allow_nothing(policy, "cannot be read");
    if (type != REG_MULTI_SZ)
        return allow_nothing(policy, "is not REG_MULTI_SZ");
    if (size > SITE_POLICY_MAX_BYTES)
        return allow_nothing(policy, "is larger than 1 MiB");
    // Room for the terminators RegGetValueA adds to a list stored without.
    DWORD room = size + 2;
    char* lines = static_cast<char*>(calloc(room, 1));
    if (!lines || RegGetValueA(HKEY_LOCAL_MACHINE, site_policy_key, site_policy_value,
                               RRF_RT_REG_MULTI_SZ, nullptr, lines, &room) != ERROR_SUCCESS) {
        free(lines);
        return allow_nothing(policy, "cannot be read");
    }
    policy->allowed = lines;
    int count = 0;
    for (const char* line = lines; *line; line += strlen(line) + 1)
        count++;
    log_line("site policy: %s lists %d line%s; only those sites may start applications",
             site_policy_value, count, count == 1 ? "" : "s");
}

// The origins the user trusted: one value each, named by the origin, in
// the launcher's settings.
static std::string trusted_key()
{
    return std::string(install_settings_key) + "\\TrustedSites";
}

static bool trusted(const char* origin)
{
    return RegGetValueA(HKEY_CURRENT_USER, trusted_key().c_str(), origin, RRF_RT_ANY, nullptr,
                        nullptr, nullptr) == ERROR_SUCCESS;
}

static void trust(const char* origin)
{
    HKEY key;
    LONG made = RegCreateKeyExA(HKEY_CURRENT_USER, trusted_key().c_str(), 0, nullptr,
                                REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, &key, nullptr);
    if (made == ERROR_SUCCESS) {
        made = RegSetValueExA(key, origin, 0, REG_SZ, reinterpret_cast<const BYTE*>(""), 1);
        RegCloseKey(key);
    }
    // Not remembered, the next link of the site asks again; this one goes on.
    if (made == ERROR_SUCCESS)
        log_line("link: %s is trusted from now on", origin);
    else
        log_line("link: %s not remembered as trusted (error %ld)", origin, made);
}

int site_admit_link(const SitePolicy* policy, const char* url, char* message, size_t size)
{
    char origin[SITE_ORIGIN_SIZE];
    site_origin(url, origin, sizeof origin);
    if (policy->allowed) {
        if (!site_check(policy, "link", url, message, size))
            return -1;
        log_line("link: %s is among the allowed sites", origin);
        return 1;
    }
    if (trusted(origin)) {
        log_line("link: %s is a trusted site", origin);
        return 1;
    }
    char question[SITE_ORIGIN_SIZE + 64];
    snprintf(question, sizeof question, "Do you want to start an application from %s?", origin);
    log_line("question: %s", question);
    // No is the default: a key pressed as the box opens must not trust a
    // site. The box comes to the front, before the browser that handed over
    // the link or file.
    if (MessageBoxA(nullptr, question, question_title,
                    MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2 | MB_SETFOREGROUND) != IDYES) {
        log_line("link: %s not trusted by the user; nothing fetched", origin);
        return 0;
    }
    trust(origin);
    return 1;
}
