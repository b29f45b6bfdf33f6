// Signatures of minisign, the Ed25519 signing tool a publisher signs a
// release's descriptor with, read and checked here with libsodium alone.
//
// A public key is one base64 line (the second line of minisign's .pub
// file): "Ed", an 8-byte key id and the 32-byte key. A signature file has
// four lines:
//   untrusted comment: <anything>
//   <base64: "Ed" (the file signed as it is) or "ED" (its BLAKE2b-512
//    signed), the signer's key id, the 64-byte signature>
//   trusted comment: <text, "timestamp:<seconds>" among its tab-separated parts>
//   <base64: the 64-byte signature of the signature bytes and the text>
// Lines end in "\n" or "\r\n", the last one's end optional.
#pragma once

#include <cstddef>
#include <cstdint>

enum {
    MINISIGN_ID_BYTES = 8,
    MINISIGN_KEY_BYTES = 32,
    MINISIGN_SIGNATURE_BYTES = 64,
    // A key id as minisign shows it: up to 16 upper-case hexadecimal digits.
    MINISIGN_ID_TEXT_SIZE = 2 * MINISIGN_ID_BYTES + 1,
    // minisign's own bound of a trusted comment, terminator added.
    MINISIGN_COMMENT_SIZE = 8192 + 1,
    // A signature file larger than this is no signature file.
    MINISIGN_FILE_MAX = 16384,
    // A verdict's text, terminator included; every text fits.
    MINISIGN_MESSAGE_SIZE = 160,
};

struct MinisignKey {
    unsigned char id[MINISIGN_ID_BYTES];
    unsigned char key[MINISIGN_KEY_BYTES];
};

struct MinisignSignature {
    bool prehashed;  // "ED": the signature is of the file's BLAKE2b-512
    unsigned char key_id[MINISIGN_ID_BYTES];
    unsigned char signature[MINISIGN_SIGNATURE_BYTES];
    char trusted_comment[MINISIGN_COMMENT_SIZE];  // the text after "trusted comment: "
    unsigned char global_signature[MINISIGN_SIGNATURE_BYTES];
};

// Reads a public key line: its base64 text, blanks around it allowed.
// 1, or 0 when it is no "Ed" key of the right length.
int minisign_key_parse(const char* line, MinisignKey* out);

// The key id as minisign prints it (the 8 bytes as a little-endian
// number in upper-case hexadecimal, without leading zeros) into out.
void minisign_id_text(const unsigned char id[MINISIGN_ID_BYTES], char out[MINISIGN_ID_TEXT_SIZE]);

// Reads the length bytes of a signature file. Null and *out filled, or
// why it is no signature file (a text for the log).
const char* minisign_signature_parse(const char* text, size_t length, MinisignSignature* out);

// The seconds of the trusted comment's "timestamp:" part (at its start or
// after a tab, decimal digits only, up to the next tab or its end).
// 1, or 0 when it has none that reads.
int minisign_timestamp(const char* trusted_comment, int64_t* seconds);

// What minisign_check found.
enum MinisignVerdict {
    MINISIGN_VERIFIED,
    MINISIGN_MALFORMED,    // the signature file does not read
    MINISIGN_OTHER_KEY,    // signed by a key of another id
    MINISIGN_NOT_VERIFIED, // the file or the trusted comment was changed
};

struct MinisignCheck {
    MinisignVerdict verdict;
    // For the log: "signature does not verify" (with why for a malformed
    // file), "signed by key <id>, the application's key is <id>", or ""
    // when verified.
    char message[MINISIGN_MESSAGE_SIZE];
    char signer[MINISIGN_ID_TEXT_SIZE];  // the signature's key id, "" when malformed
    // The trusted comment's timestamp when verified and it has one, else 0.
    int64_t timestamp;
    bool has_timestamp;
};

// Checks the signature file signature (length bytes) of the size bytes at
// data against key: the signature of the data and that of the trusted
// comment must both verify. Returns 1 when verified, else 0, *out saying
// which.
int minisign_check(const MinisignKey* key, const char* signature, size_t length,
                   const void* data, size_t size, MinisignCheck* out);

// seconds as "YYYY-MM-DD hh:mm:ss UTC" into out (size bytes; 24 suffice
// for any year of four digits).
void minisign_time_text(int64_t seconds, char* out, size_t size);
