// Scratch files of the fuzz targets: one private folder per process, made on
// first use below $TMPDIR (or /tmp) and emptied between inputs. Failures of
// the machine itself (a full disk) abort: they are not findings.
#pragma once

#include <string>
#include <vector>

// The process's scratch folder, ending in "/".
const std::string& fuzz_scratch();

// Writes size bytes to path, replacing it; aborts on failure.
void fuzz_write(const std::string& path, const void* data, size_t size);

// The whole file at path; false when it cannot be read.
bool fuzz_read(const std::string& path, std::string* contents);

// Every entry below folder (which ends in "/"), as paths relative to it,
// folders with a trailing "/", sorted.
std::vector<std::string> fuzz_list(const std::string& folder);

// Removes everything below folder, keeping folder itself.
void fuzz_empty(const std::string& folder);
