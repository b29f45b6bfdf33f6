#include "net/string_list.h"

#include <cstdlib>
#include <cstring>

int string_list_add(const char* text, StringList* list)
{
    size_t length = strlen(text) + 1;
    char* copy = static_cast<char*>(malloc(length));
    if (!copy)
        return 0;
    memcpy(copy, text, length);
    size_t slots = static_cast<size_t>(list->count) + 1;
    char** items = static_cast<char**>(realloc(list->items, slots * sizeof *items));
    if (!items) {
        free(copy);
        return 0;
    }
    items[list->count] = copy;
    list->items = items;
    list->count++;
    return 1;
}

void string_list_free(StringList* list)
{
    for (int i = 0; i < list->count; i++) {
        free(list->items[i]);
        list->items[i] = nullptr;
    }
    list->count = 0;
    free(list->items);
    list->items = nullptr;
}
