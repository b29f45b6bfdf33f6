// Query strings of HTTP request lines: cut into key and value pairs in place,
// looked up, URL-decoded and rendered as the text of a JSON object.
#pragma once

// One parsed pair. Both texts point into the request text given to
// query_parse (or to constant texts: the key "PROTO" and an empty value), so
// that text must outlive the entries.
struct QueryEntry {
    const char* key;
    const char* value;
};

// Parses the query string of a request line ("GET /x?a=1&b HTTP/1.1\r\n").
// The text after the first "?" is ended at its first CR or LF; when a space
// follows, the text after it becomes the first entry, keyed "PROTO" (the
// protocol version), and the space ends the query. The query is then split at
// every "&" into entries, each cut at its first "=" into key and value (a
// piece without "=" is a key with the empty value; an empty piece is an
// entry with an empty key). "&", "=", the space and the line end are
// overwritten with NULs; no text is copied.
// Returns the number of entries, "PROTO" included, with *entries a malloc'd
// array the caller frees. Without a "?", or with the "?" as the text's last
// character, returns 0 and sets *entries to null. When memory runs out,
// returns -1 with *entries null.
int query_parse(char* request, QueryEntry** entries);

// The value of the first entry whose key equals key byte for byte, or null
// when none does or count is 0 or less.
const char* query_lookup(const QueryEntry* entries, int count, const char* key);

// A new malloc'd copy of text, which the caller frees, with "+" turned into a
// space and "%XY" into the byte (X * 16 | Y) & 0xFF, the digit values taken
// by hex_digit_value without any check. A "%" that is the last character is
// dropped and ends the text; a "%" with only one character after it is
// dropped and that character is decoded as usual. Null when memory runs out.
char* url_decode(const char* text);

// A new malloc'd JSON object text, which the caller frees, with one member
// per entry in array order, "PROTO" entries left out: the key as it stands
// (not decoded), the value URL-decoded. A decoded value that is one whole
// JSON object ("{...}") is inserted as that object; every other value is a
// JSON string. Keys and strings are escaped by JSON's rules (quotation mark,
// backslash, control characters), so the result is always one valid object.
// No white space is written: no members give "{}". Null when memory runs out.
char* query_to_json(const QueryEntry* entries, int count);
