#include "serve/query.h"

#include "serve/token.h"

#include <cjson/cJSON.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const char PROTO_KEY[] = "PROTO";
const char EMPTY_VALUE[] = "";

int append_entry(QueryEntry** entries, int* count, const char* key, const char* value)
{
    size_t grown_size = (static_cast<size_t>(*count) + 1) * sizeof(QueryEntry);
    QueryEntry* grown = static_cast<QueryEntry*>(realloc(*entries, grown_size));
    if (!grown)
        return -1;
    grown[*count].key = key;
    grown[*count].value = value;
    *entries = grown;
    (*count)++;
    return 1;
}

// A heap text that grows as pieces are appended; after the first failed
// allocation it stays failed and appends nothing more.
struct HeapText {
    char* data = nullptr;
    size_t length = 0;
    size_t capacity = 0;
    bool failed = false;
};

void append(HeapText* text, const char* piece, size_t size)
{
    if (text->failed)
        return;
    if (text->length + size + 1 > text->capacity) {
        size_t capacity = text->capacity ? text->capacity : 64;
        while (text->length + size + 1 > capacity)
            capacity *= 2;
        char* grown = static_cast<char*>(realloc(text->data, capacity));
        if (!grown) {
            text->failed = true;
            return;
        }
        text->data = grown;
        text->capacity = capacity;
    }
    memcpy(text->data + text->length, piece, size);
    text->length += size;
    text->data[text->length] = '\0';
}

void append(HeapText* text, const char* piece)
{
    append(text, piece, strlen(piece));
}

// A JSON string by RFC 8259: quotation mark, backslash and the control
// characters must be escaped; every other byte stands for itself.
void append_json_string(HeapText* text, const char* value)
{
    append(text, "\"");
    for (const char* p = value; *p; p++) {
        unsigned char c = static_cast<unsigned char>(*p);
        if (c == '"' || c == '\\') {
            char escaped[2] = {'\\', static_cast<char>(c)};
            append(text, escaped, 2);
        } else if (c < 0x20) {
            char escaped[7];
            snprintf(escaped, sizeof escaped, "\\u%04x", c);
            append(text, escaped, 6);
        } else {
            append(text, p, 1);
        }
    }
    append(text, "\"");
}

// Levels of objects and arrays in item, item itself included (0 for a
// scalar). The recursion is bounded by cJSON's own nesting limit.
int nesting_depth(const cJSON* item)
{
    int deepest = 0;
    for (const cJSON* child = item->child; child; child = child->next) {
        int depth = nesting_depth(child);
        if (depth > deepest)
            deepest = depth;
    }
    return cJSON_IsObject(item) || cJSON_IsArray(item) ? deepest + 1 : 0;
}

// A value is passed through as an object only when it is exactly one JSON
// object; anything else starting with "{" could break out of its member and
// add members of its own. Raw control characters are refused too: inside a
// string they are invalid JSON, though cJSON lets them by.
bool is_json_object(const char* value)
{
    if (value[0] != '{')
        return false;
    for (const char* p = value; *p; p++) {
        if (static_cast<unsigned char>(*p) < 0x20)
            return false;
    }
    cJSON* parsed = cJSON_ParseWithOpts(value, nullptr, 1);
    // Inside the result the object sits one level deeper: at cJSON's nesting
    // limit on its own, it would make the whole result unreadable to cJSON.
    bool object = parsed && cJSON_IsObject(parsed) && nesting_depth(parsed) < CJSON_NESTING_LIMIT;
    cJSON_Delete(parsed);
    return object;
}

} // namespace

int query_parse(char* request, QueryEntry** entries)
{
    *entries = nullptr;
    char* mark = strchr(request, '?');
    if (!mark || mark[1] == '\0')
        return 0;

    char* query = mark + 1;
    cut_line_end(query);
    QueryEntry* list = nullptr;
    int count = 0;
    char* protocol = query;
    split_token(&protocol, " ");
    if (protocol && append_entry(&list, &count, PROTO_KEY, protocol) < 0)
        return -1;

    char* cursor = query;
    while (cursor) {
        char* value = split_token(&cursor, "&");
        char* key = split_token(&value, "=");
        if (append_entry(&list, &count, key, value ? value : EMPTY_VALUE) < 0) {
            free(list);
            return -1;
        }
    }
    *entries = list;
    return count;
}

const char* query_lookup(const QueryEntry* entries, int count, const char* key)
{
    for (int i = 0; i < count; i++) {
        if (strcmp(entries[i].key, key) == 0)
            return entries[i].value;
    }
    return nullptr;
}

char* url_decode(const char* text)
{
    char* decoded = static_cast<char*>(malloc(strlen(text) + 1));
    if (!decoded)
        return nullptr;
    char* out = decoded;
    const char* p = text;
    while (*p) {
        if (*p == '+') {
            *out++ = ' ';
            p++;
        } else if (*p != '%') {
            *out++ = *p++;
        } else if (p[1] == '\0') {
            break;
        } else if (p[2] == '\0') {
            p++;
        } else {
            unsigned high = static_cast<unsigned>(hex_digit_value(p[1]));
            unsigned low = static_cast<unsigned>(hex_digit_value(p[2]));
            *out++ = static_cast<char>(((high << 4) | low) & 0xFF);
            p += 3;
        }
    }
    *out = '\0';
    return decoded;
}

char* query_to_json(const QueryEntry* entries, int count)
{
    HeapText json;
    append(&json, "{");
    bool first = true;
    for (int i = 0; i < count && !json.failed; i++) {
        if (strcmp(entries[i].key, PROTO_KEY) == 0)
            continue;
        char* value = url_decode(entries[i].value);
        if (!value) {
            json.failed = true;
            break;
        }
        if (!first)
            append(&json, ",");
        first = false;
        append_json_string(&json, entries[i].key);
        append(&json, ":");
        if (is_json_object(value))
            append(&json, value);
        else
            append_json_string(&json, value);
        free(value);
    }
    append(&json, "}");
    if (json.failed) {
        free(json.data);
        return nullptr;
    }
    return json.data;
}
