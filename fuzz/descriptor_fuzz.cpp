// The descriptor reader on a file holding the input's bytes: either one of
// its messages with nothing to release, or members whose texts all exist
// and pins that are all digests; its shortcut members either refused or a
// title, places and an icon path a shortcut can take. The same bytes as a
// site's digest record: what is recorded and written reads back the same.
#include "app/descriptor.h"
#include "app/shortcut_members.h"
#include "base/utf8.h"
#include "cache/digest_record.h"
#include "fuzz/fuzz_files.h"
#include "install/shortcut.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

bool is_message(const char* message)
{
    for (const char* known : {DESCRIPTOR_ERROR_LOADING, DESCRIPTOR_ERROR_PARSING,
                              DESCRIPTOR_ERROR_CODEBASE, DESCRIPTOR_ERROR_RESOURCES,
                              DESCRIPTOR_ERROR_MAINCLASS, DESCRIPTOR_ERROR_MAINCLASS_INVALID,
                              DESCRIPTOR_ERROR_SHA256, DESCRIPTOR_ERROR_JRE,
                              DESCRIPTOR_ERROR_LAUNCHER, DESCRIPTOR_ERROR_UPDATE}) {
        if (message == known)
            return true;
    }
    return false;
}

bool all_zero(const Descriptor& d)
{
    static const Descriptor zero = {};
    return memcmp(&d, &zero, sizeof d) == 0;
}

// A member text is the string of a member of the document's top level.
bool is_member_text(const Descriptor& d, const char* text)
{
    for (const cJSON* item = d.document->child; item; item = item->next) {
        if (cJSON_IsString(item) && item->valuestring == text)
            return true;
    }
    return false;
}

void check_loaded(const Descriptor& d)
{
    if (!d.document || !cJSON_IsObject(d.document) || !d.codebase || !d.mainclass ||
        !d.arguments || !d.resources || !cJSON_IsArray(d.resources))
        abort();
    if (!is_member_text(d, d.codebase) || !is_member_text(d, d.mainclass) ||
        (*d.arguments && !is_member_text(d, d.arguments)) ||
        (d.jre && !is_member_text(d, d.jre)) || (d.launcher && !is_member_text(d, d.launcher)) ||
        (d.href && !is_member_text(d, d.href)) || (d.vmargs && !is_member_text(d, d.vmargs)) ||
        (d.publickey && !is_member_text(d, d.publickey)))
        abort();
    int count = cJSON_GetArraySize(d.resources);
    for (int i = 0; i < count; i++) {
        const char* item = descriptor_resource(&d, i);
        if (!item)
            abort();
        (void)strlen(item);
    }
    if (descriptor_resource(&d, count) != nullptr)
        abort();
    if (!d.sha256)
        return;
    if (!cJSON_IsObject(d.sha256) || cJSON_GetObjectItem(d.document, "sha256") != d.sha256)
        abort();
    for (const cJSON* pin = d.sha256->child; pin; pin = pin->next) {
        const char* found = pin->string ? descriptor_sha256(&d, pin->string) : nullptr;
        if (!cJSON_IsString(pin) || !digest_is_sha256(pin->valuestring) || !found ||
            !digest_is_sha256(found))
            abort();
    }
}

// The bytes as a record, with one file recorded over them: written and read
// again, the recorded digest serves and the record writes the same text.
void check_record(const uint8_t* data, size_t size)
{
    const std::string folder = fuzz_scratch();
    const char recorded[] = "0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef";
    fuzz_write(folder + "a.jar", "abc", 3);
    DigestRecord* record = digest_record_parse(reinterpret_cast<const char*>(data), size);
    digest_record_set(record, folder.c_str(), "a.jar", recorded);
    std::string first, second;
    if (!digest_record_save(record, (folder + "digests").c_str()) ||
        !fuzz_read(folder + "digests", &first))
        abort();
    digest_record_free(record);
    record = digest_record_load((folder + "digests").c_str());
    char hex[DIGEST_HEX_SIZE];
    if (!digest_record_file(record, folder.c_str(), "a.jar", hex) || strcmp(hex, recorded) != 0)
        abort();
    digest_record_set(record, folder.c_str(), "a.jar", recorded);
    if (!digest_record_save(record, (folder + "again").c_str()) ||
        !fuzz_read(folder + "again", &second) || first != second)
        abort();
    digest_record_free(record);
}

void check_shortcut_members(const Descriptor& d)
{
    static const char site[] = "C:\\quorvel\\launcher\\cache\\site\\";
    ShortcutMembers members;
    const char* problem = shortcut_members_read(&d, site, &members);
    if (problem) {
        if (members.valid || !*problem)
            abort();
        return;
    }
    if (!members.valid || (members.places & ~(SHORTCUT_DESKTOP | SHORTCUT_MENU)) ||
        (members.places && !members.title) || (!members.icon_url[0] != !members.icon_path[0]) ||
        (members.icon_path[0] && strncmp(members.icon_path, site, sizeof site - 1) != 0))
        abort();
    if (!members.title)
        return;
    if (!is_member_text(d, members.title) || !utf8_valid(members.title) ||
        utf8_length(members.title) > SHORTCUT_TITLE_MAX)
        abort();
    char name[4 * SHORTCUT_TITLE_MAX + 2];
    if (!shortcut_file_name(members.title, name, sizeof name) || !*name)
        abort();
    for (const char* c = name; *c; c++) {
        if (static_cast<unsigned char>(*c) < 32 || strchr("<>:\"/\\|?*", *c))
            abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    check_record(data, size);
    const std::string path = fuzz_scratch() + "app.nlp";
    fuzz_write(path, data, size);
    Descriptor d;
    memset(&d, 0x5a, sizeof d);
    const char* message = descriptor_load(path.c_str(), &d);
    if (message) {
        if (!is_message(message) || !all_zero(d))
            abort();
        return 0;
    }
    check_loaded(d);
    check_shortcut_members(d);
    descriptor_free(&d);
    if (!all_zero(d))
        abort();
    descriptor_free(&d);
    return 0;
}
