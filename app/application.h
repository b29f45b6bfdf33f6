// The applications the launcher keeps: each known by its identity and
// holding a folder name and a sites copy name of its own (cache/layout.h),
// written in its record when it is first launched. Installations of
// earlier builds, which named a site cache folder after the code base and
// a sites copy after the descriptor, are taken over as they stand: the
// first application that names that folder, and the one that copy
// describes, take them.
#pragma once

#include "app/descriptor.h"
#include "cache/layout.h"

#include <cstddef>
#include <string>

struct Application {
    char identity[LAYOUT_IDENTITY_SIZE];
    Layout layout;
};

// The identity of descriptor when its file is (or was, before it was kept)
// named file_name. 1, or 0 when it does not fit.
int application_identity(const Descriptor* descriptor, const char* file_name, char* out,
                         size_t size);

// A record's text and back: "quorvel application", the identity and the
// sites copy's name, one a line.
std::string application_record_text(const char* identity, const char* copy_name);
// 1 with both fields when text is a whole record that fits, else 0.
int application_record_parse(const std::string& text, char* identity, size_t identity_size,
                             char* copy_name, size_t copy_size);

#ifdef _WIN32
// The application of identity, when a record names it: 1 with *out filled;
// 0 when none does or its paths no longer fit.
int application_find(const char* identity, Application* out);

// The identity of the application whose sites copy is named copy_name
// (compared as Windows compares names): 1, or 0 when no record names it.
int application_of_copy(const char* copy_name, char* identity, size_t size);

// Finds identity's application, or makes it: the first folder name of
// codebase (cache/layout.h) and the first copy name of wanted_copy that no
// other application holds, each taken over when an earlier build left it
// and it is that application's (an unclaimed folder; a copy that describes
// identity); then writes its record. Call under LAUNCH_DESCRIPTORS_LOCK.
// 1; 0 when no paths fit (too long), -1 when the record cannot be written.
int application_claim(const char* identity, const char* codebase, const char* wanted_copy,
                      Application* out);
#endif
