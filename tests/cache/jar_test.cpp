// The content checks of a body: a jar is a readable zip archive, a digest
// is the file's SHA-256, and the record serves a digest while the file is
// as it was recorded.
#include "cache/digest_record.h"
#include "cache/jar.h"

#include "tests/support/jar_maker.h"
#include "tests/support/tempdir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

TEST(Jar, OnlyAReadableZipArchivePasses)
{
    const std::string jar = make_zip({{"META-INF/MANIFEST.MF", "Manifest-Version: 1.0\r\n"},
                                      {"app/Main.class", std::string(300, 'c')}});
    std::string damaged = jar;
    damaged[damaged.rfind("PK\x01\x02")] = 'X';
    const struct {
        const char* what;
        std::string body;
        int readable;
    } cases[] = {
        {"a jar", jar, 1},
        // Its directory's end stands where a search for it ends, unfound:
        // nothing to list, and nothing for Java to run either.
        {"an empty zip", make_zip({}), 0},
        {"a login page", "<html><body>Sign in to the Wi-Fi</body></html>", 0},
        {"a jar cut short", jar.substr(0, jar.size() / 2), 0},
        {"a jar without its directory's end", jar.substr(0, jar.size() - 10), 0},
        {"a damaged central directory", damaged, 0},
        {"nothing", "", 0},
    };
    TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        write_file(dir.file("a.jar"), c.body);
        EXPECT_EQ(jar_readable(dir.file("a.jar").c_str()), c.readable);
    }
    EXPECT_EQ(jar_readable(dir.file("none.jar").c_str()), 0);
    for (const char* name : {"a.jar", "A.JAR", "x.Jar", ".jar"})
        EXPECT_EQ(jar_named(name), 1) << name;
    for (const char* name : {"a.jar.txt", "ajar", "jar", "a.zip", ""})
        EXPECT_EQ(jar_named(name), 0) << name;
}

TEST(Digest, TheRecordServesUntilTheFileChanges)
{
    TempDir dir;
    write_file(dir.file("a.jar"), "abc");
    char hex[DIGEST_HEX_SIZE];
    ASSERT_EQ(digest_sha256_file(dir.file("a.jar").c_str(), hex), 1);
    const std::string abc = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
    EXPECT_EQ(hex, abc);
    EXPECT_EQ(digest_sha256_file(dir.file("none").c_str(), hex), 0);
    EXPECT_STREQ(hex, "");

    // A wrong digest recorded for the file as it is now is what serves:
    // the file is not read again while its size and time stay.
    const std::string wrong(64, 'f');
    DigestRecord* record = digest_record_load(dir.file("digests").c_str());
    digest_record_set(record, dir.folder().c_str(), "a.jar", wrong.c_str());
    ASSERT_EQ(digest_record_save(record, dir.file("digests").c_str()), 1);
    digest_record_free(record);
    record = digest_record_load(dir.file("digests").c_str());
    ASSERT_EQ(digest_record_file(record, dir.folder().c_str(), "a.jar", hex), 1);
    EXPECT_EQ(hex, wrong);
    write_file(dir.file("a.jar"), "abcd");
    ASSERT_EQ(digest_record_file(record, dir.folder().c_str(), "a.jar", hex), 1);
    EXPECT_EQ(hex, std::string("88d4266fd4e6338d13b845fcf289579d209c897823b9217da3e161936f031589"));
    EXPECT_EQ(digest_record_file(record, dir.folder().c_str(), "none", hex), 0);
    digest_record_free(record);

    // Lines of any other form are passed over.
    std::string text = wrong + " 3 7 a b.jar\r\n" + wrong.substr(1) + " 3 7 c.jar\r\n" +
                       std::string(64, 'F') + " 3 7 d.jar\r\n" + wrong + " -3 7 e.jar\r\n" +
                       wrong + " 3 7 \r\n" + wrong + " 3 7 a b.jar\r\n";
    record = digest_record_parse(text.data(), text.size());
    ASSERT_EQ(digest_record_save(record, dir.file("again").c_str()), 1);
    digest_record_set(record, dir.folder().c_str(), "a.jar", abc.c_str());
    ASSERT_EQ(digest_record_save(record, dir.file("again").c_str()), 1);
    std::string saved = read_file(dir.file("again"));
    EXPECT_EQ(saved.find(wrong + " 3 7 a b.jar\r\n"), 0u) << saved;
    EXPECT_EQ(saved.find("c.jar"), std::string::npos);
    EXPECT_EQ(saved.find("d.jar"), std::string::npos);
    EXPECT_EQ(saved.find("e.jar"), std::string::npos);
    EXPECT_NE(saved.find(abc + " 4 "), std::string::npos);
    digest_record_free(record);
}

} // namespace
