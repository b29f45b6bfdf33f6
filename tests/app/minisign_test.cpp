#include "app/minisign.h"

#include "tests/app/minisign_maker.h"
#include "tests/support/tempdir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

std::string replaced(std::string text, const std::string& from, const std::string& to)
{
    size_t at = text.find(from);
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

std::string crlf(const std::string& text)
{
    std::string out;
    for (char c : text)
        out += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return out;
}

TEST(MinisignCheck, GivesEachSignatureFileItsVerdict)
{
    const TestKey app = make_key(1), other = make_key(2);
    const std::string data = "{\"codebase\": \"https://apps.example/\"}";
    const std::string comment = "timestamp:1700000000\tfile:app.nlp\thashed";
    const std::string hashed = sign(app, data, true, comment);
    const std::string legacy = sign(app, data, false, comment);
    const std::string lines = hashed.substr(0, hashed.rfind('\n', hashed.size() - 2) + 1);
    struct Case {
        const char* what;
        std::string signature;
        std::string data;
        MinisignVerdict verdict;
        std::string message;
    } cases[] = {
        {"prehashed", hashed, data, MINISIGN_VERIFIED, ""},
        {"legacy", legacy, data, MINISIGN_VERIFIED, ""},
        {"lines ending in CR LF, the last without an end",
         crlf(hashed).substr(0, crlf(hashed).size() - 2), data,
         MINISIGN_VERIFIED, ""},
        {"another key", sign(other, data, true, comment), data, MINISIGN_OTHER_KEY,
         "signed by key " + id_of(other) + ", the application's key is " + id_of(app)},
        {"data changed", hashed, data + " ", MINISIGN_NOT_VERIFIED, "signature does not verify"},
        {"trusted comment changed", replaced(hashed, "1700000000", "1800000000"), data,
         MINISIGN_NOT_VERIFIED, "signature does not verify"},
        {"form changed", replaced(hashed, "\nRUQ", "\nRWQ"), data, MINISIGN_NOT_VERIFIED,
         "signature does not verify"},
        {"bad base64", replaced(hashed, "\nRUQ", "\nR*Q"), data, MINISIGN_MALFORMED,
         "signature does not verify: the second line is no base64 signature"},
        {"unknown algorithm", replaced(hashed, "\nRUQ", "\nRVQ"), data, MINISIGN_MALFORMED,
         "signature does not verify: the signature is of an unknown algorithm"},
        {"global signature cut", hashed.substr(0, hashed.size() - 6) + "\n", data,
         MINISIGN_MALFORMED, "signature does not verify: the fourth line is no base64 signature"},
        {"last line cut off", lines, data, MINISIGN_MALFORMED,
         "signature does not verify: the signature file is cut short"},
        {"a fifth line", hashed + "x\n", data, MINISIGN_MALFORMED,
         "signature does not verify: the signature file holds more than four lines or a NUL byte"},
        {"no untrusted comment", hashed.substr(hashed.find('\n') + 1) + "x\n", data,
         MINISIGN_MALFORMED, "signature does not verify: the first line is no untrusted comment"},
        {"trusted comment without its prefix", replaced(hashed, "\ntrusted comment: ", "\n"), data,
         MINISIGN_MALFORMED, "signature does not verify: the third line is no trusted comment"},
        {"trusted comment of 8193 bytes", sign(app, data, true, std::string(8193, 'c')), data,
         MINISIGN_MALFORMED,
         "signature does not verify: the trusted comment is longer than 8192 bytes"},
        {"file of 16 KiB and one byte", hashed + std::string(16385 - hashed.size(), '\n'), data,
         MINISIGN_MALFORMED, "signature does not verify: the signature file is larger than 16 KiB"},
        {"empty file", "", data, MINISIGN_MALFORMED,
         "signature does not verify: the signature file is cut short"},
    };
    MinisignKey key;
    ASSERT_EQ(minisign_key_parse((" " + key_line(app) + "\r\n").c_str(), &key), 1);
    for (const Case& c : cases) {
        MinisignCheck check;
        EXPECT_EQ(minisign_check(&key, c.signature.data(), c.signature.size(), c.data.data(),
                                 c.data.size(), &check),
                  c.verdict == MINISIGN_VERIFIED ? 1 : 0)
            << c.what;
        EXPECT_EQ(check.verdict, c.verdict) << c.what;
        EXPECT_EQ(check.message, c.message) << c.what;
        EXPECT_EQ(check.has_timestamp, c.verdict == MINISIGN_VERIFIED) << c.what;
        EXPECT_EQ(check.timestamp, c.verdict == MINISIGN_VERIFIED ? 1700000000 : 0) << c.what;
    }
}

TEST(MinisignTexts, TimestampsTimesAndKeyIds)
{
    const std::pair<const char*, int64_t> cases[] = {
        {"timestamp:1700000000\tfile:app.nlp\thashed", 1700000000},
        {"file:app.nlp\ttimestamp:42", 42},
        {"timestamp:9223372036854775807", INT64_MAX},
        {"timestamp:9223372036854775808", -1},
        {"timestamp:", -1}, {"timestamp:12a", -1}, {"mytimestamp:12", -1}, {"a timestamp:1", -1},
    };
    for (const auto& [comment, expected] : cases) {
        int64_t seconds = 7;
        EXPECT_EQ(minisign_timestamp(comment, &seconds), expected >= 0 ? 1 : 0) << comment;
        EXPECT_EQ(seconds, expected >= 0 ? expected : 0) << comment;
    }
    char text[32];
    minisign_time_text(1700000000, text, sizeof text);
    EXPECT_STREQ(text, "2023-11-14 22:13:20 UTC");
    // Key ids as minisign prints them: little-endian, no leading zeros.
    const unsigned char id[] = {0x1C, 0x11, 0xB9, 0x81, 0x99, 0x62, 0x09, 0x00};
    minisign_id_text(id, text);
    EXPECT_STREQ(text, "9629981B9111C");
}

#ifndef _WIN32
// The real minisign's files, both forms: verified, and its key id as it
// names the key in the public key file's comment.
TEST(MinisignCheck, VerifiesWhatTheRealMinisignSigned)
{
    TempDir dir;
    const std::string base = dir.folder();
    write_file(base + "app.nlp", "{\"mainclass\": \"app.Main\"}\n");
    std::string command = "cd '" + base + "' && minisign -G -W -p k.pub -s k.key >/dev/null && " +
                          "minisign -S -s k.key -m app.nlp >/dev/null && " +
                          "minisign -S -l -s k.key -m app.nlp -x legacy.minisig >/dev/null";
    ASSERT_EQ(system(command.c_str()), 0) << command;
    const std::string pub = read_file(base + "k.pub");
    const std::string data = read_file(base + "app.nlp");
    MinisignKey key;
    ASSERT_EQ(minisign_key_parse(pub.substr(pub.find('\n') + 1).c_str(), &key), 1);
    char id[MINISIGN_ID_TEXT_SIZE];
    minisign_id_text(key.id, id);
    EXPECT_EQ(pub.substr(0, pub.find('\n')), std::string("untrusted comment: minisign public key ") + id);
    for (const char* name : {"app.nlp.minisig", "legacy.minisig"}) {
        const std::string signature = read_file(base + name);
        MinisignCheck check;
        EXPECT_EQ(minisign_check(&key, signature.data(), signature.size(), data.data(), data.size(),
                                 &check), 1) << name << ": " << check.message;
        EXPECT_STREQ(check.signer, id) << name;
        EXPECT_TRUE(check.has_timestamp) << name;
    }
}
#endif

} // namespace
