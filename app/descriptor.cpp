#include "app/descriptor.h"

#include "app/java_command.h"
#include "base/fileutil.h"
#include "base/utf8.h"
#include "cache/digest.h"
#include "cache/stored_name.h"
#include "net/ascii.h"
#include "runtime/java_version.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

const char DESCRIPTOR_ERROR_LOADING[] = "Error loading nlp file";
const char DESCRIPTOR_ERROR_PARSING[] = "Error parsing nlp file";
const char DESCRIPTOR_ERROR_CODEBASE[] = "Error, \"codebase\" not found in nlp file";
const char DESCRIPTOR_ERROR_RESOURCES[] = "Error, \"resources\" not found in nlp file";
const char DESCRIPTOR_ERROR_MAINCLASS[] = "Error, \"mainclass\" not found in nlp file";
const char DESCRIPTOR_ERROR_MAINCLASS_INVALID[] = "Error, \"mainclass\" is not valid in nlp file";
const char DESCRIPTOR_ERROR_JRE[] = "Error, \"jre\" is not valid in nlp file";
const char DESCRIPTOR_ERROR_LAUNCHER[] = "Error, \"launcher\" is not valid in nlp file";
const char DESCRIPTOR_ERROR_SHA256[] = "Error, \"sha256\" is not valid in nlp file";
const char DESCRIPTOR_ERROR_UPDATE[] = "Error, \"update\" is not valid in nlp file";
const char DESCRIPTOR_TOO_LARGE[] = "larger than 1 MiB";

// cJSON skips a UTF-8 byte-order mark by itself; a descriptor is plain text
// without one, so one is refused as not JSON.
static bool starts_with_bom(const char* text)
{
    return strncmp(text, "\xEF\xBB\xBF", 3) == 0;
}

static cJSON* parse_text(char* text)
{
    if (!utf8_valid(text)) {
        char* converted = utf8_from_system_code_page(text);
        free(text);
        text = converted;
        if (!text)
            return nullptr;
    }
    cJSON* document = starts_with_bom(text) ? nullptr : cJSON_Parse(text);
    free(text);
    return document;
}

static bool all_items_are_strings(const cJSON* array)
{
    for (const cJSON* item = array->child; item; item = item->next) {
        if (!cJSON_IsString(item))
            return false;
    }
    return true;
}

// An optional string member: stores its text (or null when absent) and says
// whether the member was absent or a string.
static bool optional_text(const cJSON* document, const char* name, const char** text)
{
    const cJSON* member = cJSON_GetObjectItem(document, name);
    *text = nullptr;
    if (!member)
        return true;
    if (!cJSON_IsString(member))
        return false;
    *text = member->valuestring;
    return true;
}

// "sha256": absent, or an object whose every member is a digest.
static bool valid_pins(const cJSON* pins)
{
    if (!pins)
        return true;
    if (!cJSON_IsObject(pins))
        return false;
    for (const cJSON* pin = pins->child; pin; pin = pin->next) {
        if (!cJSON_IsString(pin) || !digest_is_sha256(pin->valuestring))
            return false;
    }
    return true;
}

// A component build's member: absent, or naming a file (the text after its
// last "/") that the download stores as it is and that ends in extension.
static bool valid_component(const char* member, const char* extension)
{
    if (!member)
        return true;
    const char* slash = strrchr(member, '/');
    const char* name = slash ? slash + 1 : member;
    size_t length = strlen(name);
    size_t extension_length = strlen(extension);
    return stored_name_acceptable(name) && length > extension_length &&
           ascii_equal(name + length - extension_length, extension);
}

// The file a URL's download stores is pinned; a URL naming no file needs none.
static bool url_pinned(const Descriptor* d, const std::string& url)
{
    const char* name = stored_name_of(url.c_str());
    return !name || descriptor_sha256(d, name) != nullptr;
}

// A signed release is authenticated whole: every file it names is pinned.
static bool pins_whole(const Descriptor* d)
{
    for (const cJSON* item = d->resources->child; item; item = item->next) {
        if (!url_pinned(d, std::string(d->codebase) + item->valuestring))
            return false;
    }
    for (const char* member : {d->jre, d->launcher}) {
        if (member && !url_pinned(d, is_url(member) ? member : std::string(d->codebase) + member))
            return false;
    }
    return true;
}

