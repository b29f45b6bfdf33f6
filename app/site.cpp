#include "app/site.h"

#include "app/java_command.h"
#include "app/launch.h"
#include "base/log.h"
#include "net/ascii.h"
#include "net/origin.h"
#include "net/url.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

int site_is_link(const char* text)
{
    return ascii_starts_with(text, "nlp://") || ascii_starts_with(text, "nlps://");
}

int site_link_url(const char* link, char* out, size_t size)
{
    if (size > 0)
        out[0] = '\0';
    if (!site_is_link(link))
        return 0;
    bool secure = ascii_starts_with(link, "nlps://");
    const char* rest = link + (secure ? strlen("nlps://") : strlen("nlp://"));
    int needed = snprintf(out, size, "%s://%s", secure ? "https" : "http", rest);
    if (needed < 0 || static_cast<size_t>(needed) >= size) {
        if (size > 0)
            out[0] = '\0';
        return -1;
    }
    char origin[SITE_ORIGIN_SIZE];
    if (origin_text(out, origin, sizeof origin))
        return 1;
    out[0] = '\0';
    return 0;
}

int site_origin(const char* url, char* out, size_t size)
{
    return origin_text(url, out, size);
}

int site_allowed(const SitePolicy* policy, const char* url)
{
    return origin_listed(policy->allowed, url);
}

int site_check(const SitePolicy* policy, const char* member, const char* url, char* message,
               size_t size)
{
    if (site_allowed(policy, url))
        return 1;
    char shown[LAUNCH_URL_SIZE];
    url_strip_credentials(url, shown, sizeof shown);
    char origin[SITE_ORIGIN_SIZE];
    const char* named = site_origin(url, origin, sizeof origin) ? origin : shown;
    snprintf(message, size, "Your administrator does not allow applications from %s", named);
    log_line("site policy: the %s %s is of %s, which is not among the allowed sites", member,
             shown, named);
    return 0;
}

int site_check_descriptor(const SitePolicy* policy, const Descriptor* descriptor, char* message,
                          size_t size)
{
    if (!policy->allowed)
        return 1;
    if (!site_check(policy, "codebase", descriptor->codebase, message, size) ||
        (descriptor->href && !site_check(policy, "href", descriptor->href, message, size)))
        return 0;
    char url[LAUNCH_URL_SIZE];
    // A code base without a final "/" lets a resource's text reach another
    // host: each URL is checked as it will be asked for.
    for (int i = 0; const char* item = descriptor_resource(descriptor, i); i++) {
        if (launch_resource_url(descriptor->codebase, item, url, sizeof url) &&
            !site_check(policy, "resources", url, message, size))
            return 0;
    }
    const struct {
        const char* member;
        const char* text;
    } components[] = {{"jre", descriptor->jre}, {"launcher", descriptor->launcher}};
    for (const auto& component : components) {
        if (component.text &&
            launch_component_url(descriptor->codebase, component.text, url, sizeof url) &&
            !site_check(policy, component.member, url, message, size))
            return 0;
    }
    char options[LAUNCH_COMMAND_SIZE];
    return !descriptor->vmargs ||
           site_java_options(policy, descriptor->vmargs, options, sizeof options, message, size);
}

int site_java_options(const SitePolicy* policy, const char* vmargs, char* out, size_t size,
                      char* message, size_t message_size)
{
    if (!policy->allowed) {
        if (snprintf(out, size, "%s", vmargs) < static_cast<int>(size))
            return 1;
        snprintf(message, message_size, "Error, command line too long");
        return 0;
    }
    char refused[JAVA_OPTION_SIZE];
    if (java_command_check_vmargs(vmargs, out, size, refused, sizeof refused))
        return 1;
    if (!refused[0]) {
        snprintf(message, message_size, "Error, command line too long");
        return 0;
    }
    snprintf(message, message_size, "Your administrator does not allow the Java option %s",
             refused);
    log_line("site policy: the vmargs option %s is not among those allowed under the list",
             refused);
    return 0;
}

void site_policy_free(SitePolicy* policy)
{
    free(policy->allowed);
    policy->allowed = nullptr;
}
