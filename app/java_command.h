// The checked pieces of Java's command line: the main class, the options
// for the runtime as an administrator's list of sites lets them through,
// and the quoting of a piece the launcher composes. Windows hands a process
// one text that the program splits into arguments by the C runtime's rules
// (blanks and tabs part them outside quotation marks; backslashes escape a
// quotation mark only), so a piece is only as safe as its quoting.
#pragma once

#include <cstddef>

// Bound of an option's text in the refusal, terminator included.
enum { JAVA_OPTION_SIZE = 128 };

// 1 when text is a Java class name: identifiers (letters, digits, "_" and
// "$", not starting with a digit; any non-ASCII byte counts as a letter)
// separated by single dots, optionally after a module name of the same form
// and one "/". 0 for anything else, an empty text, a blank or a "-" above all.
int java_command_class_valid(const char* text);

// text as one argument by the C runtime's rules into out: as it stands when
// it is not empty and holds no blank, tab or quotation mark; otherwise in
// quotation marks, each quotation mark escaped and the backslashes before
// one (or before the closing mark) doubled. Returns 1, or 0 when it does
// not fit size bytes (out then "").
int java_command_quote(const char* text, char* out, size_t size);

// The options an administrator's list lets a descriptor give the runtime:
// those that cannot reach outside the application's own files. Allowed are
// "-D" properties except those that name code, libraries, security or
// logging set-up or key stores to load; "-Xmx", "-Xms", "-Xss" and "-Xmn"
// with a size; "-ea", "-da", "-esa", "-dsa" and their long forms, with a
// package or class after ":"; "-XX:+Flag", "-XX:-Flag" and "-XX:Flag=" a
// number (with k, m, g or t, or a "%"); "--add-opens", "--add-exports",
// "--add-modules", "--enable-native-access" with a value of module and
// package names (after "=" or as the next option); "-server", "-client".
// Splits vmargs by the C runtime's rules and checks each option; an option
// holding a quotation mark, or a text ending inside quotation marks, is
// refused. Returns 1 with out (size bytes) holding the options again, each
// quoted by java_command_quote, so Java reads exactly what was checked; 0
// with the first refused option in refused (cut to refused_size), or with
// refused "" when out is too small.
int java_command_check_vmargs(const char* vmargs, char* out, size_t size, char* refused,
                              size_t refused_size);
