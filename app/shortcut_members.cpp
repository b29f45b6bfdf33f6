#include "app/shortcut_members.h"

#include "base/fileutil.h"
#include "base/utf8.h"
#include "cache/stored_name.h"
#include "install/shortcut.h"
#include "net/ascii.h"

#include <cstdio>
#include <cstring>

int shortcut_members_icon(const Descriptor* descriptor, char* url, size_t size,
                          const char** name, const char** problem)
{
    const cJSON* icon = descriptor->icon;
    if (!icon)
        return 0;
    *problem = "\"icon\" is no text";
    if (!cJSON_IsString(icon))
        return -1;
    *problem = "\"icon\" is an absolute URL but no http:// or https:// one";
    if (is_url(icon->valuestring) && !launch_is_descriptor_url(icon->valuestring))
        return -1;
    *problem = "\"icon\" gives a URL too long";
    if (!launch_component_url(descriptor->codebase, icon->valuestring, url, size))
        return -1;
    *problem = "\"icon\" names no .ico file that can be stored";
    *name = stored_name_of(url);
    size_t length = *name ? strlen(*name) : 0;
    if (!*name || !stored_name_acceptable(*name) || length <= 4 ||
        !ascii_equal(*name + length - 4, ".ico"))
        return -1;
    return 1;
}

// The title, when it is a text a shortcut can carry; else the problem.
static const char* read_title(const cJSON* title)
{
    if (!cJSON_IsString(title))
        return "\"title\" is no text";
    const char* text = title->valuestring;
    if (!*text)
        return "\"title\" is empty";
    if (!utf8_valid(text))
        return "\"title\" is no UTF-8 text";
    if (utf8_length(text) > SHORTCUT_TITLE_MAX)
        return "\"title\" is longer than 120 characters";
    for (const char* c = text; *c; c++) {
        if (static_cast<unsigned char>(*c) < 32)
            return "\"title\" holds a control character";
    }
    return nullptr;
}

static const char* read_places(const cJSON* shortcut, int* places)
{
    static const char problem[] = "\"shortcut\" is no array of \"desktop\" and \"menu\"";
    *places = 0;
    if (!cJSON_IsArray(shortcut))
        return problem;
    for (const cJSON* item = shortcut->child; item; item = item->next) {
        const char* place = cJSON_IsString(item) ? item->valuestring : "";
        int bit = strcmp(place, "desktop") == 0 ? SHORTCUT_DESKTOP
                  : strcmp(place, "menu") == 0  ? SHORTCUT_MENU
                                                : 0;
        if (!bit)
            return problem;
        *places |= bit;
    }
    return nullptr;
}

const char* shortcut_members_read(const Descriptor* descriptor, const char* site_cache_folder,
                                  ShortcutMembers* out)
{
    memset(out, 0, sizeof *out);
    const char* problem = nullptr;
    if (descriptor->title && (problem = read_title(descriptor->title)))
        return problem;
    int places = 0;
    if (descriptor->shortcut && (problem = read_places(descriptor->shortcut, &places)))
        return problem;
    const char* name = nullptr;
    int icon = shortcut_members_icon(descriptor, out->icon_url, sizeof out->icon_url, &name,
                                     &problem);
    if (icon < 0)
        return problem;
    if (icon > 0) {
        int needed = snprintf(out->icon_path, sizeof out->icon_path, "%s%s", site_cache_folder,
                              name);
        if (needed < 0 || static_cast<size_t>(needed) >= sizeof out->icon_path) {
            out->icon_url[0] = '\0';
            out->icon_path[0] = '\0';
            return "\"icon\" gives a path too long for the site cache folder";
        }
    }
    out->valid = true;
    out->title = descriptor->title ? descriptor->title->valuestring : nullptr;
    out->places = out->title ? places : 0;
    return nullptr;
}
