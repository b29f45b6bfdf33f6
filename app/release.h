// A release is one descriptor and the files it names. A launch brings a
// new release's bodies (and a new descriptor) into the site's release
// folder first, checked, and commits them into the site cache folder and
// the sites folder together once every file is in hand; otherwise the
// previous release, the sites copy and its files as they stood, starts.
//
// The release folder of a site, below the releases root, is named as its
// site cache folder is below the cache root:
//   staged\        bodies fetched and checked, kept aside until the commit
//   previous\      the cache's files a commit replaces, while it runs
//   previous-nlp\  the sites copy a commit replaces, while it runs
//   journal        a commit in progress (cache/commit.h)
//   digests        the site's digest record (cache/digest_record.h)
// A descriptor kept aside waits in the releases root's nlp\ folder under
// its sites copy's name.
#pragma once

#include "app/descriptor.h"
#include "cache/digest_record.h"
#include "cache/download.h"
#include "net/string_list.h"

#include <cstddef>
#include <cstdint>
#include <string>

enum { RELEASE_PATH_SIZE = 272 };

struct ReleaseFolders {
    char root[RELEASE_PATH_SIZE];      // the site's release folder, ending in "\"
    char staged[RELEASE_PATH_SIZE];
    char previous[RELEASE_PATH_SIZE];
    char previous_nlp[RELEASE_PATH_SIZE];
    char journal[RELEASE_PATH_SIZE];
    char digests[RELEASE_PATH_SIZE];
};

// The release folders of site_cache_folder (a folder right below the cache
// root, ending in "\"). 1, or 0 when it is no such folder or a path does not
// fit.
int release_folders(const char* site_cache_folder, ReleaseFolders* out);

// Whether descriptor's release is whole in site_cache_folder: every
// resource's file (under its stored name) is there, and each pinned one has
// its digest (read through record). On 0, missing names the first file that
// is not (size bytes).
int release_whole(const Descriptor* descriptor, const char* site_cache_folder,
                  DigestRecord* record, char* missing, size_t size);

// A descriptor that joins its release: it is not the sites copy (opened
// from elsewhere, or fetched), so it goes into the sites folder with the
// release's files.
struct PendingDescriptor {
    bool pending = false;
    std::string text;  // its bytes
    int64_t time = 0;  // its modification time: the server's Last-Modified
};

#ifdef _WIN32
// The descriptor kept aside for the sites copy at copy_path: the releases
// root's nlp\ folder and the copy's file name. 1, or 0 when it does not fit.
int release_kept_descriptor_path(const char* copy_path, char* out, size_t size);

// Keeps descriptor aside for the sites copy at copy_path, whole (its time
// kept), so a later launch revalidates that one. 1 or 0 (logged).
int release_keep_descriptor(const char* copy_path, const PendingDescriptor* descriptor);

// Commits the launch's release into site_cache_folder: every file of
// files[0, count) whose body waits in folders->staged under its stored name
// (each name once), and the pending descriptor, if any, over copy_path.
// A pinned file moved in is recorded in record with its pinned digest.
// Returns commit_release's result (1, 0, -1), 1 also when nothing waited;
// why says what held it back.
int release_commit(const ReleaseFolders* folders, const char* site_cache_folder,
                   const DownloadFile* files, int count, const char* copy_path,
                   const PendingDescriptor* descriptor, DigestRecord* record, char* why,
                   size_t size);

// Adds to sites the site cache folder of every release folder that holds a
// journal: a commit that a crash or a power loss cut.
void release_cut_commits(StringList* sites);

// Finishes or undoes the cut commit of site_cache_folder (commit_recover),
// logging what happened. Call under the site's mutex.
void release_recover(const char* site_cache_folder);
#endif
