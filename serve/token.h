// Small scanners over request text. They cut the text in place (a delimiter
// or line end becomes a NUL) and copy nothing.
#pragma once

// Returns the text *cursor points to and cuts it at its first character that
// occurs in delimiters: that character becomes a NUL and *cursor moves past
// it. When the text holds no delimiter, *cursor becomes null. A null *cursor
// yields null and stays null.
char* split_token(char** cursor, const char* delimiters);

// Ends text at its first carriage return or line feed, which becomes a NUL.
// Returns where that NUL now stands, or null when the text holds neither.
char* cut_line_end(char* text);

// The value of a hex digit: 0 to 9 for the digits, and for every other
// character the code of its ASCII lower-case form minus 87, so a to f in
// either case give 10 to 15. Nothing is rejected: other characters give
// whatever that rule computes (negative or above 15).
int hex_digit_value(char c);
