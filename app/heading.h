// The name the progress window's heading gives the application: its
// descriptor's "title" when that is a text that is not empty, else the
// descriptor's own name (the last part of its path or URL, without
// ".nlp"). Portable.
#pragma once

#include "app/descriptor.h"

#include <cstddef>

// The heading for descriptor, opened as opened, into out (cut to fit size
// bytes at a whole character, always terminated).
void heading_text(const Descriptor* descriptor, const char* opened, char* out, size_t size);

// heading_text handed to the window (cache/tally.h).
void heading_publish(const Descriptor* descriptor, const char* opened);
