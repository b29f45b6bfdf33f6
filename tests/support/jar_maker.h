// Jars as a server sends them: zip archives with stored (uncompressed)
// entries, made in memory for the tests' servers and cached copies.
#pragma once

#include <string>
#include <utility>
#include <vector>

// A zip archive holding entries (name, content) in order.
std::string make_zip(const std::vector<std::pair<std::string, std::string>>& entries);

// A jar of one entry, name, whose content is content.
std::string make_jar(const std::string& name, const std::string& content);
