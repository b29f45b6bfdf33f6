#include "tests/support/jar_maker.h"

#include <cstdint>

namespace {

uint32_t crc32_of(const std::string& data)
{
    uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char byte : data) {
        crc ^= byte;
        for (int bit = 0; bit < 8; bit++)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void put16(std::string* out, uint32_t value)
{
    out->push_back(static_cast<char>(value & 0xFF));
    out->push_back(static_cast<char>((value >> 8) & 0xFF));
}

void put32(std::string* out, uint32_t value)
{
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}

// The fields local and central headers share: version needed, flags,
// method (stored), time, date (1980-01-01), CRC, sizes, name length.
void common(std::string* out, const std::string& name, const std::string& content)
{
    put16(out, 20);
    put16(out, 0);
    put16(out, 0);
    put16(out, 0);
    put16(out, 0x21);
    put32(out, crc32_of(content));
    put32(out, static_cast<uint32_t>(content.size()));
    put32(out, static_cast<uint32_t>(content.size()));
    put16(out, static_cast<uint32_t>(name.size()));
}

} // namespace

std::string make_zip(const std::vector<std::pair<std::string, std::string>>& entries)
{
    std::string zip;
    std::string directory;
    for (const auto& [name, content] : entries) {
        uint32_t offset = static_cast<uint32_t>(zip.size());
        put32(&zip, 0x04034b50);
        common(&zip, name, content);
        put16(&zip, 0);
        zip += name + content;
        put32(&directory, 0x02014b50);
        put16(&directory, 20);
        common(&directory, name, content);
        for (int field = 0; field < 4; field++)  // extra, comment, disk, internal attributes
            put16(&directory, 0);
        put32(&directory, 0);
        put32(&directory, offset);
        directory += name;
    }
    uint32_t directory_offset = static_cast<uint32_t>(zip.size());
    zip += directory;
    put32(&zip, 0x06054b50);
    put16(&zip, 0);
    put16(&zip, 0);
    put16(&zip, static_cast<uint32_t>(entries.size()));
    put16(&zip, static_cast<uint32_t>(entries.size()));
    put32(&zip, static_cast<uint32_t>(directory.size()));
    put32(&zip, directory_offset);
    put16(&zip, 0);
    return zip;
}

std::string make_jar(const std::string& name, const std::string& content)
{
    return make_zip({{name, content}});
}
