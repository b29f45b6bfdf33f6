// Java lines: applications name the runtime build they were made for, and
// builds of one line replace each other while other lines keep runtimes of
// their own. The first runtime installed lives in the install root's java
// folder and keeps its line there; a build of any other line gets the
// folder runtimes\<line>\ beside it.
#pragma once

#include "runtime/java_version.h"
#include "runtime/version.h"

#include <cstddef>

// Line texts, NUL included: "1.8", "17".
enum { LINE_TEXT_SIZE = 16 };

// The line of the runtime build a descriptor's jre member names, by the
// version its archive name carries (java_version_of_archive): "1.8" for
// jre-1.8.0_181.zip and jre-8u181.zip alike, "17" for jre-17.0.1.0.zip.
// Returns 1 with the line in out, or 0 when the name carries no version or
// the line does not fit (out is then ""); size 0 returns 0 and touches
// nothing.
int line_of_member(const char* jre, char* out, size_t size);

#ifdef _WIN32
// Paths of a runtime folder, in MAX_PATH bytes each.
enum { LINE_PATH_SIZE = 260 };

// Which runtime a descriptor's build serves and where it lives.
struct LineRuntime {
    char line[LINE_TEXT_SIZE]; // "" when the build names no line
    char folder[LINE_PATH_SIZE]; // no final "\": the install root's java, or runtimes\<line>
    char java[LINE_PATH_SIZE];   // folder\bin\java.exe
    // The build's version as its archive name writes it; wanted_known 0
    // when no build is named.
    int wanted_known;
    JavaVersion wanted;
    char wanted_text[VERSION_TEXT_SIZE];
};

// The runtime folder for the build that a descriptor's jre member names
// (null when it names none), by the line of the version its name gives:
// the java folder when the build has no line, when java holds that line
// (runtime/installed.h: as it was installed, else by what it says it is)
// or when nothing is known of java and runtimes\<line> holds no runtime
// either (the first runtime named goes there); otherwise runtimes\<line>.
// The log says which, for a member given.
void line_runtime_for(const char* jre, LineRuntime* out);

// 1 when the build runtime wants is to be fetched over what its folder
// holds (installed_needs_update), else 0, 0 too when it wants none. The log
// says what was compared and the decision.
int line_runtime_needs_update(const LineRuntime* runtime);

// Removes each folder in runtimes\ whose name is none of the count lines
// named (letter case aside), whole: one in use (a program runs from it)
// stays as it is. Files there and the java folder are left alone. Each
// removal and each runtime kept is logged. Call under the components'
// mutex, after unpack_remove_leftovers.
void line_remove_unused(const char* const* named, int count);
#endif
