#include "base/fileutil.h"

#include "tests/support/tempdir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

TEST(ReadWholeFile, ReturnsEveryByteAndOneNulAroundTheBlockSize)
{
    TempDir dir;
    for (size_t size : {0u, 1u, 4095u, 4096u, 4097u, 3u * 4096u + 1u}) {
        SCOPED_TRACE(size);
        std::string bytes = pattern(size);
        write_file(dir.file("data"), bytes);
        int length = -7;
        char* buffer = read_whole_file(dir.file("data").c_str(), &length);
        ASSERT_NE(buffer, nullptr);
        EXPECT_EQ(length, static_cast<int>(size));
        EXPECT_EQ(std::string(buffer, size), bytes);
        EXPECT_EQ(buffer[size], '\0');
        free(buffer);
    }
}

TEST(ReadWholeFile, MissingFileGivesNullAndKeepsLength)
{
    TempDir dir;
    int length = 12345;
    EXPECT_EQ(read_whole_file(dir.file("missing.nlp").c_str(), &length), nullptr);
    EXPECT_EQ(length, 12345);
}

TEST(WriteWholeFile, WritesBytesUnchangedAndReportsTheCount)
{
    TempDir dir;
    std::string bytes = pattern(5000) + "\r\n\n\r";
    write_file(dir.file("out"), "older and longer content that must go" + std::string(6000, 'x'));
    EXPECT_EQ(write_whole_file(dir.file("out").c_str(), bytes.data(), bytes.size()),
              static_cast<int>(bytes.size()));
    EXPECT_EQ(read_file(dir.file("out")), bytes);
}

TEST(WriteWholeFile, SizeZeroCreatesAnEmptyFile)
{
    TempDir dir;
    EXPECT_EQ(write_whole_file(dir.file("empty").c_str(), "", 0), 0);
    EXPECT_EQ(read_file(dir.file("empty")), "");
}

TEST(WriteWholeFile, UnopenableFileGivesZero)
{
    TempDir dir;
    EXPECT_EQ(write_whole_file(dir.file("no-such-folder/out").c_str(), "abc", 3), 0);
    EXPECT_EQ(read_file(dir.file("no-such-folder/out")), "<missing>");
}

const char SITE_CHARS[] = "<>:\"/\\|?*";

TEST(ReplaceChars, MakesASiteFolderNameFromACodeBase)
{
    char text[] = "http://host:81/app/";
    EXPECT_EQ(replace_chars(text, SITE_CHARS, '#'), strlen("http###host#81#app#"));
    EXPECT_STREQ(text, "http###host#81#app#");

    char every[] = "a<b>c:d\"e/f\\g|h?i*j";
    replace_chars(every, SITE_CHARS, '#');
    EXPECT_STREQ(every, "a#b#c#d#e#f#g#h#i#j");
}

TEST(ReplaceChars, LeavesOtherBytesAlone)
{
    char text[] = "a.b-c%d e\x01\x7f\xc3\xa9~#";
    std::string before = text;
    EXPECT_EQ(replace_chars(text, SITE_CHARS, '#'), before.size());
    EXPECT_EQ(std::string(text), before);
}

TEST(ReplaceChars, NulReplacementEndsTheText)
{
    char text[] = "abc/def/ghi";
    EXPECT_EQ(replace_chars(text, "/", '\0'), 3u);
    EXPECT_STREQ(text, "abc");
    EXPECT_STREQ(text + 4, "def/ghi");
}

TEST(IsUrl, TellsAbsoluteUrlsFromRelativeNames)
{
    EXPECT_EQ(is_url("http://host/jre-1.8.zip"), 1);
    EXPECT_EQ(is_url("ftp://x"), 1);
    EXPECT_EQ(is_url("files/a.zip"), 0);
    EXPECT_EQ(is_url("jre-1.8.zip"), 0);
    EXPECT_EQ(is_url("abc://"), 1);
    EXPECT_EQ(is_url("some text :// in the middle"), 1);
    EXPECT_EQ(is_url(":/"), 0);
    EXPECT_EQ(is_url(""), 0);
}

TEST(ReleaseFilePresent, ReadsReleaseInTheFolder)
{
    TempDir dir;
    EXPECT_EQ(release_file_present(dir.folder().c_str()), 0);
    write_file(dir.file("release"), "");
    EXPECT_EQ(release_file_present(dir.folder().c_str()), 1);
    write_file(dir.file("release"), "JAVA_VERSION=\"1.8.0\"\n");
    EXPECT_EQ(release_file_present(dir.folder().c_str()), 1);
}

TEST(ReleaseFilePresent, PathTooLongForThePathBufferGivesZero)
{
    // 253 characters plus "release" is 260: one more than the buffer holds.
    std::string folder(253, 'a');
    EXPECT_EQ(release_file_present(folder.c_str()), 0);
}

} // namespace
