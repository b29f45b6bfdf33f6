// The query side of the server on any request text: query_parse's entries
// point into the text, query_lookup finds the first of equal keys,
// url_decode follows its rule, and query_to_json always gives one JSON
// object, parsed here with cJSON, whose members round-trip the keys and the
// decoded values in order.
#include "serve/query.h"

#include <cjson/cJSON.h>

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

int digit(char c)
{
    return c >= '0' && c <= '9' ? c - '0' : tolower(static_cast<unsigned char>(c)) - 87;
}

// The decoding rule, spelled out independently: the oracle for url_decode.
std::string reference_decode(const char* text)
{
    std::string out;
    for (const char* p = text; *p;) {
        if (*p == '+') {
            out += ' ';
            p++;
        } else if (*p != '%') {
            out += *p++;
        } else if (!p[1]) {
            break;
        } else if (!p[2]) {
            p++;
        } else {
            out += static_cast<char>(((static_cast<unsigned>(digit(p[1])) << 4) |
                                      static_cast<unsigned>(digit(p[2]))) & 0xFF);
            p += 3;
        }
    }
    return out.c_str();
}

bool inside(const char* text, const std::vector<char>& buffer)
{
    return text >= buffer.data() && text < buffer.data() + buffer.size();
}

// Compared as printed: cJSON_Compare takes an infinity ("1e999") for unequal
// to itself.
bool same_json(const cJSON* member, const std::string& value)
{
    cJSON* parsed = cJSON_ParseWithOpts(value.c_str(), nullptr, 1);
    char* expected = parsed ? cJSON_PrintUnformatted(parsed) : nullptr;
    char* got = cJSON_PrintUnformatted(member);
    bool same = expected && got && strcmp(expected, got) == 0;
    free(expected);
    free(got);
    cJSON_Delete(parsed);
    return same;
}

void check_json(const QueryEntry* entries, int count)
{
    char* json = query_to_json(entries, count);
    if (!json)
        abort();
    cJSON* document = cJSON_ParseWithOpts(json, nullptr, 1);
    if (!document || !cJSON_IsObject(document))
        abort();
    const cJSON* member = document->child;
    for (int i = 0; i < count; i++) {
        if (strcmp(entries[i].key, "PROTO") == 0)
            continue;
        if (!member || strcmp(member->string, entries[i].key) != 0)
            abort();
        std::string value = reference_decode(entries[i].value);
        if (cJSON_IsString(member)) {
            if (value != member->valuestring)
                abort();
        } else if (!cJSON_IsObject(member) || value[0] != '{' || !same_json(member, value)) {
            abort();
        }
        member = member->next;
    }
    if (member)
        abort();
    cJSON_Delete(document);
    free(json);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<char> text(data, data + size);
    text.push_back('\0');

    char* decoded = url_decode(text.data());
    if (!decoded || reference_decode(text.data()) != decoded)
        abort();
    free(decoded);

    QueryEntry* entries = nullptr;
    int count = query_parse(text.data(), &entries);
    if (count < 0)
        abort();
    if ((count == 0) != (entries == nullptr))
        abort();
    for (int i = 0; i < count; i++) {
        if (!inside(entries[i].key, text) && strcmp(entries[i].key, "PROTO") != 0)
            abort();
        if (!inside(entries[i].value, text) && entries[i].value[0] != '\0')
            abort();
        int first = 0;
        while (strcmp(entries[first].key, entries[i].key) != 0)
            first++;
        if (query_lookup(entries, count, entries[i].key) != entries[first].value)
            abort();
    }
    if (query_lookup(entries, 0, "") != nullptr)
        abort();
    check_json(entries, count);
    free(entries);
    return 0;
}
