#include "runtime/unpack.h"

#include "tests/support/tempdir.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <iterator>
#include <string>

namespace {

// A runtime file that a still running Java program holds open cannot be
// replaced: its entry is passed over, the file stays as it was, nothing is
// left behind, and the other entries are unpacked.
TEST(UnpackArchiveWin, FileHeldOpenIsPassedOver)
{
    TempDir dir;
    std::filesystem::create_directories(dir.file("java\\bin"));
    write_file(dir.file("java\\bin\\java.exe"), "running runtime");
    HANDLE held = CreateFileA(dir.file("java\\bin\\java.exe").c_str(), GENERIC_READ,
                              FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_EQ(unpack_archive((UNPACK_TEST_ARCHIVES + std::string("runtime.zip")).c_str(),
                             dir.folder().c_str()),
              1);
    CloseHandle(held);
    EXPECT_EQ(read_file(dir.file("java\\bin\\java.exe")), "running runtime");
    EXPECT_EQ(read_file(dir.file("java\\release")), "JAVA_VERSION=\"1.8.0_181\"\n");
    // java, java\bin, java\bin\java.exe and java\release: no temporary file.
    std::filesystem::recursive_directory_iterator entries(dir.path);
    EXPECT_EQ(std::distance(begin(entries), end(entries)), 4);
}

} // namespace
