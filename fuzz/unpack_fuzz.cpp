// unpack_archive on any bytes as a zip file. Afterwards nothing outside the
// target folder has changed, no temporary file is left, and every file in
// the target folder is either an older file left as it was or the whole,
// sound data of an entry of that name (read back here through minizip with
// its size and CRC-32 checked). A readable jar is an archive it opens.
#include "cache/jar.h"
#include "fuzz/fuzz_files.h"
#include "runtime/unpack.h"

#include <unzip.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

const char OLD_NAME[] = "java/bin/java.exe";
const char OLD_DATA[] = "the runtime unpacked before";
const char OUTSIDE_DATA[] = "next to the target folder";

struct Entry {
    std::string name;
    bool sound;
    std::string data;
};

// Reads the current entry whole; sound when its size and CRC-32 hold.
bool read_entry(unzFile zip, uint64_t declared, std::string* data)
{
    if (unzOpenCurrentFile(zip) != UNZ_OK)
        return false;
    char buffer[16384];
    int got;
    while ((got = unzReadCurrentFile(zip, buffer, sizeof buffer)) > 0)
        data->append(buffer, static_cast<size_t>(got));
    bool closed = unzCloseCurrentFile(zip) == UNZ_OK;
    return got == 0 && closed && data->size() == declared;
}

std::vector<Entry> read_entries(const std::string& archive)
{
    std::vector<Entry> entries;
    unzFile zip = unzOpen64(archive.c_str());
    if (!zip)
        return entries;
    for (int moved = unzGoToFirstFile(zip); moved == UNZ_OK; moved = unzGoToNextFile(zip)) {
        char name[1024];
        unz_file_info64 info;
        if (unzGetCurrentFileInfo64(zip, &info, name, sizeof name, nullptr, 0, nullptr, 0) !=
            UNZ_OK)
            break;
        // The path the name stands for: "a//b" and "./a" are "a/b" and "a".
        Entry entry{std::filesystem::path(name).lexically_normal().string(), false, {}};
        entry.sound = read_entry(zip, info.uncompressed_size, &entry.data);
        entries.push_back(entry);
    }
    unzClose(zip);
    return entries;
}

bool named_folder(const std::vector<Entry>& entries, const std::string& folder)
{
    std::string bare = folder.substr(0, folder.size() - 1);
    return std::any_of(entries.begin(), entries.end(), [&](const Entry& e) {
        return e.name == folder || e.name == bare;
    });
}

bool sound_entry_holds(const std::vector<Entry>& entries, const std::string& name,
                       const std::string& data)
{
    return std::any_of(entries.begin(), entries.end(), [&](const Entry& e) {
        return e.sound && e.name == name && e.data == data;
    });
}

void check_target(const std::string& target, const std::vector<Entry>& entries)
{
    for (const std::string& name : fuzz_list(target)) {
        if (name.back() == '/') {
            if (name != "java/" && name != "java/bin/" && !named_folder(entries, name))
                abort();
            continue;
        }
        std::string data;
        if (!fuzz_read(target + name, &data))
            abort();
        bool older = name == OLD_NAME && data == OLD_DATA;
        if (!older && !sound_entry_holds(entries, name, data))
            abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string& scratch = fuzz_scratch();
    fuzz_empty(scratch);
    const std::string archive = scratch + "runtime.zip";
    const std::string target = scratch + "root/";
    fuzz_write(archive, data, size);
    if (mkdir(target.c_str(), 0700) != 0 || mkdir((target + "java").c_str(), 0700) != 0 ||
        mkdir((target + "java/bin").c_str(), 0700) != 0)
        abort();
    fuzz_write(scratch + "outside.txt", OUTSIDE_DATA, sizeof OUTSIDE_DATA - 1);
    fuzz_write(target + OLD_NAME, OLD_DATA, sizeof OLD_DATA - 1);

    int result = unpack_archive(archive.c_str(), target.c_str());
    if (result != 0 && result != 1)
        abort();
    // An archive that passes the check a jar must pass is one the unpacking
    // opens too.
    if (jar_readable(archive.c_str()) && result != 1)
        abort();

    // Beside the target folder: only what was there.
    std::vector<std::string> around;
    for (const std::string& name : fuzz_list(scratch)) {
        if (name.compare(0, 5, "root/") != 0)
            around.push_back(name);
    }
    std::string outside;
    if (around != std::vector<std::string>{"outside.txt", "runtime.zip"} ||
        !fuzz_read(scratch + "outside.txt", &outside) || outside != OUTSIDE_DATA)
        abort();
    std::vector<Entry> entries = read_entries(archive);
    if (result == 0 && fuzz_list(target) != std::vector<std::string>{"java/", "java/bin/",
                                                                       "java/bin/java.exe"})
        abort();
    check_target(target, entries);
    return 0;
}
