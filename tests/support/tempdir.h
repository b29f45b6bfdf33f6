// A folder of the test's own under the system's temporary folder, removed
// with everything in it when the test ends. Portable: the same tests run
// natively and under Wine.
#pragma once

#include <filesystem>
#include <set>
#include <string>

struct TempDir {
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // The path of name inside the folder, in the platform's own form.
    std::string file(const std::string& name) const;
    // The folder's path with the platform's separator at its end.
    std::string folder() const;

    std::filesystem::path path;
};

// Writes bytes to a file, replacing it; fails the test when it cannot.
void write_file(const std::string& path, const std::string& bytes);
// The file's bytes, or "<missing>" when it cannot be read.
std::string read_file(const std::string& path);

// size bytes of every value, NUL and CR LF included, in a fixed order: test
// data that nothing may translate or cut.
std::string pattern(size_t size);

// The names of the entries directly in the folder.
std::set<std::string> names_in(const TempDir& dir);
// Everything below folder, as relative paths with "/".
std::set<std::string> listing(const std::string& folder);
