// What an installed runtime is: the version it says it is (its release
// file, which every Java image since 8 carries, else its java.exe's file
// version) and the version the launcher installed it as, recorded in the
// runtime's folder (runtime/unpack.h). A build is fetched only when it is
// newer than both, so an archive whose name and contents disagree is still
// installed once.
#pragma once

#include "runtime/java_version.h"
#include "runtime/version.h"

#include <cstddef>

struct InstalledRuntime {
    int own_known;                    // the runtime says its version
    JavaVersion own;
    char own_text[VERSION_TEXT_SIZE]; // as it says it
    const char* own_source;           // "release", "file version"; "" when unknown
    int recorded_known;               // the launcher installed it
    JavaVersion recorded;
    char recorded_text[VERSION_TEXT_SIZE];
};

// The version a release file's text gives: JAVA_RUNTIME_VERSION="..."
// (which holds the build), else JAVA_VERSION="...", each on a line of its
// own. 1 with the version in out and its text in text (cut to size - 1,
// terminated; size 0 writes none); 0 when neither is there and parses.
int installed_release_version(const char* release, JavaVersion* out, char* text, size_t size);

// 1 when a build of version wanted is to be fetched over installed: nothing
// of it is known, or wanted is newer than each version known of it.
int installed_needs_update(const JavaVersion* wanted, const InstalledRuntime* installed);

// The line the runtime holds (java_version_line): the one it was installed
// as, else its own. 1 with the line in out; 0 when nothing is known of it
// (out "").
int installed_line(const InstalledRuntime* installed, char* out, size_t size);

#ifdef _WIN32
// Reads what is known of the runtime in folder (no final "\"): its record,
// its release file, and its bin\java.exe's file version when it has no
// release file that gives a version.
void installed_read(const char* folder, InstalledRuntime* out);
#endif
