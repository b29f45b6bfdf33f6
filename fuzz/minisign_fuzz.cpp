// The signature reader on the input's bytes: either a reason, with nothing
// read, or a signature that, written again as minisign writes it, reads back
// the same; checked against a fixed key it gives a verdict with its text.
// The same bytes as a public key line and a trusted comment.
#include "app/minisign.h"

#include <sodium.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

std::string base64(const unsigned char* bytes, size_t size)
{
    std::string out(sodium_base64_ENCODED_LEN(size, sodium_base64_VARIANT_ORIGINAL), '\0');
    sodium_bin2base64(out.data(), out.size(), bytes, size, sodium_base64_VARIANT_ORIGINAL);
    out.pop_back();
    return out;
}

std::string written(const MinisignSignature& s)
{
    unsigned char blob[2 + MINISIGN_ID_BYTES + MINISIGN_SIGNATURE_BYTES];
    memcpy(blob, s.prehashed ? "ED" : "Ed", 2);
    memcpy(blob + 2, s.key_id, MINISIGN_ID_BYTES);
    memcpy(blob + 2 + MINISIGN_ID_BYTES, s.signature, MINISIGN_SIGNATURE_BYTES);
    return "untrusted comment: x\n" + base64(blob, sizeof blob) + "\ntrusted comment: " +
           s.trusted_comment + "\n" + base64(s.global_signature, MINISIGN_SIGNATURE_BYTES) + "\n";
}

void check_signature(const char* text, size_t size)
{
    static MinisignSignature first, second;
    const char* why = minisign_signature_parse(text, size, &first);
    if (why) {
        static const MinisignSignature zero = {};
        if (!*why || memcmp(&first, &zero, sizeof first) != 0)
            abort();
        return;
    }
    if (strlen(first.trusted_comment) >= MINISIGN_COMMENT_SIZE || size > MINISIGN_FILE_MAX)
        abort();
    const std::string again = written(first);
    if (minisign_signature_parse(again.data(), again.size(), &second) != nullptr ||
        memcmp(&first, &second, sizeof first) != 0)
        abort();
}

void check_verdict(const char* text, size_t size)
{
    MinisignKey key;
    memset(&key, 0, sizeof key);
    memset(key.key, 0x42, sizeof key.key);
    MinisignCheck check;
    int verified = minisign_check(&key, text, size, text, size, &check);
    bool told = strncmp(check.message, "signature does not verify", 25) == 0 ||
                strncmp(check.message, "signed by key ", 14) == 0;
    if (verified != (check.verdict == MINISIGN_VERIFIED) || (!verified && !told) ||
        strlen(check.message) >= sizeof check.message)
        abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const char* text = reinterpret_cast<const char*>(data);
    check_signature(text, size);
    check_verdict(text, size);
    const std::string line(text, size);
    MinisignKey key;
    minisign_key_parse(line.c_str(), &key);
    int64_t seconds = 0;
    if (minisign_timestamp(line.c_str(), &seconds) && seconds < 0)
        abort();
    return 0;
}
