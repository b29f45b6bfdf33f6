#include "cache/digest_record.h"

#include "base/fileutil.h"
#include "cache/cachefile.h"

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

namespace {

struct Recorded {
    std::string name;
    int64_t size;
    int64_t time;
    std::string hex;
};

// "<hex> <size> <time> <name>": false when the line is not of that form.
bool parse_line(const std::string& line, Recorded* out)
{
    char hex[DIGEST_HEX_SIZE];
    long long size = 0;
    long long time = 0;
    int used = 0;
    if (line.size() < DIGEST_HEX_SIZE || line[DIGEST_HEX_SIZE - 1] != ' ')
        return false;
    memcpy(hex, line.data(), DIGEST_HEX_SIZE - 1);
    hex[DIGEST_HEX_SIZE - 1] = '\0';
    const char* rest = line.c_str() + DIGEST_HEX_SIZE;
    if (!digest_is_sha256(hex) || sscanf(rest, "%lld %lld %n", &size, &time, &used) != 2 ||
        size < 0 || used == 0 || rest[used] == '\0' || rest[used - 1] != ' ')
        return false;
    *out = {rest + used, size, time, hex};
    return out->name.find('\0') == std::string::npos;
}

} // namespace

struct DigestRecord {
    std::vector<Recorded> files;
    bool changed = false;
};

namespace {

Recorded* find(DigestRecord* record, const char* name)
{
    for (Recorded& file : record->files) {
        if (file.name == name)
            return &file;
    }
    return nullptr;
}

bool path_of(const char* folder, const char* name, char (&path)[FILEUTIL_PATH_SIZE])
{
    int needed = snprintf(path, sizeof path, "%s%s", folder, name);
    return needed >= 0 && needed < static_cast<int>(sizeof path);
}

} // namespace

DigestRecord* digest_record_parse(const char* text, size_t size)
{
    DigestRecord* record = new (std::nothrow) DigestRecord();
    if (!record)
        return nullptr;
    std::string all(text, size);
    for (size_t at = 0, end; (end = all.find('\n', at)) != std::string::npos; at = end + 1) {
        std::string line = all.substr(at, end - at);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        Recorded file;
        if (parse_line(line, &file) && !find(record, file.name.c_str()))
            record->files.push_back(file);
    }
    return record;
}

DigestRecord* digest_record_load(const char* path)
{
    int length = 0;
    char* text = read_whole_file(path, &length);
    DigestRecord* record = digest_record_parse(text ? text : "", text ? length : 0);
    free(text);
    return record;
}

void digest_record_free(DigestRecord* record)
{
    delete record;
}

int digest_record_file(DigestRecord* record, const char* folder, const char* name,
                       char (&hex)[DIGEST_HEX_SIZE])
{
    hex[0] = '\0';
    char path[FILEUTIL_PATH_SIZE];
    int64_t size = 0;
    int64_t time = 0;
    if (!path_of(folder, name, path) || !cache_file_status(path, &size, &time))
        return 0;
    const Recorded* known = find(record, name);
    if (known && known->size == size && known->time == time) {
        snprintf(hex, sizeof hex, "%s", known->hex.c_str());
        return 1;
    }
    if (!digest_sha256_file(path, hex))
        return 0;
    digest_record_set(record, folder, name, hex);
    return 1;
}

void digest_record_set(DigestRecord* record, const char* folder, const char* name,
                       const char* hex)
{
    char path[FILEUTIL_PATH_SIZE];
    int64_t size = 0;
    int64_t time = 0;
    if (!path_of(folder, name, path) || !cache_file_status(path, &size, &time))
        return;
    Recorded* known = find(record, name);
    if (!known) {
        record->files.push_back({name, 0, 0, ""});
        known = &record->files.back();
    }
    *known = {name, size, time, hex};
    record->changed = true;
}

int digest_record_save(DigestRecord* record, const char* path)
{
    if (!record->changed)
        return 1;
    std::string text;
    for (const Recorded& file : record->files) {
        char numbers[64];
        snprintf(numbers, sizeof numbers, " %" PRId64 " %" PRId64 " ", file.size, file.time);
        text += file.hex + numbers + file.name + "\r\n";
    }
    if (!cache_file_write_whole(path, text.data(), text.size()))
        return 0;
    record->changed = false;
    return 1;
}
