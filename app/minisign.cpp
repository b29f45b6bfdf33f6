#include "app/minisign.h"

#include <sodium.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

const char untrusted_prefix[] = "untrusted comment: ";
const char trusted_prefix[] = "trusted comment: ";
const char not_verified[] = "signature does not verify";

// "Ed" and the key, "Ed"/"ED", the id and the signature, as decoded.
enum { KEY_BLOB = 2 + MINISIGN_ID_BYTES + MINISIGN_KEY_BYTES,
       SIGNATURE_BLOB = 2 + MINISIGN_ID_BYTES + MINISIGN_SIGNATURE_BYTES };

// Decodes the whole of text (standard base64 with padding, nothing else)
// into exactly bytes bytes.
bool decode_exact(const std::string& text, unsigned char* out, size_t bytes)
{
    size_t decoded = 0;
    return sodium_base642bin(out, bytes, text.data(), text.size(), nullptr, &decoded, nullptr,
                             sodium_base64_VARIANT_ORIGINAL) == 0 &&
           decoded == bytes;
}

// Splits the file into its lines, without their ends; false when a line
// holds a NUL (minisign's reading ends a line there, so the bytes it signed
// would not be these).
bool split_lines(const char* text, size_t length, std::string lines[], int most, int* count)
{
    *count = 0;
    size_t at = 0;
    while (at < length) {
        const char* end = static_cast<const char*>(memchr(text + at, '\n', length - at));
        size_t stop = end ? static_cast<size_t>(end - text) : length;
        if (*count == most)
            return false;
        std::string line(text + at, stop - at);
        // minisign itself takes every CR off a line's end.
        while (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.find('\0') != std::string::npos)
            return false;
        lines[(*count)++] = line;
        at = stop + 1;
    }
    return true;
}

bool starts_with(const std::string& text, const char* prefix)
{
    return text.compare(0, strlen(prefix), prefix) == 0;
}

void set_message(MinisignCheck* out, MinisignVerdict verdict, const char* message)
{
    out->verdict = verdict;
    snprintf(out->message, sizeof out->message, "%s", message);
}

} // namespace

int minisign_key_parse(const char* line, MinisignKey* out)
{
    memset(out, 0, sizeof *out);
    std::string text = line;
    size_t first = text.find_first_not_of(" \t\r\n");
    size_t last = text.find_last_not_of(" \t\r\n");
    text = first == std::string::npos ? "" : text.substr(first, last - first + 1);
    unsigned char blob[KEY_BLOB];
    if (!decode_exact(text, blob, sizeof blob) || memcmp(blob, "Ed", 2) != 0)
        return 0;
    memcpy(out->id, blob + 2, sizeof out->id);
    memcpy(out->key, blob + 2 + sizeof out->id, sizeof out->key);
    return 1;
}

void minisign_id_text(const unsigned char id[MINISIGN_ID_BYTES], char out[MINISIGN_ID_TEXT_SIZE])
{
    uint64_t number = 0;
    for (int i = MINISIGN_ID_BYTES - 1; i >= 0; i--)
        number = number << 8 | id[i];
    snprintf(out, MINISIGN_ID_TEXT_SIZE, "%llX", static_cast<unsigned long long>(number));
}

const char* minisign_signature_parse(const char* text, size_t length, MinisignSignature* out)
{
    memset(out, 0, sizeof *out);
    if (length > MINISIGN_FILE_MAX)
        return "the signature file is larger than 16 KiB";
    std::string lines[4];
    int count = 0;
    if (!split_lines(text, length, lines, 4, &count))
        return "the signature file holds more than four lines or a NUL byte";
    if (count < 4)
        return "the signature file is cut short";
    if (!starts_with(lines[0], untrusted_prefix))
        return "the first line is no untrusted comment";
    unsigned char blob[SIGNATURE_BLOB];
    if (!decode_exact(lines[1], blob, sizeof blob))
        return "the second line is no base64 signature";
    if (memcmp(blob, "Ed", 2) != 0 && memcmp(blob, "ED", 2) != 0)
        return "the signature is of an unknown algorithm";
    if (!starts_with(lines[2], trusted_prefix))
        return "the third line is no trusted comment";
    std::string comment = lines[2].substr(sizeof trusted_prefix - 1);
    if (comment.size() >= sizeof out->trusted_comment)
        return "the trusted comment is longer than 8192 bytes";
    // Decoded aside: a failed decoding may have written part of it.
    unsigned char global[MINISIGN_SIGNATURE_BYTES];
    if (!decode_exact(lines[3], global, sizeof global))
        return "the fourth line is no base64 signature";
    memcpy(out->global_signature, global, sizeof global);
    out->prehashed = blob[1] == 'D';
    memcpy(out->key_id, blob + 2, sizeof out->key_id);
    memcpy(out->signature, blob + 2 + sizeof out->key_id, sizeof out->signature);
    memcpy(out->trusted_comment, comment.data(), comment.size());
    return nullptr;
}

