// The commit of a launch's release over cache/commit, the descriptor kept
// aside, and the recovery of commits that a crash cut.
#include "app/release.h"

#include "app/application.h"
#include "app/launch.h"
#include "base/fileutil.h"
#include "base/log.h"
#include "base/paths.h"
#include "cache/cachefile.h"
#include "cache/commit.h"
#include "cache/leftover.h"
#include "cache/stored_name.h"

#include <windows.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <vector>

namespace {

bool compose(char (&out)[COMMIT_PATH_SIZE], const char* first, const char* second)
{
    int needed = snprintf(out, sizeof out, "%s%s", first, second);
    return needed >= 0 && needed < static_cast<int>(sizeof out);
}

// Windows finds a file by its name in any letter case.
std::string folded(const char* name)
{
    std::string text = name;
    for (char& c : text)
        c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return text;
}

// The folded stored names of files[0, count) that are kept.
std::set<std::string> named(const DownloadFile* files, int count)
{
    std::set<std::string> names;
    for (int i = 0; i < count; i++) {
        const char* name = stored_name_of(files[i].url);
        if (name && stored_name_acceptable(name))
            names.insert(folded(name));
    }
    return names;
}

// The entries of the files whose bodies wait aside; false when a path
// does not fit (why says which).
bool file_entries(const Layout* layout, const DownloadFile* files, int count,
                  std::vector<CommitEntry>* entries, std::string* why)
{
    std::set<std::string> names;
    for (int i = 0; i < count; i++) {
        const char* name = stored_name_of(files[i].url);
        if (!name || !stored_name_acceptable(name) || !names.insert(folded(name)).second)
            continue;
        CommitEntry entry;
        if (!compose(entry.staged, layout->staged, name) ||
            !compose(entry.target, layout->site_cache_folder, name) ||
            !compose(entry.previous, layout->previous, name)) {
            *why = std::string(name) + ": its path does not fit";
            return false;
        }
        if (cache_file_exists(entry.staged))
            entries->push_back(entry);
    }
    return true;
}

// Removes what earlier commits left in folder, where it can.
void empty_folder(const char* folder)
{
    std::vector<std::string> files;
    file_list_names(folder, false, &files);
    for (const std::string& name : files)
        cache_file_remove((std::string(folder) + name).c_str());
}

} // namespace

int release_keep_descriptor(const Layout* layout, const PendingDescriptor* descriptor)
{
    cache_file_make_folders(layout->release_folder);
    bool written = cache_file_write_whole(layout->kept_descriptor, descriptor->text.data(),
                                          descriptor->text.size());
    // Its time makes the next request for it conditional.
    if (written && descriptor->time)
        cache_file_set_time(layout->kept_descriptor, descriptor->time);
    // A signature kept from an earlier descriptor is not this one's.
    written = written && (descriptor->signature.empty()
                              ? !cache_file_exists(layout->kept_signature) ||
                                    cache_file_remove(layout->kept_signature)
                              : cache_file_write_whole(layout->kept_signature,
                                                       descriptor->signature.data(),
                                                       descriptor->signature.size()));
    if (!written)
        log_line("descriptor for %s cannot be kept aside", layout->sites_copy);
    return written;
}