static const char* look_up_members(cJSON* document, Descriptor* out)
{
    const cJSON* codebase = cJSON_GetObjectItem(document, "codebase");
    if (!codebase)
        return DESCRIPTOR_ERROR_CODEBASE;
    if (!cJSON_IsString(codebase))
        return DESCRIPTOR_ERROR_PARSING;
    const cJSON* resources = cJSON_GetObjectItem(document, "resources");
    if (!resources)
        return DESCRIPTOR_ERROR_RESOURCES;
    if (!cJSON_IsArray(resources) || !all_items_are_strings(resources))
        return DESCRIPTOR_ERROR_PARSING;
    const cJSON* mainclass = cJSON_GetObjectItem(document, "mainclass");
    if (!mainclass)
        return DESCRIPTOR_ERROR_MAINCLASS;
    if (!cJSON_IsString(mainclass))
        return DESCRIPTOR_ERROR_PARSING;

    const char* arguments = nullptr;
    if (!optional_text(document, "arguments", &arguments) ||
        !optional_text(document, "jre", &out->jre) ||
        !optional_text(document, "launcher", &out->launcher) ||
        !optional_text(document, "href", &out->href) ||
        !optional_text(document, "vmargs", &out->vmargs) ||
        !optional_text(document, "publickey", &out->publickey))
        return DESCRIPTOR_ERROR_PARSING;
    // The class name is one piece of Java's command line: nothing else.
    if (!java_command_class_valid(mainclass->valuestring))
        return DESCRIPTOR_ERROR_MAINCLASS_INVALID;
    if (!valid_component(out->jre, ".zip"))
        return DESCRIPTOR_ERROR_JRE;
    if (!valid_component(out->launcher, ".exe"))
        return DESCRIPTOR_ERROR_LAUNCHER;

    // A runtime whose name carries no version could never be found current.
    JavaVersion version;
    if (out->jre && !java_version_of_archive(out->jre, &version, nullptr, 0))
        return DESCRIPTOR_ERROR_JRE;

    const cJSON* pins = cJSON_GetObjectItem(document, "sha256");
    if (!valid_pins(pins))
        return DESCRIPTOR_ERROR_SHA256;
    const char* update = nullptr;
    if (!optional_text(document, "update", &update) ||
        (update && strcmp(update, "background") != 0 && strcmp(update, "timeout") != 0))
        return DESCRIPTOR_ERROR_UPDATE;
    out->background = update && strcmp(update, "background") == 0;

    out->sha256 = pins;
    out->codebase = codebase->valuestring;
    out->resources = resources;
    out->mainclass = mainclass->valuestring;
    out->arguments = arguments ? arguments : "";
    out->title = cJSON_GetObjectItem(document, "title");
    out->icon = cJSON_GetObjectItem(document, "icon");
    out->shortcut = cJSON_GetObjectItem(document, "shortcut");
    if (out->publickey && !pins_whole(out))
        return DESCRIPTOR_ERROR_SHA256;
    return nullptr;
}

// Parses text (freed here) and looks up its members into out.
static const char* load_text(char* text, Descriptor* out)
{
    cJSON* document = parse_text(text);
    if (!document)
        return DESCRIPTOR_ERROR_PARSING;
    const char* message = look_up_members(document, out);
    if (message) {
        cJSON_Delete(document);
        memset(out, 0, sizeof *out);
        return message;
    }
    out->document = document;
    return nullptr;
}

const char* descriptor_load(const char* path, Descriptor* out)
{
    memset(out, 0, sizeof *out);
    int length = 0;
    char* text = read_whole_file(path, &length);
    if (!text)
        return DESCRIPTOR_ERROR_LOADING;
    return load_text(text, out);
}

const char* descriptor_parse(const char* text, size_t length, Descriptor* out)
{
    memset(out, 0, sizeof *out);
    char* copy = static_cast<char*>(malloc(length + 1));
    if (!copy)
        return DESCRIPTOR_ERROR_LOADING;
    memcpy(copy, text, length);
    copy[length] = '\0';
    return load_text(copy, out);
}

// The whole file at path when it holds at most DESCRIPTOR_FETCHED_MAX bytes,
// followed by a NUL; null otherwise, with *too_large saying why.
static char* read_fetched(const char* path, bool* too_large)
{
    *too_large = false;
    FILE* file = file_open(path, "rb");
    if (!file)
        return nullptr;
    // One byte more than allowed tells a file that is too large.
    char* text = static_cast<char*>(malloc(DESCRIPTOR_FETCHED_MAX + 2));
    size_t length = text ? fread(text, 1, DESCRIPTOR_FETCHED_MAX + 1, file) : 0;
    bool failed = !text || ferror(file);
    fclose(file);
    *too_large = length > DESCRIPTOR_FETCHED_MAX;
    if (failed || *too_large) {
        free(text);
        return nullptr;
    }
    text[length] = '\0';
    return text;
}

const char* descriptor_load_fetched(const char* path, Descriptor* out)
{
    memset(out, 0, sizeof *out);
    bool too_large = false;
    char* text = read_fetched(path, &too_large);
    if (!text)
        return too_large ? DESCRIPTOR_TOO_LARGE : DESCRIPTOR_ERROR_LOADING;
    return load_text(text, out);
}

const char* descriptor_resource(const Descriptor* descriptor, int index)
{
    const cJSON* item = cJSON_GetArrayItem(descriptor->resources, index);
    return item ? item->valuestring : nullptr;
}

const char* descriptor_sha256(const Descriptor* descriptor, const char* name)
{
    const cJSON* pin = descriptor->sha256 ? cJSON_GetObjectItem(descriptor->sha256, name) : nullptr;
    return pin ? pin->valuestring : nullptr;
}

void descriptor_free(Descriptor* descriptor)
{
    cJSON_Delete(descriptor->document);
    memset(descriptor, 0, sizeof *descriptor);
}
