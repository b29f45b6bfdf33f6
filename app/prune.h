// Which files of a site cache folder stay after a launch: those that its
// application's descriptor names as a resource or as its shortcuts' icon.
// Java's class path is every jar of the folder, so a jar that a new release
// no longer names would stay on it beside its successor.
#pragma once

#include "app/descriptor.h"
#include "net/string_list.h"

// Adds to names the name under which the download stores each resource of
// descriptor and its shortcuts' icon (stored_name_of its URL; a name that
// stored_name_acceptable refuses is never stored and is left out).
// Returns 1, or -1 when memory ran out: names then lacks some and must not
// decide anything.
int prune_names_add(const Descriptor* descriptor, StringList* names);

// 1 when names holds name as Windows compares file names: letter case
// aside (ASCII letters, as the site folders' mutex compares them), and
// trailing dots and blanks dropped.
int prune_names_hold(const StringList* names, const char* name);

// Adds to lines the Java line of the runtime build that descriptor names
// (runtime/line.h), when it names one that has a line. Returns 1, or 0 when
// memory ran out: lines then lacks one and must not decide anything.
int prune_lines_add(const Descriptor* descriptor, StringList* lines);

#ifdef _WIN32
// Removes from site_cache_folder every file that own (the descriptor of
// the release that starts) does not name. Temporary download files are
// left alone, and so is a file that cannot be removed (a running
// application holds it), for the next launch to try again. Each removal
// and refusal is logged. A folder that is not one right below the cache
// root is left alone. Call under the application's mutex with the
// resources in the cache.
void prune_site_cache_folder(const char* site_cache_folder, const Descriptor* own);

// Removes each runtime line folder (runtimes\<line>\) that neither own nor
// any descriptor in the sites folder names, unless it is in use; one that
// cannot be read or parsed names nothing. When the sites folder cannot be
// listed whole nothing is removed. The java folder is never removed here.
// Call under the components' mutex.
void prune_runtime_lines(const Descriptor* own);
#endif
