// SHA-256 through libcrypto's message digest interface.
#include "cache/digest.h"

#include <openssl/evp.h>

#include <cstdio>
#include <vector>

int digest_sha256_file(const char* path, char (&hex)[DIGEST_HEX_SIZE])
{
    hex[0] = '\0';
    FILE* file = fopen(path, "rb");
    if (!file)
        return 0;
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    bool made = context && EVP_DigestInit_ex(context, EVP_sha256(), nullptr) == 1;
    std::vector<unsigned char> block(1 << 16);
    for (size_t got; made && (got = fread(block.data(), 1, block.size(), file)) > 0;)
        made = EVP_DigestUpdate(context, block.data(), got) == 1;
    made = made && !ferror(file);
    unsigned char value[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    made = made && EVP_DigestFinal_ex(context, value, &length) == 1 && length == 32;
    EVP_MD_CTX_free(context);
    fclose(file);
    if (!made)
        return 0;
    for (unsigned int i = 0; i < length; i++)
        snprintf(hex + 2 * i, 3, "%02x", value[i]);
    return 1;
}
