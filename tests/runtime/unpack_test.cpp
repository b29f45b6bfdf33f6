#include "runtime/unpack.h"

#include "tests/support/tempdir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <ctime>
#include <filesystem>
#include <set>
#include <string>

namespace {

namespace fs = std::filesystem;

// The build writes the archives (tests/runtime/make_archives.py) into a folder of
// the build tree; UNPACK_TEST_ARCHIVES names it with its final separator.
std::string archive(const std::string& name)
{
    return UNPACK_TEST_ARCHIVES + name;
}

// path as a folder, with the platform's separator at its end.
std::string as_folder(const std::string& path)
{
    return (fs::path(path) / "").string();
}

std::string java_exe()
{
    return read_file(archive("java.exe"));
}

TEST(UnpackArchive, FolderEntriesBeforeTheirFilesYieldTheRuntime)
{
    TempDir dir;
    EXPECT_EQ(unpack_archive(archive("runtime.zip").c_str(), dir.folder().c_str()), 1);
    EXPECT_EQ(listing(dir.folder()), (std::set<std::string>{"java", "java/bin", "java/bin/java.exe",
                                                            "java/release"}));
    EXPECT_EQ(read_file(dir.file("java/bin/java.exe")), java_exe());
    EXPECT_EQ(read_file(dir.file("java/release")), "JAVA_VERSION=\"1.8.0_181\"\n");
}

TEST(UnpackArchive, ArchiveOfTheZipToolUnpacksWhole)
{
    TempDir dir;
    EXPECT_EQ(unpack_archive(archive("zip-tool.zip").c_str(), dir.folder().c_str()), 1);
    EXPECT_EQ(listing(dir.folder()),
              (std::set<std::string>{"java", "java/bin", "java/bin/java.exe", "java/lib",
                                     "java/lib/rt.jar", "java/lib/ext", "java/lib/ext/empty.jar"}));
    EXPECT_EQ(read_file(dir.file("java/bin/java.exe")), java_exe());
    EXPECT_EQ(read_file(dir.file("java/lib/rt.jar")), java_exe().substr(0, 20000));
    EXPECT_EQ(read_file(dir.file("java/lib/ext/empty.jar")), "");
}

TEST(UnpackArchive, FileEntriesNeverMakeFoldersButFillExistingOnes)
{
    TempDir dir;
    EXPECT_EQ(unpack_archive(archive("no-folders.zip").c_str(), dir.folder().c_str()), 1);
    EXPECT_TRUE(listing(dir.folder()).empty());

    fs::create_directories(dir.file("java/bin"));
    write_file(dir.file("java/bin/java.exe"), "an earlier runtime");
    EXPECT_EQ(unpack_archive(archive("no-folders.zip").c_str(), dir.folder().c_str()), 1);
    EXPECT_EQ(read_file(dir.file("java/bin/java.exe")), java_exe());
    EXPECT_EQ(listing(dir.folder()), (std::set<std::string>{"java", "java/bin", "java/bin/java.exe"}));
}

TEST(UnpackArchive, FolderEntryBeforeItsParentIsNotMade)
{
    TempDir dir;
    EXPECT_EQ(unpack_archive(archive("wrong-order.zip").c_str(), dir.folder().c_str()), 1);
    EXPECT_EQ(listing(dir.folder()), (std::set<std::string>{"java", "java/release"}));
}

TEST(UnpackArchive, DosDirectoryAttributeMakesAFolderWithoutSlash)
{
    TempDir dir;
    EXPECT_EQ(unpack_archive(archive("dos-folder.zip").c_str(), dir.folder().c_str()), 1);
    EXPECT_TRUE(fs::is_directory(dir.file("java")));
    EXPECT_EQ(read_file(dir.file("java/release")), "release\n");
    EXPECT_EQ(listing(dir.folder()).size(), 2u);
}

TEST(UnpackArchive, WhatIsNoArchiveGivesZeroAndChangesNothing)
{
    TempDir dir;
    write_file(dir.file("keep.txt"), "keep");
    for (const char* name : {"not-a-zip.zip", "truncated.zip", "missing.zip"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(unpack_archive(archive(name).c_str(), dir.folder().c_str()), 0);
        EXPECT_EQ(listing(dir.folder()), std::set<std::string>{"keep.txt"});
    }
    EXPECT_EQ(unpack_archive(dir.folder().c_str(), dir.folder().c_str()), 0);
}

TEST(UnpackArchive, EmptyArchiveGivesOneAndChangesNothing)
{
    TempDir dir;
    write_file(dir.file("keep.txt"), "keep");
    for (const char* name : {"empty.zip", "empty-comment.zip"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(unpack_archive(archive(name).c_str(), dir.folder().c_str()), 1);
        EXPECT_EQ(listing(dir.folder()), std::set<std::string>{"keep.txt"});
        EXPECT_EQ(read_file(dir.file("keep.txt")), "keep");
    }
}

TEST(UnpackArchive, ZeroLengthEntriesMakeEmptyFiles)
{
    TempDir dir;
    write_file(dir.file("stored-empty.txt"), "not empty before");
    EXPECT_EQ(unpack_archive(archive("zero-length.zip").c_str(), dir.folder().c_str()), 1);
    EXPECT_EQ(listing(dir.folder()),
              (std::set<std::string>{"deflated-empty.txt", "stored-empty.txt"}));
    EXPECT_EQ(read_file(dir.file("deflated-empty.txt")), "");
    EXPECT_EQ(read_file(dir.file("stored-empty.txt")), "");
}

TEST(UnpackArchive, ExistingFilesAreReplacedOthersLeftAlone)
{
    TempDir dir;
    write_file(dir.file("a.txt"), "an older and much longer a.txt that must not leave a tail");
    write_file(dir.file("b.txt"), "b stays");
    EXPECT_EQ(unpack_archive(archive("overwrite.zip").c_str(), dir.folder().c_str()), 1);
    EXPECT_EQ(read_file(dir.file("a.txt")), "new a\n");
    EXPECT_EQ(read_file(dir.file("b.txt")), "b stays");
    EXPECT_EQ(listing(dir.folder()), (std::set<std::string>{"a.txt", "b.txt"}));
}

// The entry's date and time are local time, as on the archiving machine.
void expect_local_time(const std::string& path, int year, int month, int day, int hour, int minute,
                       int second)
{
    SCOPED_TRACE(path);
    struct stat status;
    ASSERT_EQ(stat(path.c_str(), &status), 0);
    for (time_t stamp : {status.st_mtime, status.st_atime}) {
        struct tm* when = localtime(&stamp);
        ASSERT_NE(when, nullptr);
        EXPECT_EQ(when->tm_year + 1900, year);
        EXPECT_EQ(when->tm_mon + 1, month);
        EXPECT_EQ(when->tm_mday, day);
        EXPECT_EQ(when->tm_hour, hour);
        EXPECT_EQ(when->tm_min, minute);
        EXPECT_EQ(when->tm_sec, second);
    }
}

TEST(UnpackArchive, FilesTakeTheEntryDateAndTime)
{
    TempDir dir;
    EXPECT_EQ(unpack_archive(archive("times.zip").c_str(), dir.folder().c_str()), 1);
    expect_local_time(dir.file("dated.txt"), 2019, 3, 14, 15, 9, 26);
    expect_local_time(dir.file("winter.txt"), 2001, 12, 24, 6, 30, 0);
}

TEST(UnpackArchive, NamesLeavingTheTargetFolderAreRefused)
{
    // Rooted, drive and stream names, ".." with either separator (and the
    // forms Windows reads as ".."), and a name with a NUL inside: none may
    // write anything, and the walk still reaches the last entry.
    TempDir dir;
    fs::create_directory(dir.file("target"));
    std::string target = as_folder(dir.file("target"));
    EXPECT_EQ(unpack_archive(archive("refused.zip").c_str(), target.c_str()), 1);
    EXPECT_EQ(listing(dir.folder()),
              (std::set<std::string>{"target", "target/a", "target/a/ok.txt"}));
    EXPECT_EQ(read_file(dir.file("target/a/ok.txt")), "ok\n");
}

TEST(UnpackArchive, EntriesWhosePathDoesNotFitArePassedOver)
{
    // A target folder of 159 characters: names of 100 make 259, the longest
    // path that fits 260 bytes with its NUL.
    TempDir dir;
    std::string base = dir.folder();
    ASSERT_LT(base.size(), 150u);
    std::string target = base + std::string(158 - base.size(), 'p');
    fs::create_directory(target);
    target = as_folder(target);
    ASSERT_EQ(target.size(), 159u);
    EXPECT_EQ(unpack_archive(archive("long-names.zip").c_str(), target.c_str()), 1);
    std::string fits = std::string(96, 'f') + ".txt";
    EXPECT_EQ(listing(target), (std::set<std::string>{fits, "short.txt"}));
    EXPECT_EQ(read_file(target + fits), "fits\n");
}

TEST(UnpackArchive, DamagedEntriesLeaveNoFileAndKeepOlderOnes)
{
    // A bad CRC-32 (stored and deflated), data shorter than the size it
    // declares, and a method the reader does not know.
    TempDir dir;
    write_file(dir.file("crc.bin"), "older crc.bin");
    write_file(dir.file("crc-deflated.txt"), "older crc-deflated.txt");
    write_file(dir.file("short.txt"), "older short.txt");
    EXPECT_EQ(unpack_archive(archive("damaged.zip").c_str(), dir.folder().c_str()), 1);
    EXPECT_EQ(read_file(dir.file("crc.bin")), "older crc.bin");
    EXPECT_EQ(read_file(dir.file("crc-deflated.txt")), "older crc-deflated.txt");
    EXPECT_EQ(read_file(dir.file("short.txt")), "older short.txt");
    EXPECT_EQ(read_file(dir.file("good.txt")), "good\n");
    EXPECT_EQ(listing(dir.folder()),
              (std::set<std::string>{"crc.bin", "crc-deflated.txt", "short.txt", "good.txt"}));
}

TEST(UnpackArchive, FileEntryNamingAnExistingFolderIsPassedOver)
{
    TempDir dir;
    fs::create_directories(dir.file("java/release"));
    EXPECT_EQ(unpack_archive(archive("runtime.zip").c_str(), dir.folder().c_str()), 1);
    EXPECT_TRUE(fs::is_directory(dir.file("java/release")));
    EXPECT_EQ(read_file(dir.file("java/bin/java.exe")), java_exe());
    EXPECT_EQ(listing(dir.folder()),
              (std::set<std::string>{"java", "java/bin", "java/bin/java.exe", "java/release"}));
}

TEST(UnpackRuntime, ReplacesTheRuntimeWholeOrNotAtAll)
{
    TempDir dir;
    std::string root = dir.folder();
    std::string java = dir.file("java");
    // Left by installs killed on the way; only their folders go.
    fs::create_directories(dir.file("staging-7/java/bin"));
    fs::create_directories(dir.file("java-old-8/bin"));
    write_file(dir.file("staging-9.txt"), "not a folder");
    unpack_remove_leftovers(root.c_str());
    EXPECT_EQ(listing(root), std::set<std::string>{"staging-9.txt"});

    const std::set<std::string> fresh = {"staging-9.txt", "java", "java/bin", "java/bin/java.exe",
                                         "java/release"};
    EXPECT_EQ(unpack_runtime(archive("runtime.zip").c_str(), root.c_str(), java.c_str(), nullptr), 1);
    EXPECT_EQ(listing(root), fresh);

    // An older runtime, with a file the archives do not name.
    write_file(dir.file("java/bin/java.exe"), "older java");
    fs::create_directories(dir.file("java/lib"));
    write_file(dir.file("java/lib/older.jar"), "older");
    std::set<std::string> older = listing(root);
    // A failed entry, a folder entry before its parent, refused names, no
    // archive at all, an archive without java/: the runtime stays as it was.
    for (const char* name : {"damaged-runtime.zip", "wrong-order.zip", "refused.zip",
                             "truncated.zip", "overwrite.zip", "no-java-top.zip"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(unpack_runtime(archive(name).c_str(), root.c_str(), java.c_str(), nullptr), 0);
        EXPECT_EQ(listing(root), older);
        EXPECT_EQ(read_file(dir.file("java/bin/java.exe")), "older java");
    }
    EXPECT_EQ(unpack_runtime(archive("runtime.zip").c_str(), root.c_str(), java.c_str(), nullptr), 1);
    EXPECT_EQ(listing(root), fresh);
    EXPECT_EQ(read_file(dir.file("java/bin/java.exe")), java_exe());
}

// Another line's runtime goes to a folder of its own below runtimes, made
// by its first install, and leaves and is removed whole, java untouched. A
// vendor's top folder is the runtime's root, which keeps its record.
TEST(UnpackRuntime, ALineFolderComesAndGoesBesideJava)
{
    TempDir dir;
    std::string root = dir.folder();
    fs::create_directories(dir.file("java/bin"));
    write_file(dir.file("java/bin/java.exe"), "line 1.8");
    const std::string line = root + "runtimes" + root.back() + "17";
    EXPECT_EQ(unpack_runtime(archive("vendor-runtime.zip").c_str(), root.c_str(), line.c_str(),
                             "17.0.9_9"),
              1);
    EXPECT_EQ(listing(root),
              (std::set<std::string>{"java", "java/bin", "java/bin/java.exe", "runtimes",
                                     "runtimes/17", "runtimes/17/bin", "runtimes/17/bin/java.exe",
                                     "runtimes/17/release", "runtimes/17/installed-as.txt"}));
    EXPECT_EQ(read_file(dir.file("runtimes/17/installed-as.txt")), "17.0.9_9\n");
    EXPECT_EQ(read_file(dir.file("runtimes/17/bin/java.exe")), java_exe());
    EXPECT_EQ(unpack_remove_runtime(root.c_str(), line.c_str()), 1);
    EXPECT_EQ(listing(root),
              (std::set<std::string>{"java", "java/bin", "java/bin/java.exe", "runtimes"}));
    EXPECT_EQ(read_file(dir.file("java/bin/java.exe")), "line 1.8");
    EXPECT_EQ(unpack_remove_runtime(root.c_str(), line.c_str()), 0);
}

} // namespace
