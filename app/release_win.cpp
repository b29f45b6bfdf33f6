// The commit of a launch's release over cache/commit, the descriptor kept
// aside, and the recovery of commits that a crash cut.
#include "app/release.h"

#include "base/log.h"
#include "base/utf8.h"
#include "base/paths.h"
#include "cache/cachefile.h"
#include "cache/commit.h"
#include "cache/stored_name.h"

#include <windows.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <set>
#include <vector>

namespace {

bool compose(char (&out)[COMMIT_PATH_SIZE], const char* first, const char* second)
{
    int needed = snprintf(out, sizeof out, "%s%s", first, second);
    return needed >= 0 && needed < static_cast<int>(sizeof out);
}

// The text after the last "\".
const char* file_name_of(const char* path)
{
    const char* slash = strrchr(path, '\\');
    return slash ? slash + 1 : path;
}

// Windows finds a file by its name in any letter case.
std::string folded(const char* name)
{
    std::string text = name;
    for (char& c : text)
        c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return text;
}

// The entries of the files whose bodies wait aside; false when a path
// does not fit (why says which).
bool file_entries(const ReleaseFolders* folders, const char* site_cache_folder,
                  const DownloadFile* files, int count, std::vector<CommitEntry>* entries,
                  std::string* why)
{
    std::set<std::string> names;
    for (int i = 0; i < count; i++) {
        const char* name = stored_name_of(files[i].url);
        if (!name || !stored_name_acceptable(name) || !names.insert(folded(name)).second)
            continue;
        CommitEntry entry;
        if (!compose(entry.staged, folders->staged, name) ||
            !compose(entry.target, site_cache_folder, name) ||
            !compose(entry.previous, folders->previous, name)) {
            *why = std::string(name) + ": its path does not fit";
            return false;
        }
        if (cache_file_exists(entry.staged))
            entries->push_back(entry);
    }
    return true;
}

} // namespace

int release_kept_descriptor_path(const char* copy_path, char* out, size_t size)
{
    int needed = snprintf(out, size, "%s%s", releases_descriptors, file_name_of(copy_path));
    return needed >= 0 && static_cast<size_t>(needed) < size;
}

int release_keep_descriptor(const char* copy_path, const PendingDescriptor* descriptor)
{
    char kept[COMMIT_PATH_SIZE];
    cache_file_make_folders(releases_descriptors);
    bool written = release_kept_descriptor_path(copy_path, kept, sizeof kept) &&
                   cache_file_write_whole(kept, descriptor->text.data(), descriptor->text.size());
    // Its time makes the next request for it conditional.
    if (written && descriptor->time)
        cache_file_set_time(kept, descriptor->time);
    if (!written)
        log_line("descriptor for %s cannot be kept aside", copy_path);
    return written;
}

int release_commit(const ReleaseFolders* folders, const char* site_cache_folder,
                   const DownloadFile* files, int count, const char* copy_path,
                   const PendingDescriptor* descriptor, DigestRecord* record, char* why,
                   size_t size)
{
    std::vector<CommitEntry> entries;
    std::string problem;
    if (!file_entries(folders, site_cache_folder, files, count, &entries, &problem)) {
        snprintf(why, size, "%s", problem.c_str());
        return -1;
    }
    if (descriptor->pending) {
        CommitEntry entry;
        if (!release_keep_descriptor(copy_path, descriptor) ||
            !release_kept_descriptor_path(copy_path, entry.staged, sizeof entry.staged) ||
            !compose(entry.target, copy_path, "") ||
            !compose(entry.previous, folders->previous_nlp, file_name_of(copy_path))) {
            snprintf(why, size, "the descriptor cannot be kept aside for %s", copy_path);
            return -1;
        }
        entries.push_back(entry);
    }
    if (entries.empty())
        return 1;
    cache_file_make_folders(folders->previous);
    cache_file_make_folders(folders->previous_nlp);
    int committed = commit_release(entries.data(), static_cast<int>(entries.size()),
                                   folders->journal, why, size);
    if (committed != 1)
        return committed;
    log_line("release committed into %s: %d file%s moved in", site_cache_folder,
             static_cast<int>(entries.size()), entries.size() == 1 ? "" : "s");
    for (int i = 0; i < count; i++) {
        const char* name = stored_name_of(files[i].url);
        if (name && files[i].sha256 && files[i].outcome == DOWNLOAD_FETCHED)
            digest_record_set(record, site_cache_folder, name, files[i].sha256);
    }
    return 1;
}

void release_cut_commits(StringList* sites)
{
    char pattern[COMMIT_PATH_SIZE];
    if (!compose(pattern, releases_root, "*"))
        return;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(utf8_widen(pattern).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        std::string name = utf8_narrow(found.cFileName);
        char journal[COMMIT_PATH_SIZE];
        char site[COMMIT_PATH_SIZE];
        bool folder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && name != "." &&
                      name != "..";
        int needed = snprintf(journal, sizeof journal, "%s%s\\journal", releases_root,
                              name.c_str());
        int named = snprintf(site, sizeof site, "%s%s\\", cache_root, name.c_str());
        if (folder && needed > 0 && needed < static_cast<int>(sizeof journal) && named > 0 &&
            named < static_cast<int>(sizeof site) && cache_file_exists(journal))
            string_list_add(site, sites);
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

void release_recover(const char* site_cache_folder)
{
    ReleaseFolders folders;
    if (!release_folders(site_cache_folder, &folders))
        return;
    char why[COMMIT_WHY_SIZE];
    int recovered = commit_recover(folders.journal, why, sizeof why);
    if (recovered > 0)
        log_line("the cut commit into %s was %s", site_cache_folder, why);
    else if (recovered < 0)
        log_line("the cut commit into %s stays: %s", site_cache_folder, why);
}
