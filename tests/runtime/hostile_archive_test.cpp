// Archives nobody meant to unpack (written at build time by
// tests/runtime/make_hostile_archives.py): bombs, sizes far from the data,
// duplicate names, names no file system should take and central directories
// that lie. Whatever they hold, only sound entries become files, nothing is
// written past what an entry declares, and the walk goes on where it can.
#include "runtime/unpack.h"
#include "runtime/unpack_os.h"

#include "tests/support/tempdir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>

namespace {

namespace fs = std::filesystem;

const uintmax_t bomb_declared = 1000;
const uintmax_t some_data = 100000;

// HOSTILE_TEST_ARCHIVES names the build tree's folder with its final
// separator.
std::string archive(const std::string& name)
{
    return HOSTILE_TEST_ARCHIVES + name;
}

int unpack(const std::string& name, const TempDir& dir)
{
    return unpack_archive(archive(name).c_str(), dir.folder().c_str());
}

// Counts what unpacking writes for the first file entry: the temporary file
// it writes that entry to is made beforehand as a hard link to a file
// outside the target. Opening it for writing truncates the shared file and
// every byte lands there too; removing or renaming it afterwards takes only
// the link, so the bytes stay to be counted.
struct WrittenBytes {
    TempDir outside;
    std::string spy = outside.file("spy");

    explicit WrittenBytes(const TempDir& target)
    {
        write_file(spy, "");
        std::string temporary =
            target.file("~unpack-" + std::to_string(unpack_process_id()) + ".tmp");
        fs::create_hard_link(spy, temporary);
    }

    uintmax_t count() const { return fs::file_size(spy); }
};

TEST(HostileArchive, BombFailsItsChecksAndWritesNoMoreThanItsDeclaredSize)
{
    // 1000 bytes declared, 16 MiB of zeros inflated.
    for (const char* name : {"bomb.zip", "bomb-prefix-crc.zip"}) {
        SCOPED_TRACE(name);
        TempDir dir;
        WrittenBytes written(dir);
        EXPECT_EQ(unpack(name, dir), 1);
        EXPECT_EQ(listing(dir.folder()), std::set<std::string>{"after.txt"});
        EXPECT_EQ(read_file(dir.file("after.txt")), "after\n");
        EXPECT_LE(written.count(), bomb_declared);
    }
}

TEST(HostileArchive, HugeDeclaredSizesFailWithoutWritingMoreThanTheDataHolds)
{
    // 4 GiB declared for 100000 bytes: deflated, stored, and stored with a
    // compressed size past the end of the archive too.
    for (const char* name : {"huge-deflated.zip", "huge-stored.zip", "huge-stored-both.zip"}) {
        SCOPED_TRACE(name);
        TempDir dir;
        WrittenBytes written(dir);
        EXPECT_EQ(unpack(name, dir), 1);
        EXPECT_EQ(listing(dir.folder()), std::set<std::string>{"after.txt"});
        EXPECT_GT(written.count(), 0u) << "the written bytes go unseen";
        // No more than the data really there, though reading a stored entry
        // may run on into the rest of the archive.
        EXPECT_LE(written.count(), std::max(some_data, fs::file_size(archive(name))));
    }
}

TEST(HostileArchive, DuplicateNamesLeaveTheLastSoundEntry)
{
    // "dup.txt" twice, both sound; "kept.txt" sound, then with a bad CRC-32;
    // the folder "d/" twice.
    TempDir dir;
    EXPECT_EQ(unpack("duplicates.zip", dir), 1);
    EXPECT_EQ(listing(dir.folder()),
              (std::set<std::string>{"dup.txt", "kept.txt", "d", "d/in.txt"}));
    EXPECT_EQ(read_file(dir.file("dup.txt")), "second\n");
    EXPECT_EQ(read_file(dir.file("kept.txt")), "sound\n");
    EXPECT_EQ(read_file(dir.file("d/in.txt")), "in\n");
}

TEST(HostileArchive, NamesWithNulOrControlCharactersAreRefused)
{
    // Control characters (SOH, TAB, CR LF, ESC) that Windows refuses in a
    // name, and a NUL first or last.
    TempDir dir;
    EXPECT_EQ(unpack("control-names.zip", dir), 1);
    EXPECT_EQ(listing(dir.folder()), std::set<std::string>{"plain.txt"});
    EXPECT_EQ(read_file(dir.file("plain.txt")), "plain\n");
}

TEST(HostileArchive, NamesTooLongForThePathBufferArePassedOver)
{
    // 65535 characters, the most a zip name holds, and 260, one more than
    // the name buffer keeps with its NUL.
    TempDir dir;
    EXPECT_EQ(unpack("longest-names.zip", dir), 1);
    EXPECT_EQ(listing(dir.folder()), std::set<std::string>{"after.txt"});
}

TEST(HostileArchive, CentralDirectoryPastTheEndIsNoArchive)
{
    for (const char* name : {"directory-past-end.zip", "directory-too-long.zip"}) {
        SCOPED_TRACE(name);
        TempDir dir;
        EXPECT_EQ(unpack(name, dir), 0);
        EXPECT_TRUE(listing(dir.folder()).empty());
    }
}

TEST(HostileArchive, EntriesThatLieAreSkippedAndTheWalkGoesOn)
{
    struct Case {
        const char* archive;
        std::set<std::string> unpacked;
    };
    const Case cases[] = {
        // More entries counted than recorded: the walk ends at the last one.
        {"too-many-entries.zip", {"first.txt", "second.txt"}},
        // A local header past the end, far past it, or at its own data.
        {"local-past-end.zip", {"second.txt"}},
        {"local-far-past-end.zip", {"second.txt"}},
        {"local-at-data.zip", {"second.txt"}},
        // The second entry's local header is the first one's.
        {"local-overlaps.zip", {"first.txt"}},
        // The last name runs past the end of the archive.
        {"name-past-end.zip", {"first.txt"}},
    };
    std::string second_txt;
    for (int i = 0; i < 10; i++)
        second_txt += "second\n";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.archive);
        TempDir dir;
        EXPECT_EQ(unpack(c.archive, dir), 1);
        EXPECT_EQ(listing(dir.folder()), c.unpacked);
        if (c.unpacked.count("first.txt")) {
            EXPECT_EQ(read_file(dir.file("first.txt")), "first\n");
        }
        if (c.unpacked.count("second.txt")) {
            EXPECT_EQ(read_file(dir.file("second.txt")), second_txt);
        }
    }
}

} // namespace
