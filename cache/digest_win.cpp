// SHA-256 through BCrypt, read in blocks of the file.
#include "cache/digest.h"

#include "base/utf8.h"

#include <windows.h>
#include <bcrypt.h>

#include <cstdio>
#include <vector>

namespace {

enum { BLOCK = 1 << 16, SHA256_BYTES = 32 };

bool hash_file(BCRYPT_HASH_HANDLE hash, const char* path)
{
    HANDLE file = CreateFileW(utf8_widen(path).c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    std::vector<UCHAR> block(BLOCK);
    bool read = true;
    for (;;) {
        DWORD got = 0;
        read = ReadFile(file, block.data(), BLOCK, &got, nullptr) != 0;
        if (!read || got == 0)
            break;
        if (!BCRYPT_SUCCESS(BCryptHashData(hash, block.data(), got, 0))) {
            read = false;
            break;
        }
    }
    CloseHandle(file);
    return read;
}

} // namespace

int digest_sha256_file(const char* path, char (&hex)[DIGEST_HEX_SIZE])
{
    hex[0] = '\0';
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0)))
        return 0;
    BCRYPT_HASH_HANDLE hash = nullptr;
    UCHAR value[SHA256_BYTES];
    bool made = BCRYPT_SUCCESS(BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0)) &&
                hash_file(hash, path) &&
                BCRYPT_SUCCESS(BCryptFinishHash(hash, value, sizeof value, 0));
    if (hash)
        BCryptDestroyHash(hash);
    BCryptCloseAlgorithmProvider(algorithm, 0);
    if (!made)
        return 0;
    for (int i = 0; i < SHA256_BYTES; i++)
        snprintf(hex + 2 * i, 3, "%02x", value[i]);
    return 1;
}
