#include "runtime/version.h"

#include "tests/win/harness.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

namespace {

std::string program(const char* name)
{
    return harness_program_folder() + name;
}

// The version text query_file_version gives for path, or "<none>" on 0.
std::string version_of(const std::string& path)
{
    char out[VERSION_TEXT_SIZE];
    memset(out, 'x', sizeof out);
    if (!query_file_version(path.c_str(), out, sizeof out))
        return std::string(out, 4) == "xxxx" ? "<none>" : "<none, but written>";
    return out;
}

TEST(QueryFileVersion, ReadsTheFixedFileVersionOfPrograms)
{
    EXPECT_EQ(version_of(program("Launcher.exe")), "1.2.1.0");
    EXPECT_EQ(version_of(program("LauncherMaxVersion.exe")), "65535.65535.65535.65535");
    EXPECT_EQ(version_of(program("LauncherZeroVersion.exe")), "0.0.0.0");
}

TEST(QueryFileVersion, NoVersionResourceOrNoFileGivesZeroAndLeavesTheBuffer)
{
    char self[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, self, sizeof self);
    ASSERT_TRUE(length > 0 && length < sizeof self);
    EXPECT_EQ(version_of(self), "<none>");
    EXPECT_EQ(version_of(program("NoSuchProgram.exe")), "<none>");
    EXPECT_EQ(version_of("C:\\no\\such\\folder\\java.exe"), "<none>");
}

TEST(QueryFileVersion, CutsTheTextToTheBufferSize)
{
    char out[16];
    memset(out, 'x', sizeof out);
    EXPECT_EQ(query_file_version(program("LauncherMaxVersion.exe").c_str(), out, 6), 1);
    EXPECT_EQ(std::string(out), "65535");
    EXPECT_EQ(std::string(out + 6, sizeof out - 6), std::string(10, 'x'));
    EXPECT_EQ(query_file_version(program("Launcher.exe").c_str(), out, 8), 1);
    EXPECT_EQ(std::string(out), "1.2.1.0");
    EXPECT_EQ(query_file_version(program("Launcher.exe").c_str(), out, 0), 0);
}

// The whole version block of a program.
std::vector<char> version_block(const std::string& path)
{
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
    std::vector<char> block(size);
    if (size == 0 || !GetFileVersionInfoA(path.c_str(), handle, size, block.data()))
        block.clear();
    return block;
}

std::string string_value(std::vector<char>& block, const char* name)
{
    std::string key = std::string("\\StringFileInfo\\040904b0\\") + name;
    char* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(block.data(), key.c_str(), reinterpret_cast<void**>(&value), &length) ||
        !value)
        return "<missing>";
    return value;
}

TEST(VersionResource, LauncherCarriesItsVersionAndNames)
{
    std::vector<char> block = version_block(program("Launcher.exe"));
    ASSERT_FALSE(block.empty());
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010002u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00010000u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00010002u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0x00010000u);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));

    EXPECT_EQ(string_value(block, "CompanyName"), "Quorvel");
    EXPECT_EQ(string_value(block, "FileDescription"), "Quorvel Launcher");
    EXPECT_EQ(string_value(block, "FileVersion"), "1.2.1.0");
    EXPECT_EQ(string_value(block, "InternalName"), "Launcher");
    EXPECT_EQ(string_value(block, "OriginalFilename"), "Launcher.exe");
    EXPECT_EQ(string_value(block, "ProductName"), "Launcher");
    EXPECT_EQ(string_value(block, "ProductVersion"), "1.2.1.0");

    WORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(&translation), &length));
    ASSERT_EQ(length, 4u);
    EXPECT_EQ(translation[0], 0x0409);
    EXPECT_EQ(translation[1], 0x04b0);
}

TEST(VersionResource, OtherBuildsCarryTheirOwnVersionTexts)
{
    std::vector<char> block = version_block(program("LauncherMaxVersion.exe"));
    ASSERT_FALSE(block.empty());
    EXPECT_EQ(string_value(block, "FileVersion"), "65535.65535.65535.65535");
    EXPECT_EQ(string_value(block, "ProductVersion"), "65535.65535.65535.65535");
}

} // namespace
