// Keys and minisign signature files made with libsodium in the tests, as
// minisign makes them: a key from a fixed seed, files in either form.
#pragma once

#include "app/minisign.h"

#include <sodium.h>

#include <string>

struct TestKey {
    std::string id, public_key, secret_key;  // their bytes
};

inline const unsigned char* bytes_of(const std::string& text)
{
    return reinterpret_cast<const unsigned char*>(text.data());
}

inline TestKey make_key(char seed)
{
    unsigned char public_key[crypto_sign_PUBLICKEYBYTES], secret_key[crypto_sign_SECRETKEYBYTES];
    crypto_sign_seed_keypair(public_key, secret_key, bytes_of(std::string(crypto_sign_SEEDBYTES, seed)));
    return {std::string(1, seed) + "-key-id", std::string(reinterpret_cast<char*>(public_key), 32),
            std::string(reinterpret_cast<char*>(secret_key), 64)};
}

inline std::string base64(const std::string& bytes)
{
    std::string out(sodium_base64_ENCODED_LEN(bytes.size(), sodium_base64_VARIANT_ORIGINAL), '\0');
    sodium_bin2base64(out.data(), out.size(), bytes_of(bytes), bytes.size(),
                      sodium_base64_VARIANT_ORIGINAL);
    out.pop_back();
    return out;
}

inline std::string detached(const TestKey& key, const std::string& message)
{
    unsigned char signature[crypto_sign_BYTES];
    crypto_sign_detached(signature, nullptr, bytes_of(message), message.size(),
                         bytes_of(key.secret_key));
    return std::string(reinterpret_cast<char*>(signature), sizeof signature);
}

inline std::string key_line(const TestKey& key)
{
    return base64("Ed" + key.id + key.public_key);
}

inline std::string id_of(const TestKey& key)
{
    char text[MINISIGN_ID_TEXT_SIZE];
    minisign_id_text(bytes_of(key.id), text);
    return text;
}

// A signature file as minisign writes it, in either form.
inline std::string sign(const TestKey& key, const std::string& data, bool prehashed,
                        const std::string& comment)
{
    unsigned char hash[crypto_generichash_BYTES_MAX];
    crypto_generichash(hash, sizeof hash, bytes_of(data), data.size(), nullptr, 0);
    std::string signature =
        detached(key, prehashed ? std::string(reinterpret_cast<char*>(hash), sizeof hash) : data);
    return "untrusted comment: test\n" + base64((prehashed ? "ED" : "Ed") + key.id + signature) +
           "\ntrusted comment: " + comment + "\n" + base64(detached(key, signature + comment)) +
           "\n";
}
