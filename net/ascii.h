// Letter-case-blind comparison of ASCII protocol text (header names, URL
// schemes, proxy settings), whatever the C locale says.
#pragma once

// 1 when a and b are equal letters ignoring case, or the same character.
int ascii_same_letter(char a, char b);

// 1 when text begins with prefix, letter case ignored; a text shorter than
// prefix is read only up to its NUL.
int ascii_starts_with(const char* text, const char* prefix);

// 1 when a and b are the same text, letter case ignored.
int ascii_equal(const char* a, const char* b);
