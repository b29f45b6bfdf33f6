// The applications' records in their release folders, found by a listing
// of the releases root: a few dozen small files at most.
#include "app/application.h"

#include "base/fileutil.h"
#include "base/log.h"
#include "base/paths.h"
#include "cache/cachefile.h"

#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

// What one record holds, with the folder it lies in.
struct Record {
    std::string folder;
    char identity[LAYOUT_IDENTITY_SIZE];
    char copy_name[LAYOUT_PATH_SIZE];
};

bool read_record(const std::string& folder, Record* out)
{
    Layout layout;
    if (!layout_make(folder.c_str(), nullptr, &layout))
        return false;
    int length = 0;
    char* text = read_whole_file(layout.record, &length);
    bool read = text && application_record_parse(std::string(text, static_cast<size_t>(length)),
                                                  out->identity, sizeof out->identity,
                                                  out->copy_name, sizeof out->copy_name);
    free(text);
    out->folder = folder;
    return read;
}

// Every record there is; false when the releases root cannot be listed
// whole, so no name is taken that a record not seen may hold.
bool read_records(std::vector<Record>* records)
{
    std::vector<std::string> folders;
    if (!file_list_names(releases_root, true, &folders))
        return false;
    for (const std::string& folder : folders) {
        Record record;
        if (read_record(folder, &record))
            records->push_back(record);
    }
    return true;
}

bool fill(const char* identity, const char* folder, const char* copy_name, Application* out)
{
    snprintf(out->identity, sizeof out->identity, "%s", identity);
    layout_hide_credentials(folder);
    return layout_make(folder, copy_name, &out->layout) != 0;
}

bool folder_held(const std::vector<Record>& records, const char* folder)
{
    for (const Record& record : records)
        if (layout_same_name(record.folder.c_str(), folder))
            return true;
    return false;
}

// A copy name another application's record holds, or an earlier build's
// copy there that describes another application (or none that reads).
bool copy_held(const std::vector<Record>& records, const char* identity, const char* name)
{
    for (const Record& record : records)
        if (layout_same_name(record.copy_name, name))
            return true;
    std::string path = std::string(sites_folder) + name;
    if (!cache_file_exists(path.c_str()))
        return false;
    Descriptor descriptor;
    if (descriptor_load(path.c_str(), &descriptor))
        return true;
    char described[LAYOUT_IDENTITY_SIZE];
    bool other = !application_identity(&descriptor, name, described, sizeof described) ||
                 strcmp(described, identity) != 0;
    descriptor_free(&descriptor);
    return other;
}

// Bounds the names tried for one application.
enum { MOST_NAMES = 100 };

} // namespace

int application_find(const char* identity, Application* out)
{
    std::vector<Record> records;
    read_records(&records);
    for (const Record& record : records)
        if (strcmp(record.identity, identity) == 0)
            return fill(identity, record.folder.c_str(), record.copy_name, out) ? 1 : 0;
    return 0;
}

int application_of_copy(const char* copy_name, char* identity, size_t size)
{
    std::vector<Record> records;
    read_records(&records);
    for (const Record& record : records)
        if (layout_same_name(record.copy_name, copy_name))
            return snprintf(identity, size, "%s", record.identity) < static_cast<int>(size);
    return 0;
}

int application_claim(const char* identity, const char* codebase, const char* wanted_copy,
                      Application* out)
{
    std::vector<Record> records;
    if (!read_records(&records)) {
        log_line("the releases folder %s cannot be listed whole", releases_root);
        return -1;
    }
    for (const Record& record : records)
        if (strcmp(record.identity, identity) == 0)
            return fill(identity, record.folder.c_str(), record.copy_name, out) ? 1 : 0;
    char host[LAYOUT_PATH_SIZE];
    layout_identity_host(identity, host, sizeof host);
    char folder[LAYOUT_PATH_SIZE] = "";
    char copy[LAYOUT_PATH_SIZE] = "";
    // A name no folder may have (a code base of "..") goes on to the next.
    Layout probe;
    for (int n = 1; n <= MOST_NAMES && !folder[0]; n++)
        if (layout_folder_name(codebase, n, folder, sizeof folder) &&
            (folder_held(records, folder) || !layout_make(folder, nullptr, &probe)))
            folder[0] = '\0';
    for (int n = 1; n <= MOST_NAMES && !copy[0]; n++)
        if (layout_copy_name(wanted_copy, host, n, copy, sizeof copy) &&
            copy_held(records, identity, copy))
            copy[0] = '\0';
    if (!folder[0] || !copy[0] || !fill(identity, folder, copy, out))
        return 0;
    std::string text = application_record_text(identity, copy);
    cache_file_make_folders(out->layout.release_folder);
    if (!cache_file_write_whole(out->layout.record, text.data(), text.size())) {
        log_line("the application record %s cannot be written", out->layout.record);
        return -1;
    }
    log_line("application %s: folder %s, sites copy %s", identity, folder, copy);
    return 1;
}
