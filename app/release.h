// A release is one descriptor and the files it names. A launch brings a
// new release's bodies (and a new descriptor) into the application's
// staged folder first, checked, and commits them into its site cache
// folder and sites copy together once every file is in hand; otherwise the
// previous release, the sites copy and its files as they stood, starts.
// Where each of these lies is the application's layout (cache/layout.h).
#pragma once

#include "app/descriptor.h"
#include "cache/digest_record.h"
#include "cache/download.h"
#include "cache/layout.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Whether descriptor's release is whole in the layout's site cache folder:
// every resource's file (under its stored name) is there, and each pinned
// one has its digest (read through record). On 0, missing names the first
// file that is not (size bytes).
int release_whole(const Descriptor* descriptor, const Layout* layout, DigestRecord* record,
                  char* missing, size_t size);

// The first resource of descriptor whose stored name does not fit the
// layout (layout_resource_fits), into name: 1, or 0 when every one fits.
int release_name_too_long(const Descriptor* descriptor, const Layout* layout, char* name,
                          size_t size);

// A descriptor that joins its release: it is not the sites copy (opened
// from elsewhere, or fetched), so it goes into the sites folder with the
// release's files.
struct PendingDescriptor {
    bool pending = false;
    std::string text;  // its bytes
    int64_t time = 0;  // its modification time: the server's Last-Modified
    std::string signature;  // its publisher's minisign signature file, "" when none
};

#ifdef _WIN32
// Keeps descriptor aside in the layout's release folder, whole (its time
// kept), with its signature (or none), so a later launch revalidates that
// one. 1 or 0 (logged).
int release_keep_descriptor(const Layout* layout, const PendingDescriptor* descriptor);

// Commits the launch's release: every file of files[0, count) whose body
// waits in the staged folder under its stored name (each name once), and
// the pending descriptor, if any, over the sites copy. A pinned file moved
// in is recorded in record with its pinned digest. Nothing is begun while
// a journal is there or a previous place holds a file that cannot be
// removed (0). The descriptor's signature moves in beside the sites copy
// with it, or a signature there goes when it has none. Returns commit_release's result (1, 0, -1), 1 also when
// nothing waited; why says what held it back.
int release_commit(const Layout* layout, const DownloadFile* files, int count,
                   const PendingDescriptor* descriptor, DigestRecord* record, char* why,
                   size_t size);

// Removes from the staged folder every body that neither files[0, count)
// nor a release kept aside (its descriptor, or the next release) names:
// those of releases that never became whole. Leaves temporary files of
// downloads that still run.
void release_tidy_staged(const Layout* layout, const DownloadFile* files, int count);

// The names of the release folders that hold a journal: commits that a
// crash or a power loss cut, or whose previous files are still to remove.
void release_cut_commits(std::vector<std::string>* folders);

// The mutex name of the release folder folder_name: its application's
// (layout_lock_name of the identity its record names). 1, or 0 when it has
// no record that reads.
int release_lock_name(const char* folder_name, char* out, size_t size);

// Finishes or undoes the cut commit of release folder folder_name
// (commit_recover), logging what happened. Call under its mutex.
void release_recover(const char* folder_name);
#endif
