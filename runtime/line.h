// Java lines: applications name the runtime build they were made for, and
// builds of one line replace each other while other lines keep runtimes of
// their own. The first runtime installed lives in the install root's java
// folder and keeps its line there; a build of any other line gets the
// folder runtimes\<line>\ beside it.
#pragma once

#include <cstddef>

// Line texts, NUL included: "1.8", "17".
enum { LINE_TEXT_SIZE = 16 };

// The line of a runtime's version (the text a build's archive name gives,
// or an installed java.exe's file version): its first two numbers when the
// first is 1 (1.8.0_181 gives 1.8), otherwise its first number (17.0.1.0
// gives 17), each without leading zeros. Returns 1 with the line in out, or
// 0 when version does not begin with a digit or the line does not fit
// (out is then ""); size 0 returns 0 and touches nothing.
int line_of_version(const char* version, char* out, size_t size);

#ifdef _WIN32
// Paths of a runtime folder, in MAX_PATH bytes each.
enum { LINE_PATH_SIZE = 260 };

// Which runtime a descriptor's build serves and where it lives.
struct LineRuntime {
    char line[LINE_TEXT_SIZE]; // "" when the build names no line
    char folder[LINE_PATH_SIZE]; // no final "\": the install root's java, or runtimes\<line>
    char java[LINE_PATH_SIZE];   // folder\bin\java.exe
};

// The runtime folder for the build that a descriptor's jre member names
// (null when it names none), by the version its name gives (as
// component_wanted_version takes it): the java folder when the build has
// no line, when java holds that line (by its java.exe's file version) or
// when java holds nothing readable and runtimes\<line> holds no runtime
// either (the first runtime named goes there); otherwise runtimes\<line>.
// The log says which, for a member given.
void line_runtime_for(const char* jre, LineRuntime* out);

// Removes each folder in runtimes\ whose name is none of the count lines
// named (letter case aside), whole: one in use (a program runs from it)
// stays as it is. Files there and the java folder are left alone. Each
// removal and each runtime kept is logged. Call under the components'
// mutex, after unpack_remove_leftovers.
void line_remove_unused(const char* const* named, int count);
#endif
