#include "tests/support/tempdir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <random>
#include <sstream>

TempDir::TempDir()
{
    std::random_device random;
    for (;;) {
        std::ostringstream name;
        name << "quorvel-test-" << std::hex << random() << random();
        path = std::filesystem::temp_directory_path() / name.str();
        if (std::filesystem::create_directory(path))
            return;
    }
}

TempDir::~TempDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
}

std::string TempDir::file(const std::string& name) const
{
    return (path / name).string();
}

std::string TempDir::folder() const
{
    return (path / "").string();
}

void write_file(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    ASSERT_TRUE(out.good()) << "cannot write " << path;
}

std::string read_file(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return "<missing>";
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string pattern(size_t size)
{
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; i++)
        bytes[i] = static_cast<char>((i * 131 + i / 256) & 0xFF);
    return bytes;
}

std::set<std::string> names_in(const TempDir& dir)
{
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path))
        names.insert(entry.path().filename().string());
    return names;
}

std::set<std::string> listing(const std::string& folder)
{
    std::set<std::string> names;
    for (const auto& item : std::filesystem::recursive_directory_iterator(folder))
        names.insert(std::filesystem::relative(item.path(), folder).generic_string());
    return names;
}