int release_commit(const Layout* layout, const DownloadFile* files, int count,
                   const PendingDescriptor* descriptor, DigestRecord* record, char* why,
                   size_t size)
{
    std::vector<CommitEntry> entries;
    std::string problem;
    if (!file_entries(layout, files, count, &entries, &problem)) {
        snprintf(why, size, "%s", problem.c_str());
        return -1;
    }
    if (descriptor->pending) {
        CommitEntry entry;
        if (!release_keep_descriptor(layout, descriptor) ||
            !compose(entry.staged, layout->kept_descriptor, "") ||
            !compose(entry.target, layout->sites_copy, "") ||
            !compose(entry.previous, layout->previous_copy, "")) {
            snprintf(why, size, "the descriptor cannot be kept aside for %s", layout->sites_copy);
            return -1;
        }
        entries.push_back(entry);
        // The signature moves in with the descriptor it signs.
        if (!descriptor->signature.empty()) {
            if (!compose(entry.staged, layout->kept_signature, "") ||
                !compose(entry.target, layout->sites_signature, "") ||
                !compose(entry.previous, layout->previous_copy, ".minisig")) {
                snprintf(why, size, "the signature cannot be kept for %s", layout->sites_copy);
                return -1;
            }
            entries.push_back(entry);
        }
    }
    if (entries.empty())
        return 1;
    // A journal there is an earlier commit's, not yet settled.
    if (cache_file_exists(layout->journal)) {
        snprintf(why, size, "an earlier commit into %s is not finished",
                 layout->site_cache_folder);
        return 0;
    }
    empty_folder(layout->previous);
    empty_folder(layout->previous_nlp);
    cache_file_make_folders(layout->previous);
    cache_file_make_folders(layout->previous_nlp);
    int committed = commit_release(entries.data(), static_cast<int>(entries.size()),
                                   layout->journal, why, size);
    if (committed != 1)
        return committed;
    // An unsigned descriptor leaves no signature of another beside it.
    if (descriptor->pending && descriptor->signature.empty() &&
        cache_file_exists(layout->sites_signature) && !cache_file_remove(layout->sites_signature))
        log_line("%s cannot be removed", layout->sites_signature);
    log_line("release committed into %s: %d file%s moved in", layout->site_cache_folder,
             static_cast<int>(entries.size()), entries.size() == 1 ? "" : "s");
    for (int i = 0; i < count; i++) {
        const char* name = stored_name_of(files[i].url);
        if (name && files[i].sha256 && files[i].outcome == DOWNLOAD_FETCHED)
            digest_record_set(record, layout->site_cache_folder, name, files[i].sha256);
    }
    return 1;
}

void release_tidy_staged(const Layout* layout, const DownloadFile* files, int count)
{
    std::set<std::string> names = named(files, count);
    // The releases kept aside name their bodies too.
    for (const char* path : {layout->kept_descriptor, layout->next_release}) {
        Descriptor kept;
        if (!cache_file_exists(path) || descriptor_load(path, &kept))
            continue;
        for (int i = 0; const char* item = descriptor_resource(&kept, i); i++) {
            char url[LAUNCH_URL_SIZE];
            const char* name =
                launch_resource_url(kept.codebase, item, url, sizeof url) ? stored_name_of(url) : nullptr;
            if (name)
                names.insert(folded(name));
        }
        descriptor_free(&kept);
    }
    std::vector<std::string> found;
    if (!file_list_names(layout->staged, false, &found))
        return;
    for (const std::string& name : found) {
        if (names.count(folded(name.c_str())) || leftover_is_temp_name(name.c_str()))
            continue;
        std::string path = std::string(layout->staged) + name;
        if (cache_file_remove(path.c_str()))
            log_line("%s: removed, no pending release names it", path.c_str());
    }
}

void release_cut_commits(std::vector<std::string>* folders)
{
    std::vector<std::string> found;
    file_list_names(releases_root, true, &found);
    for (const std::string& name : found) {
        Layout layout;
        if (layout_make(name.c_str(), nullptr, &layout) && cache_file_exists(layout.journal)) {
            layout_hide_credentials(name.c_str());
            folders->push_back(name);
        }
    }
}

int release_lock_name(const char* folder_name, char* out, size_t size)
{
    Layout layout;
    if (!layout_make(folder_name, nullptr, &layout))
        return 0;
    int length = 0;
    char* text = read_whole_file(layout.record, &length);
    char identity[LAYOUT_IDENTITY_SIZE];
    char copy[LAYOUT_PATH_SIZE];
    bool read = text && application_record_parse(std::string(text, static_cast<size_t>(length)),
                                                  identity, sizeof identity, copy, sizeof copy);
    free(text);
    return read && layout_lock_name(identity, out, size);
}

void release_recover(const char* folder_name)
{
    Layout layout;
    if (!layout_make(folder_name, nullptr, &layout))
        return;
    char why[COMMIT_WHY_SIZE];
    int recovered = commit_recover(layout.journal, why, sizeof why);
    if (recovered > 0)
        log_line("the cut commit of %s was %s", folder_name, why);
    else if (recovered < 0)
        log_line("the cut commit of %s stays: %s", folder_name, why);
}
