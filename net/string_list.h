// StringList: a growable list of owned NUL-terminated strings. The empty
// list is {nullptr, 0}; declare it so, no set-up call is needed. The list
// owns its strings and its array; string_list_free releases both and leaves
// the list empty and usable again.
#pragma once

struct StringList {
    char** items;  // exactly count slots, or null when empty
    int count;
};

// Appends a heap copy of text as the new last element, growing the array by
// one slot. Returns 1, or 0 when memory runs out (the list is unchanged).
int string_list_add(const char* text, StringList* list);

// Frees every element and the array; the list becomes {nullptr, 0}.
void string_list_free(StringList* list);
