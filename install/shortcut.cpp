#include "install/shortcut.h"

#include <cstring>
#include <strings.h>

// The names Windows keeps for devices: a file of such a name, with any
// extension, is the device.
static bool device_name(const char* name, size_t length)
{
    static const char* const devices[] = {"CON", "PRN", "AUX", "NUL"};
    while (length > 0 && name[length - 1] == ' ')
        length--;
    for (const char* device : devices) {
        if (length == 3 && strncasecmp(name, device, 3) == 0)
            return true;
    }
    return length == 4 && (strncasecmp(name, "COM", 3) == 0 || strncasecmp(name, "LPT", 3) == 0) &&
           name[3] >= '1' && name[3] <= '9';
}

int shortcut_file_name(const char* title, char* out, size_t size)
{
    std::string name;
    for (const char* c = title; *c; c++) {
        bool forbidden = static_cast<unsigned char>(*c) < 32 || strchr("<>:\"/\\|?*", *c);
        name += forbidden ? '_' : *c;
    }
    size_t stem = name.find('.');
    if (stem == std::string::npos)
        stem = name.size();
    if (device_name(name.c_str(), stem))
        name.insert(stem, "_");
    if (name.size() >= size)
        return 0;
    memcpy(out, name.c_str(), name.size() + 1);
    return 1;
}

static const char* const place_names[] = {"desktop", "menu"};
static const int place_bits[] = {SHORTCUT_DESKTOP, SHORTCUT_MENU};

static bool parse_places(const std::string& text, int* places)
{
    *places = 0;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find(' ', at);
        if (end == std::string::npos)
            end = text.size();
        std::string word = text.substr(at, end - at);
        int bit = 0;
        for (size_t i = 0; i < 2; i++)
            bit = word == place_names[i] ? place_bits[i] : bit;
        if (!bit)
            return false;
        *places |= bit;
        at = end + 1;
    }
    return true;
}

static std::string places_text(int places)
{
    std::string text;
    for (size_t i = 0; i < 2; i++) {
        if (places & place_bits[i])
            text += std::string(text.empty() ? "" : " ") + place_names[i];
    }
    return text;
}

std::vector<ShortcutEntry> shortcut_record_parse(const char* text)
{
    std::vector<ShortcutEntry> entries;
    for (const char* line = text; *line;) {
        size_t length = strcspn(line, "\n");
        std::string rest(line, length);
        if (!rest.empty() && rest.back() == '\r')
            rest.pop_back();
        line += length + (line[length] ? 1 : 0);
        std::vector<std::string> fields;
        for (size_t at = 0;;) {
            size_t tab = rest.find('\t', at);
            fields.push_back(rest.substr(at, tab == std::string::npos ? tab : tab - at));
            if (tab == std::string::npos)
                break;
            at = tab + 1;
        }
        ShortcutEntry entry;
        if (fields.size() < 4 || fields[0].empty() || !parse_places(fields[3], &entry.places))
            continue;
        entry.descriptor = fields[0];
        entry.title = fields[1];
        entry.icon = fields[2];
        entry.links.assign(fields.begin() + 4, fields.end());
        entries.push_back(entry);
    }
    return entries;
}

static bool add_field(const std::string& field, bool first, std::string* text)
{
    if (field.find_first_of("\t\r\n") != std::string::npos)
        return false;
    *text += (first ? "" : "\t") + field;
    return true;
}

bool shortcut_record_format(const std::vector<ShortcutEntry>& entries, std::string* out)
{
    std::string text;
    for (const ShortcutEntry& entry : entries) {
        bool fits = add_field(entry.descriptor, true, &text) &&
                    add_field(entry.title, false, &text) && add_field(entry.icon, false, &text) &&
                    add_field(places_text(entry.places), false, &text);
        for (const std::string& link : entry.links)
            fits = fits && add_field(link, false, &text);
        if (!fits)
            return false;
        text += "\r\n";
    }
    *out = text;
    return true;
}
