#include "app/publisher.h"

#include "app/site.h"
#include "base/fileutil.h"
#include "cache/cachefile.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

const char PUBLISHER_NOT_SIGNED[] = "Error, the nlp file is not signed by its publisher";

namespace {

const char not_signed[] = "not signed";

// The record: three lines, "identity <text>", "key <line>", "timestamp <seconds>".
bool parse_record(const std::string& text, const char* identity, PublisherPin* pin)
{
    const std::string head = std::string("identity ") + identity + "\nkey ";
    if (text.compare(0, head.size(), head) != 0)
        return false;
    size_t key_end = text.find('\n', head.size());
    if (key_end == std::string::npos || key_end - head.size() >= sizeof pin->key)
        return false;
    std::string key = text.substr(head.size(), key_end - head.size());
    MinisignKey parsed;
    if (!minisign_key_parse(key.c_str(), &parsed))
        return false;
    std::string rest = text.substr(key_end + 1);
    if (rest.compare(0, 10, "timestamp ") != 0 || rest.back() != '\n')
        return false;
    std::string digits = rest.substr(10, rest.size() - 11);
    if (digits.empty() || digits.size() > 18 ||
        digits.find_first_not_of("0123456789") != std::string::npos)
        return false;
    snprintf(pin->key, sizeof pin->key, "%s", key.c_str());
    pin->timestamp = strtoll(digits.c_str(), nullptr, 10);
    return true;
}

// The keys the administrator lists for identity's origin; lines that do
// not read are skipped.
std::vector<MinisignKey> admin_keys_for(const char* lines, const char* identity)
{
    std::vector<MinisignKey> keys;
    char origin[SITE_ORIGIN_SIZE];
    if (!lines || !site_origin(identity, origin, sizeof origin))
        return keys;
    for (const char* line = lines; *line; line += strlen(line) + 1) {
        char listed[SITE_ORIGIN_SIZE + 1] = "";
        char key_line[PUBLISHER_KEY_SIZE + 1] = "";
        char normal[SITE_ORIGIN_SIZE];
        MinisignKey key;
        if (sscanf(line, " %128s %57s", listed, key_line) == 2 &&
            site_origin(listed, normal, sizeof normal) && strcmp(normal, origin) == 0 &&
            minisign_key_parse(key_line, &key))
            keys.push_back(key);
    }
    return keys;
}

int refuse(PublisherVerdict* out, const char* reason)
{
    out->accepted = 0;
    snprintf(out->reason, sizeof out->reason, "%s", reason);
    return 0;
}

// Checks the signature against each candidate key: verified by one of
// them, or the check of the one whose id the signature names (else the
// first) for its message.
bool verified_by_one(const std::vector<MinisignKey>& keys, const PublisherRelease* release,
                     MinisignCheck* check)
{
    MinisignCheck first;
    for (size_t i = 0; i < keys.size(); i++) {
        if (minisign_check(&keys[i], release->signature, release->signature_length,
                           release->descriptor, release->descriptor_length, check))
            return true;
        if (i == 0)
            first = *check;
        if (check->verdict != MINISIGN_OTHER_KEY)
            return false;
    }
    *check = first;
    return false;
}

} // namespace

int publisher_pin_read(const char* path, const char* identity, PublisherPin* pin)
{
    memset(pin, 0, sizeof *pin);
    if (!cache_file_exists(path))
        return 0;
    int length = 0;
    char* text = read_whole_file(path, &length);
    if (!text)
        return -1;
    bool read = length <= PUBLISHER_RECORD_MAX &&
                parse_record(std::string(text, static_cast<size_t>(length)), identity, pin);
    free(text);
    if (!read)
        memset(pin, 0, sizeof *pin);
    return read ? 1 : -1;
}

int publisher_pin_write(const char* path, const char* identity, const PublisherPin* pin)
{
    MinisignKey key;
    if (strpbrk(identity, "\r\n") || !minisign_key_parse(pin->key, &key) || pin->timestamp < 0)
        return 0;
    std::string text = std::string("identity ") + identity + "\nkey " + pin->key +
                       "\ntimestamp " + std::to_string(pin->timestamp) + "\n";
    if (text.size() > PUBLISHER_RECORD_MAX)
        return 0;
    return cache_file_write_whole(path, text.data(), text.size());
}

int publisher_decide(const PublisherRelease* release, PublisherVerdict* out)
{
    memset(out, 0, sizeof *out);
    PublisherPin pin;
    int pinned = publisher_pin_read(release->record_path, release->identity, &pin);
    if (pinned < 0)
        return refuse(out, "the application's pinned key cannot be read");
    std::vector<MinisignKey> keys = admin_keys_for(release->admin_keys, release->identity);
    bool any_pinned = pinned == 1 || !keys.empty();
    if (!release->publickey) {
        if (any_pinned)
            return refuse(out, not_signed);
        out->accepted = 1;
        snprintf(out->reason, sizeof out->reason, "unsigned, no key pinned");
        return 1;
    }
    MinisignKey named;
    if (!minisign_key_parse(release->publickey, &named))
        return refuse(out, "signature does not verify: \"publickey\" is no minisign public key");
    if (!release->signature)
        return refuse(out, not_signed);
    // The administrator's keys, else the pinned one, else (the first
    // signed release) the one the release names.
    if (keys.empty()) {
        MinisignKey key = named;
        if (pinned == 1)
            minisign_key_parse(pin.key, &key);
        keys.push_back(key);
    }
    MinisignCheck check;
    if (!verified_by_one(keys, release, &check))
        return refuse(out, check.message);
    char signed_at[32];
    minisign_time_text(check.timestamp, signed_at, sizeof signed_at);
    if (pinned == 1 && check.timestamp < pin.timestamp) {
        char committed[32];
        minisign_time_text(pin.timestamp, committed, sizeof committed);
        snprintf(out->reason, sizeof out->reason, "signed at %s, older than the running release's %s",
                 signed_at, committed);
        return 0;
    }
    out->accepted = 1;
    out->signed_release = true;
    // The line as the descriptor has it, blanks around it left out.
    std::string line = release->publickey;
    line = line.substr(line.find_first_not_of(" \t\r\n"));
    line = line.substr(0, line.find_last_not_of(" \t\r\n") + 1);
    snprintf(out->pin.key, sizeof out->pin.key, "%s", line.c_str());
    out->pin.timestamp = check.timestamp;
    char named_id[MINISIGN_ID_TEXT_SIZE];
    minisign_id_text(named.id, named_id);
    snprintf(out->reason, sizeof out->reason, "signed by key %s at %s%s%s", check.signer, signed_at,
             strcmp(named_id, check.signer) != 0 ? ", naming the new key " : "",
             strcmp(named_id, check.signer) != 0 ? named_id : "");
    return 1;
}

int publisher_pin_commit(const char* record_path, const char* identity,
                         const PublisherVerdict* verdict)
{
    if (!verdict->accepted || !verdict->signed_release)
        return 1;
    return publisher_pin_write(record_path, identity, &verdict->pin);
}