int minisign_timestamp(const char* trusted_comment, int64_t* seconds)
{
    static const char name[] = "timestamp:";
    *seconds = 0;
    for (const char* part = trusted_comment; part; part = strchr(part, '\t')) {
        if (*part == '\t')
            part++;
        if (strncmp(part, name, sizeof name - 1) != 0)
            continue;
        const char* digit = part + sizeof name - 1;
        int64_t value = 0;
        for (; *digit >= '0' && *digit <= '9'; digit++) {
            if (value > (INT64_MAX - (*digit - '0')) / 10)
                return 0;
            value = value * 10 + (*digit - '0');
        }
        if (digit == part + sizeof name - 1 || (*digit && *digit != '\t'))
            return 0;
        *seconds = value;
        return 1;
    }
    return 0;
}

int minisign_check(const MinisignKey* key, const char* signature, size_t length,
                   const void* data, size_t size, MinisignCheck* out)
{
    memset(out, 0, sizeof *out);
    MinisignSignature parsed;
    const char* malformed = minisign_signature_parse(signature, length, &parsed);
    if (malformed) {
        snprintf(out->message, sizeof out->message, "%s: %s", not_verified, malformed);
        out->verdict = MINISIGN_MALFORMED;
        return 0;
    }
    minisign_id_text(parsed.key_id, out->signer);
    if (memcmp(parsed.key_id, key->id, sizeof key->id) != 0) {
        char wanted[MINISIGN_ID_TEXT_SIZE];
        minisign_id_text(key->id, wanted);
        snprintf(out->message, sizeof out->message, "signed by key %s, the application's key is %s",
                 out->signer, wanted);
        out->verdict = MINISIGN_OTHER_KEY;
        return 0;
    }
    if (sodium_init() < 0) {
        set_message(out, MINISIGN_NOT_VERIFIED, "signature does not verify: libsodium does not start");
        return 0;
    }
    const unsigned char* signed_bytes = static_cast<const unsigned char*>(data);
    unsigned char hash[crypto_generichash_BYTES_MAX];
    size_t signed_size = size;
    if (parsed.prehashed) {
        crypto_generichash(hash, sizeof hash, signed_bytes, size, nullptr, 0);
        signed_bytes = hash;
        signed_size = sizeof hash;
    }
    // The global signature covers the file's signature and the comment.
    std::string global(reinterpret_cast<const char*>(parsed.signature), sizeof parsed.signature);
    global += parsed.trusted_comment;
    if (crypto_sign_verify_detached(parsed.signature, signed_bytes, signed_size, key->key) != 0 ||
        crypto_sign_verify_detached(parsed.global_signature,
                                    reinterpret_cast<const unsigned char*>(global.data()),
                                    global.size(), key->key) != 0) {
        set_message(out, MINISIGN_NOT_VERIFIED, not_verified);
        return 0;
    }
    out->verdict = MINISIGN_VERIFIED;
    out->has_timestamp = minisign_timestamp(parsed.trusted_comment, &out->timestamp) == 1;
    return 1;
}

void minisign_time_text(int64_t seconds, char* out, size_t size)
{
    // Days since 1970-01-01 to a civil date, proleptic Gregorian.
    int64_t days = seconds / 86400;
    int64_t rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        days--;
    }
    int64_t z = days + 719468;
    int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    int64_t doe = z - era * 146097;
    int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    int64_t mp = (5 * doy + 2) / 153;
    int64_t day = doy - (153 * mp + 2) / 5 + 1;
    int64_t month = mp < 10 ? mp + 3 : mp - 9;
    int64_t year = yoe + era * 400 + (month <= 2);
    snprintf(out, size, "%04lld-%02lld-%02lld %02lld:%02lld:%02lld UTC",
             static_cast<long long>(year), static_cast<long long>(month),
             static_cast<long long>(day), static_cast<long long>(rest / 3600),
             static_cast<long long>(rest / 60 % 60), static_cast<long long>(rest % 60));
}
