// Keys and minisign signature files made with libsodium in the tests, as
// minisign makes them: a key from a fixed seed, files in either form.
#pragma once

#include "app/minisign.h"

#include <sodium.h>

#include <cstring>
#include <string>

struct TestKey {
    unsigned char id[MINISIGN_ID_BYTES];
    unsigned char public_key[crypto_sign_PUBLICKEYBYTES];
    unsigned char secret_key[crypto_sign_SECRETKEYBYTES];
};

inline TestKey make_key(unsigned char seed_byte)
{
    TestKey key;
    unsigned char seed[crypto_sign_SEEDBYTES];
    memset(seed, seed_byte, sizeof seed);
    crypto_sign_seed_keypair(key.public_key, key.secret_key, seed);
    for (int i = 0; i < MINISIGN_ID_BYTES; i++)
        key.id[i] = static_cast<unsigned char>(seed_byte + i);
    return key;
}

inline std::string base64(const std::string& bytes)
{
    std::string out(sodium_base64_ENCODED_LEN(bytes.size(), sodium_base64_VARIANT_ORIGINAL), '\0');
    sodium_bin2base64(out.data(), out.size(), reinterpret_cast<const unsigned char*>(bytes.data()),
                      bytes.size(), sodium_base64_VARIANT_ORIGINAL);
    out.pop_back();
    return out;
}

inline std::string detached(const TestKey& key, const std::string& message)
{
    unsigned char signature[crypto_sign_BYTES];
    crypto_sign_detached(signature, nullptr, reinterpret_cast<const unsigned char*>(message.data()),
                         message.size(), key.secret_key);
    return std::string(reinterpret_cast<char*>(signature), sizeof signature);
}

inline std::string key_line(const TestKey& key)
{
    return base64("Ed" + std::string(reinterpret_cast<const char*>(key.id), 8) +
                  std::string(reinterpret_cast<const char*>(key.public_key), 32));
}

// A signature file as minisign writes it, in either form.
inline std::string sign(const TestKey& key, const std::string& data, bool prehashed,
                 const std::string& comment)
{
    std::string signed_bytes = data;
    if (prehashed) {
        unsigned char hash[64];
        crypto_generichash(hash, sizeof hash, reinterpret_cast<const unsigned char*>(data.data()),
                           data.size(), nullptr, 0);
        signed_bytes.assign(reinterpret_cast<char*>(hash), sizeof hash);
    }
    std::string signature = detached(key, signed_bytes);
    return "untrusted comment: test\n" +
           base64((prehashed ? "ED" : "Ed") + std::string(reinterpret_cast<const char*>(key.id), 8) +
                  signature) +
           "\ntrusted comment: " + comment + "\n" + base64(detached(key, signature + comment)) +
           "\n";
}

