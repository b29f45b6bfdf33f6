// SHA-256 of a file's bytes, from the platform's own implementation: the
// CNG primitives (BCrypt) in the Windows build, libcrypto natively.
#pragma once

enum {
    DIGEST_HEX_SIZE = 65,  // 64 lowercase hexadecimal digits and the NUL
};

// Reads the file at path whole and writes its SHA-256 into hex as 64
// lowercase hexadecimal digits. 1, or 0 when the file cannot be read
// (hex is then "").
int digest_sha256_file(const char* path, char (&hex)[DIGEST_HEX_SIZE]);

// 1 when text is 64 lowercase hexadecimal digits and nothing else.
int digest_is_sha256(const char* text);
